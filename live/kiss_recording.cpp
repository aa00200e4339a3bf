// The recording of received bytes; see kiss_recording.h.
#include "kiss_recording.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <cstring>

namespace quilmar {
namespace {

constexpr int kSyncIntervalMs = 2000;

// A new recording is made under a temporary name beside its own, locked, and only then given its
// name, which fails with EEXIST when the name was taken meanwhile. So no other session can open
// it between its creation and its lock, find it empty, and keep it when this session ends.
int CreateLocked(const QByteArray& name) {
  constexpr int kMostTries = 100;
  for (int attempt = 0; attempt < kMostTries; ++attempt) {
    const QByteArray temporary =
        name + ".new" + QByteArray::number(QRandomGenerator::global()->generate(), 36);
    const int fd = ::open(temporary.constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0 && errno == EEXIST) {
      continue;
    }
    if (fd < 0) {
      return -1;
    }
    ::flock(fd, LOCK_EX);
    const int linked = ::link(temporary.constData(), name.constData());
    const int reason = errno;
    ::unlink(temporary.constData());
    if (linked != 0) {
      ::close(fd);
      errno = reason;
      return -1;
    }
    return fd;
  }
  errno = EEXIST;
  return -1;
}

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
  lockedByAnother = false;
  const QByteArray name = QFile::encodeName(path);
  // Never through a symlink: in a shared folder such as /tmp a link placed by another user
  // would have received bytes appended to a file of theirs, or of the system's.
  constexpr int kFlags = O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC;
  fd = CreateLocked(name);
  if (fd < 0 && errno != EEXIST) {
    // A file system without hard links: created as it is, locked a moment later.
    fd = ::open(name.constData(), kFlags | O_CREAT | O_EXCL, 0666);
  }
  createdHere = fd >= 0;
  if (fd < 0 && errno == EEXIST) {
    fd = ::open(name.constData(), kFlags);
  }
  if (fd < 0) {
    if (errno == ELOOP) {
      error = QStringLiteral(
                  "cannot open recording %1: it is a symbolic link, and a recording "
                  "is never written through a link; name the file itself")
                  .arg(path);
      return false;
    }
    return Fail(QStringLiteral("open"));
  }
  bytesAppended = 0;
  if (!LockFile()) {
    return false;
  }
  syncTimer.start();
  return CloseFrameLeftOpen();
}

// Two sessions appending to one log would splice their streams into frames of neither. A
// regular file is locked for the session; a device such as /dev/null is shared freely.
bool KissRecording::LockFile() {
  struct stat status {};
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    return true;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
    return true;
  }
  const int reason = errno;
  ::close(fd);
  fd = -1;
  if (reason == EWOULDBLOCK) {
    lockedByAnother = true;
    error = QStringLiteral("cannot record to %1: another session is recording to it").arg(path);
    return false;
  }
  errno = reason;
  return Fail(QStringLiteral("lock"));
}

// Every FEND ends the frame in progress and begins the next, so a file with bytes after its
// last FEND ends inside a frame: the next session's first bytes would be read as the rest of
// it. One FEND ends it, as a live session does for a connection cut in a frame. One pass
// over the file at the start of a session.
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
  bool sawFend = false;
  bool frameOpen = false;
  for (qint64 got; (got = file.read(chunk.data(), chunk.size())) > 0;) {
    const qsizetype lastFend = QByteArrayView(chunk.constData(), got).lastIndexOf(kKissFend);
    sawFend = sawFend || lastFend >= 0;
    frameOpen = lastFend >= 0 ? lastFend != got - 1 : sawFend;
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
  struct stat created {};
  const bool removable = createdHere && bytesAppended == 0 && ::fstat(fd, &created) == 0 &&
                         S_ISREG(created.st_mode) && created.st_size == 0;
  bool ok = Sync();
  if (::close(fd) != 0 && ok) {
    ok = Fail(QStringLiteral("close"));
  }
  fd = -1;
  // A session that never received a byte leaves no empty log of its own behind. A file that
  // was there before stays, and so does whatever took the name since.
  const QByteArray name = QFile::encodeName(path);
  struct stat now {};
  if (ok && removable && ::lstat(name.constData(), &now) == 0 && now.st_dev == created.st_dev &&
      now.st_ino == created.st_ino) {
    ::unlink(name.constData());
  }
  return ok;
}

QString FreeRecordingPath(const QString& path) {
  const QFileInfo info(path);
  const QString stem = info.dir().filePath(info.completeBaseName());
  const QString suffix = info.suffix().isEmpty() ? QString() : u'.' + info.suffix();
  QString candidate = path;
  for (int n = 2; QFileInfo(candidate).exists() || QFileInfo(candidate).isSymLink(); ++n) {
    candidate = QStringLiteral("%1 (%2)%3").arg(stem).arg(n).arg(suffix);
  }
  return candidate;
}

}  // namespace quilmar
