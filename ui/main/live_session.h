// A live session of the window: the KISS bytes a TNC sends, recorded as they arrive and pushed
// through the same de-framer and frame store as a file load, into the window's frame table.
// The window hears about new frames once per event-loop pass, however many frames one read
// carried, so a burst of thousands costs one refresh rather than thousands.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <optional>

#include "core/frame_store.h"
#include "core/frame_table.h"
#include "core/kiss_deframer.h"
#include "live/kiss_recording.h"
#include "live/tnc_address.h"

namespace quilmar {

class TncConnection;

class LiveSession : public QObject {
  Q_OBJECT
 public:
  LiveSession(FrameTable& table, TncAddress address, QObject* parent = nullptr);
  ~LiveSession() override;

  // Creates (or appends to) the recording. False with Error() set when it cannot be opened;
  // nothing else has happened then, the table included.
  bool OpenRecording(const QString& path);
  // Starts a new table and connects to the TNC.
  void Start();
  // Ends reception: the frames of the last read are handed over, the recording synced and
  // closed. False with Error() set when the recording's last sync failed.
  bool Stop();

  bool IsReceiving() const { return receiving; }
  const TncAddress& Address() const { return address; }
  const QString& RecordingPath() const { return recording.Path(); }
  // The last state line of the connection ("connected to ...", "connection lost: ...").
  const QString& State() const { return state; }
  const QString& Error() const { return error; }
  // Frames of the spacecraft received: those stored plus those beyond the table's limit.
  std::int64_t FramesReceived() const;
  std::int64_t FramesSkipped() const;
  std::int64_t FramesRejected() const { return deframer.FramesRejected(); }
  std::int64_t BytesReceived() const { return deframer.BytesFed(); }
  // The missing frame numbers of the frames stored so far.
  MissingFrames Missing() const;

 signals:
  // Table records first..last are new; first > last when only frames beyond the limit came.
  void framesArrived(int first, int last);
  // The connection's state or the counts changed.
  void stateChanged();
  // The recording failed and reception stopped; Error() says why.
  void failed();

 private:
  void Receive(const QByteArray& bytes);
  void HandOver();
  void Fail(const QString& why);

  FrameTable& table;
  TncAddress address;
  TncConnection* connection = nullptr;
  KissRecording recording;
  std::optional<FrameStore> store;  // made by Start, which empties the table
  KissDeframer deframer;
  QTimer handOverTimer;
  int firstNew = 0;  // the first record not yet handed over, 0 when none waits
  bool received = false;
  bool receiving = false;
  QString state;
  QString error;
};

}  // namespace quilmar
