// An output stream buffer over a POSIX file descriptor with a large buffer. Unlike a file
// stream it remembers why the first write failed, so the command can name the reason
// (a full disk, a closed pipe) in its error line.
#pragma once

#include <streambuf>
#include <string>
#include <vector>

namespace quilmar {

class FdStreamBuffer : public std::streambuf {
 public:
  // Takes ownership of fd when ownsFd is true (closed by Close or the destructor).
  FdStreamBuffer(int fd, bool ownsFd, std::size_t bufferSize = 1 << 20);
  ~FdStreamBuffer() override;
  FdStreamBuffer(const FdStreamBuffer&) = delete;
  FdStreamBuffer& operator=(const FdStreamBuffer&) = delete;

  // Writes what is buffered and closes an owned descriptor; false if anything failed.
  bool Close();
  // The system's text for the first failure; empty while nothing failed.
  const std::string& Error() const { return error; }

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* s, std::streamsize n) override;
  int sync() override;

 private:
  bool WriteAll(const char* data, std::size_t size);
  bool FlushBuffer();

  int fd;
  bool ownsFd;
  std::vector<char> buffer;
  std::string error;
};

}  // namespace quilmar
