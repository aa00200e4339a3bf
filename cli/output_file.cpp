// Writing the table to standard output or replacing a file; see output_file.h.
#include "output_file.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "fd_stream_buffer.h"

namespace quilmar {
namespace {

namespace fs = std::filesystem;

std::string SystemError() { return std::strerror(errno); }

bool WriteThrough(int fd, const TableWriter& write, std::string& error) {
  FdStreamBuffer buffer(fd, false);
  std::ostream out(&buffer);
  const bool written = write(out);
  if (!buffer.Close() || !written) {
    error = buffer.Error().empty() ? "write failed" : buffer.Error();
    return false;
  }
  return true;
}

// The file a chain of symlinks finally names, which need not exist yet: the table replaces
// that file and the links stay. A loop is reported as the system would report it.
bool FollowSymlinks(fs::path& path, std::string& error) {
  constexpr int kMostLinks = 40;
  for (int link = 0; link < kMostLinks; ++link) {
    std::error_code failed;
    if (!fs::is_symlink(path, failed)) {
      return true;
    }
    const fs::path next = fs::read_symlink(path, failed);
    if (failed) {
      error = failed.message();
      return false;
    }
    path = next.is_absolute() ? next : path.parent_path() / next;
  }
  error = std::strerror(ELOOP);
  return false;
}

mode_t NewFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

// A device, a FIFO or a directory (whose open fails with the reason) is not replaced.
bool WriteInPlace(const std::string& path, const TableWriter& write, std::string& error) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) {
    error = SystemError();
    return false;
  }
  const bool written = WriteThrough(fd, write, error);
  if (::close(fd) != 0 && written) {
    error = SystemError();
    return false;
  }
  return written;
}

// Without fsync a crash soon after the rename can leave an empty file under the old name.
bool SyncAndClose(int fd, std::string& error) {
  const bool synced = ::fsync(fd) == 0;
  if (!synced) {
    error = SystemError();
  }
  if (::close(fd) != 0 && synced) {
    error = SystemError();
    return false;
  }
  return synced;
}

// Makes the rename itself durable; a folder that cannot be synced costs nothing but that.
void SyncFolder(const fs::path& folder) {
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
}

}  // namespace

bool WriteToStandardOutput(const TableWriter& write, std::string& error) {
  return WriteThrough(STDOUT_FILENO, write, error);
}

bool WriteFileReplacing(const std::string& path, const TableWriter& write, std::string& error) {
  fs::path target = path;
  if (!FollowSymlinks(target, error)) {
    return false;
  }
  struct stat existing {};
  const bool exists = ::stat(target.c_str(), &existing) == 0;
  if (exists && !S_ISREG(existing.st_mode)) {
    return WriteInPlace(target, write, error);
  }
  // A file the user made read-only stays protected, as it would be against a plain write.
  if (exists && ::access(target.c_str(), W_OK) != 0) {
    error = SystemError();
    return false;
  }
  std::string temporary =
      (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
  const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) {
    error = SystemError();
    return false;
  }
  // mkostemp makes the file 0600; should fchmod fail, that is the safe side to stay on.
  static_cast<void>(::fchmod(fd, exists ? (existing.st_mode & 07777) : NewFileMode()));
  const bool written = WriteThrough(fd, write, error);
  std::string syncError;
  bool done = SyncAndClose(fd, syncError) && written;
  if (written && !done) {
    error = syncError;
  }
  if (done && ::rename(temporary.c_str(), target.c_str()) != 0) {
    error = SystemError();
    done = false;
  }
  if (!done) {
    ::unlink(temporary.c_str());
    return false;
  }
  SyncFolder(target.parent_path());
  return true;
}

bool IsSameFile(const std::string& first, const std::string& second) {
  struct stat a {};
  struct stat b {};
  return ::stat(first.c_str(), &a) == 0 && ::stat(second.c_str(), &b) == 0 &&
         a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool NameSameFile(const std::string& first, const std::string& second) {
  if (IsSameFile(first, second)) {
    return true;
  }
  std::error_code failed;
  const fs::path a = fs::weakly_canonical(fs::absolute(first, failed), failed);
  const fs::path b = fs::weakly_canonical(fs::absolute(second, failed), failed);
  return !failed && a == b;
}

}  // namespace quilmar
