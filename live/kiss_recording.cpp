// The recording of received bytes; see kiss_recording.h.
#include "kiss_recording.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>

namespace quilmar {
namespace {

constexpr int kSyncIntervalMs = 2000;

}  // namespace

KissRecording::KissRecording(QObject* parent) : QObject(parent) {
  syncTimer.setInterval(kSyncIntervalMs);
  connect(&syncTimer, &QTimer::timeout, this, [this] {
    if (unsynced && !Sync()) {
      emit SyncFailed(error);
    }
  });
}

KissRecording::~KissRecording() { Close(); }

bool KissRecording::Fail(const QString& action) {
  error = QStringLiteral("cannot %1 recording %2: %3")
              .arg(action, path, QString::fromLocal8Bit(std::strerror(errno)));
  return false;
}

bool KissRecording::Open(const QString& filePath) {
  Close();
  path = filePath;
  error.clear();
  const QByteArray name = QFile::encodeName(path);
  fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0666);
  createdHere = fd >= 0;
  if (fd < 0 && errno == EEXIST) {
    fd = ::open(name.constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
  }
  if (fd < 0) {
    return Fail(QStringLiteral("open"));
  }
  bytesAppended = 0;
  syncTimer.start();
  return CloseFrameLeftOpen();
}

// Every FEND either opens or closes a frame, so an odd count of them means the file ends with
// a frame open: the next session's opening FEND would close it instead, and every later frame
// would be read out of step. One pass over the file at the start of a session.
bool KissRecording::CloseFrameLeftOpen() {
  // A pipe or a device is no log to continue, and reading it could wait forever.
  if (!QFileInfo(path).isFile()) {
    return true;
  }
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    return Fail(QStringLiteral("read"));
  }
  QByteArray chunk(64 * 1024, Qt::Uninitialized);
  bool frameOpen = false;
  for (qint64 got; (got = file.read(chunk.data(), chunk.size())) > 0;) {
    frameOpen ^= (QByteArrayView(chunk.constData(), got).count(kKissFend) % 2) != 0;
  }
  if (file.error() != QFileDevice::NoError) {
    errno = EIO;
    return Fail(QStringLiteral("read"));
  }
  return !frameOpen || Append(QByteArray(1, kKissFend));
}

bool KissRecording::Append(const QByteArray& bytes) {
  if (fd < 0) {
    error = QStringLiteral("cannot write recording %1: it is not open").arg(path);
    return false;
  }
  const char* data = bytes.constData();
  qsizetype left = bytes.size();
  // One write per read; the loop only finishes a write the kernel cut short.
  while (left > 0) {
    const ssize_t written = ::write(fd, data, static_cast<std::size_t>(left));
    if (written < 0 && errno == EINTR) {
      continue;
    }
    if (written <= 0) {
      if (written == 0) {
        errno = EIO;
      }
      return Fail(QStringLiteral("write"));
    }
    data += written;
    left -= written;
  }
  unsynced = unsynced || !bytes.isEmpty();
  bytesAppended += bytes.size();
  return true;
}

bool KissRecording::Sync() {
  unsynced = false;
  // A device such as /dev/null cannot be synced, and need not be.
  if (::fsync(fd) != 0 && errno != EINVAL) {
    return Fail(QStringLiteral("write"));
  }
  return true;
}

bool KissRecording::Close() {
  if (fd < 0) {
    return error.isEmpty();
  }
  syncTimer.stop();
  bool ok = Sync();
  if (::close(fd) != 0 && ok) {
    ok = Fail(QStringLiteral("close"));
  }
  fd = -1;
  // A session that never received a byte leaves no empty log of its own behind; a file that
  // was there before stays.
  if (ok && createdHere && bytesAppended == 0) {
    ::unlink(QFile::encodeName(path).constData());
  }
  return ok;
}

}  // namespace quilmar
