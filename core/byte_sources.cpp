// Byte sources of the KISS reader: a log file on disk, or bytes already in memory.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "kiss_reader.h"

namespace quilmar {
namespace {

std::string Describe(const char* what, const std::string& path, int error) {
  return std::string(what) + " " + path + ": " + std::strerror(error);
}

// Reads straight into the caller's buffer: stdio's own buffering is switched off, so each
// Read is one read call for the whole chunk.
class FileSource final : public ByteSource {
 public:
  explicit FileSource(const std::string& path) : path(path) {
    std::error_code ec;
    // Opening a directory succeeds on Linux; say why it cannot be a log before reading it.
    if (std::filesystem::is_directory(path, ec)) {
      error = Describe("cannot open", path, EISDIR);
      return;
    }
    file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
      error = Describe("cannot open", path, errno);
      return;
    }
    std::setvbuf(file, nullptr, _IONBF, 0);
    const auto bytes = std::filesystem::file_size(path, ec);
    size = ec ? -1 : static_cast<std::int64_t>(bytes);
  }
  ~FileSource() override {
    if (file != nullptr) {
      std::fclose(file);
    }
  }
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;

  std::size_t Read(std::span<std::uint8_t> buffer) override {
    if (file == nullptr || finished) {
      return 0;
    }
    errno = 0;
    const std::size_t count = std::fread(buffer.data(), 1, buffer.size(), file);
    if (count < buffer.size()) {
      finished = true;
      if (std::ferror(file)) {
        error = Describe("cannot read", path, errno != 0 ? errno : EIO);
      }
    }
    return count;
  }
  std::string Error() const override { return error; }
  std::int64_t Size() const override { return size; }

 private:
  std::string path;
  std::FILE* file = nullptr;
  bool finished = false;
  std::string error;
  std::int64_t size = -1;
};

class SpanSource final : public ByteSource {
 public:
  explicit SpanSource(std::span<const std::uint8_t> bytes) : rest(bytes) {}

  std::size_t Read(std::span<std::uint8_t> buffer) override {
    const std::size_t count = std::min(buffer.size(), rest.size());
    if (count > 0) {
      std::memcpy(buffer.data(), rest.data(), count);
    }
    rest = rest.subspan(count);
    return count;
  }
  std::int64_t Size() const override { return static_cast<std::int64_t>(total); }

 private:
  std::span<const std::uint8_t> rest;
  std::size_t total = rest.size();
};

}  // namespace

std::unique_ptr<ByteSource> OpenFileSource(const std::string& path) {
  return std::make_unique<FileSource>(path);
}

std::unique_ptr<ByteSource> MemorySource(std::span<const std::uint8_t> bytes) {
  return std::make_unique<SpanSource>(bytes);
}

}  // namespace quilmar
