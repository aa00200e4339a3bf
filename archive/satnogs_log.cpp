// A SatNOGS DB download read as a log; see satnogs_log.h.
#include "satnogs_log.h"

#include <QFile>
#include <algorithm>
#include <limits>
#include <vector>

#include "frame_identity.h"
#include "satnogs_reader.h"
#include "source_kind.h"

namespace quilmar {
namespace {

// The download's frames as KISS bytes, held by the source it is read from.
class DownloadSource : public ByteSource {
 public:
  DownloadSource(std::vector<std::uint8_t> bytes, std::string error)
      : bytes(std::move(bytes)), error(std::move(error)) {}

  std::size_t Read(std::span<std::uint8_t> buffer) override {
    const std::size_t count = std::min(buffer.size(), bytes.size() - at);
    std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(at), count, buffer.begin());
    at += count;
    return count;
  }
  std::string Error() const override { return error; }
  std::int64_t Size() const override { return static_cast<std::int64_t>(bytes.size()); }

 private:
  std::vector<std::uint8_t> bytes;
  std::string error;
  std::size_t at = 0;
};

struct Heard {
  qint64 ms;  // reception time; frames without one go last
  std::int64_t position;
  QByteArray ax25;
};

}  // namespace

std::unique_ptr<ByteSource> OpenLogOrDownload(const QString& path, QStringList& warnings) {
  QFile file(path);
  const SourceKind kind = file.open(QIODevice::ReadOnly) ? DetectSourceKind(file.peek(4096))
                                                         : SourceKind::kKissLog;
  if (kind != SourceKind::kSatnogsCsv && kind != SourceKind::kSatnogsJson) {
    return OpenFileSource(QFile::encodeName(path).toStdString());
  }
  std::vector<Heard> frames;
  const SatnogsVisitor keep = [&](const SatnogsFrame& frame) {
    frames.push_back({frame.receivedAt ? frame.receivedAt->toMSecsSinceEpoch()
                                       : std::numeric_limits<qint64>::max(),
                      frame.position, WithoutFcs(frame.ax25).toByteArray()});
    return true;
  };
  QString error;
  const bool read = kind == SourceKind::kSatnogsCsv ? ReadSatnogsCsv(file, keep, warnings, error)
                                                    : ReadSatnogsJson(file, keep, warnings, error);
  if (!read) {
    return std::make_unique<DownloadSource>(std::vector<std::uint8_t>{},
                                            (error.isEmpty() ? file.errorString() : error).toStdString());
  }
  // SatNOGS serves the newest line first: frames of one second then come in the file's
  // order reversed.
  const bool newestFirst = !frames.empty() && frames.front().ms > frames.back().ms;
  std::stable_sort(frames.begin(), frames.end(), [newestFirst](const Heard& a, const Heard& b) {
    if (a.ms != b.ms) {
      return a.ms < b.ms;
    }
    return newestFirst ? a.position > b.position : a.position < b.position;
  });
  std::vector<std::uint8_t> bytes;
  for (const Heard& frame : frames) {
    AppendKissFrame(bytes, frame.ax25);
  }
  return std::make_unique<DownloadSource>(std::move(bytes), std::string());
}

}  // namespace quilmar
