// Buffered writing to a file descriptor; see fd_stream_buffer.h.
#include "fd_stream_buffer.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quilmar {

FdStreamBuffer::FdStreamBuffer(int fd, bool ownsFd, std::size_t bufferSize)
    : fd(fd), ownsFd(ownsFd), buffer(bufferSize) {
  setp(buffer.data(), buffer.data() + buffer.size());
}

FdStreamBuffer::~FdStreamBuffer() { Close(); }

bool FdStreamBuffer::Close() {
  FlushBuffer();
  if (ownsFd && fd >= 0) {
    // close() can report a delayed write error (NFS, quota), so it counts as a write.
    if (::close(fd) != 0 && error.empty()) {
      error = std::strerror(errno);
    }
    fd = -1;
  }
  return error.empty();
}

bool FdStreamBuffer::WriteAll(const char* data, std::size_t size) {
  while (size > 0 && error.empty()) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0) {
      if (errno != EINTR) {
        error = std::strerror(errno);
      }
      continue;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return error.empty();
}

bool FdStreamBuffer::FlushBuffer() {
  const std::size_t pending = static_cast<std::size_t>(pptr() - pbase());
  setp(buffer.data(), buffer.data() + buffer.size());
  return pending == 0 || WriteAll(buffer.data(), pending);
}

FdStreamBuffer::int_type FdStreamBuffer::overflow(int_type c) {
  if (!FlushBuffer()) {
    return traits_type::eof();
  }
  if (!traits_type::eq_int_type(c, traits_type::eof())) {
    *pptr() = traits_type::to_char_type(c);
    pbump(1);
  }
  return traits_type::not_eof(c);
}

std::streamsize FdStreamBuffer::xsputn(const char* s, std::streamsize n) {
  const auto size = static_cast<std::size_t>(n);
  if (size > static_cast<std::size_t>(epptr() - pptr())) {
    if (!FlushBuffer()) {
      return 0;
    }
    // A block as large as the buffer goes straight to the descriptor.
    if (size >= buffer.size()) {
      return WriteAll(s, size) ? n : 0;
    }
  }
  std::memcpy(pptr(), s, size);
  pbump(static_cast<int>(n));
  return n;
}

int FdStreamBuffer::sync() { return FlushBuffer() ? 0 : -1; }

}  // namespace quilmar
