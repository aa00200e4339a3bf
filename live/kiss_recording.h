// The recording of a live session: every byte received from the TNC, as received, appended to
// a KISS log (never truncated), so the file export and the window later read the same frames.
// One write per read; synced to disk every few seconds while bytes arrive and at close, so a
// power cut loses at most those seconds.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

namespace quilmar {

// The KISS frame delimiter.
inline constexpr char kKissFend = static_cast<char>(0xC0);

class KissRecording : public QObject {
  Q_OBJECT

 public:
  explicit KissRecording(QObject* parent = nullptr);
  ~KissRecording() override;

  // Opens (creating if need be) the file for appending and locks it for this session. False
  // with Error() set when it cannot be opened or continued, is a symlink, or another session
  // records to it (LockedByAnother()). A file an earlier session left inside a frame gets one
  // FEND first, so that its frames and the new ones read back in step.
  bool Open(const QString& path);
  // Appends the bytes of one read. False with Error() set when they could not all be
  // written: the caller stops receiving rather than going on unrecorded.
  bool Append(const QByteArray& bytes);
  // Syncs and closes; false with Error() set when the last sync or close failed. A file this
  // recording created and never wrote to is removed.
  bool Close();

  bool IsOpen() const { return fd >= 0; }
  // The last Open failed because another session holds the file.
  bool LockedByAnother() const { return lockedByAnother; }
  const QString& Path() const { return path; }
  // "cannot write recording FILE: reason".
  const QString& Error() const { return error; }

 signals:
  // A periodic sync failed; Error() says why. The bytes may not be on the disk.
  void SyncFailed(const QString& error);

 private:
  bool Sync();
  bool LockFile();
  bool CloseFrameLeftOpen();
  bool Fail(const QString& action);

  QString path;
  QString error;
  int fd = -1;
  bool unsynced = false;
  bool createdHere = false;  // the file did not exist before Open
  bool lockedByAnother = false;
  qint64 bytesAppended = 0;
  QTimer syncTimer;
};

// PATH when no file has that name, else the first free "NAME (2).kss", "NAME (3).kss" ...
// beside it: a window started in the same second as another gets a recording of its own.
QString FreeRecordingPath(const QString& path);

}  // namespace quilmar
