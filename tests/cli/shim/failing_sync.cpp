// Loaded into the export command by LD_PRELOAD in a test: fsync and fdatasync of the file named
// by QUILMAR_FAIL_SYNC_OF fail with EIO, as a disk that drops the last writes would; every other
// file is synced by the system's calls.
#include <dlfcn.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>

namespace {

bool IsTheFile(int fd) {
  const char* path = std::getenv("QUILMAR_FAIL_SYNC_OF");
  struct stat named {};
  struct stat open {};
  return path != nullptr && ::stat(path, &named) == 0 && ::fstat(fd, &open) == 0 &&
         named.st_dev == open.st_dev && named.st_ino == open.st_ino;
}

template <typename Call>
int Through(const char* name, int fd) {
  if (IsTheFile(fd)) {
    errno = EIO;
    return -1;
  }
  static_assert(sizeof(Call) == sizeof(void*));
  const auto real = reinterpret_cast<Call>(::dlsym(RTLD_NEXT, name));
  return real != nullptr ? real(fd) : (errno = ENOSYS, -1);
}

}  // namespace

extern "C" int fsync(int fd) { return Through<int (*)(int)>("fsync", fd); }
extern "C" int fdatasync(int fd) { return Through<int (*)(int)>("fdatasync", fd); }
