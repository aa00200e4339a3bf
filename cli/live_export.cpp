// The live mode of the export command; see live_export.h.
#include "live_export.h"

#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>

#include "archive/live_archive_feed.h"
#include "core/csv_writer.h"
#include "core/json_writer.h"
#include "core/kiss_deframer.h"
#include "core/section_decoders.h"
#include "fd_stream_buffer.h"
#include "live/kiss_recording.h"
#include "live/recorded_stream.h"
#include "live/tnc_connection.h"
#include "output_file.h"

namespace quilmar {
namespace {

constexpr std::string_view kProgram = "quilmar-hk-export";

int signalPipeWriteEnd = -1;

void OnStopSignal(int signal) {
  const int saved = errno;
  const char byte = static_cast<char>(signal);
  [[maybe_unused]] const ssize_t ignored = ::write(signalPipeWriteEnd, &byte, 1);
  errno = saved;
}

// SIGINT and SIGTERM end the event loop through a pipe: a signal handler may do no more than
// write a byte, and the loop sees the pipe become readable.
class StopSignals {
 public:
  explicit StopSignals(std::function<void()> onStop) {
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
      return;
    }
    signalPipeWriteEnd = fds[1];
    notifier = std::make_unique<QSocketNotifier>(fds[0], QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, [this, onStop] {
      char byte = 0;
      while (::read(fds[0], &byte, 1) > 0) {
      }
      onStop();
    });
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
  }

  ~StopSignals() {
    ::signal(SIGINT, SIG_DFL);
    ::signal(SIGTERM, SIG_DFL);
    notifier.reset();
    signalPipeWriteEnd = -1;
    for (const int fd : fds) {
      if (fd >= 0) {
        ::close(fd);
      }
    }
  }

 private:
  int fds[2] = {-1, -1};
  std::unique_ptr<QSocketNotifier> notifier;
};

// Rows go to the file descriptor one write per frame (the buffer is flushed after each row),
// so a reader of the output (a pipe, tail -f) sees each frame as it arrives.
class RowOutput {
 public:
  bool Open(const std::optional<std::string>& path) {
    target = path.value_or("standard output");
    int fd = STDOUT_FILENO;
    if (path) {
      fd = ::open(path->c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
      if (fd < 0) {
        return Fail(std::strerror(errno));
      }
    }
    buffer.emplace(fd, path.has_value(), kRowBufferSize);
    return true;
  }

  bool Write(std::string_view text) {
    buffer->sputn(text.data(), static_cast<std::streamsize>(text.size()));
    return buffer->pubsync() == 0 || Fail(buffer->Error());
  }

  bool Close() { return buffer->Close() || Fail(buffer->Error()); }

  const std::string& Error() const { return error; }

 private:
  static constexpr std::size_t kRowBufferSize = 1 << 16;

  bool Fail(const std::string& reason) {
    error = "cannot write " + target + ": " + reason;
    return false;
  }

  std::optional<FdStreamBuffer> buffer;
  std::string target;
  std::string error;
};

class LiveExport {
 public:
  LiveExport(const ExportOptions& options, const TncAddress& address)
      : options(options), connection(address) {}

  int Run() {
    if (!output.Open(options.output)) {
      return Fail(output.Error());
    }
    if (options.record && !recording.Open(QString::fromStdString(*options.record))) {
      return Fail(recording.Error().toStdString());
    }
    if (options.archive && !StartArchiveFeed()) {
      return 2;
    }
    if (options.format == ExportFormat::kCsv) {
      row.clear();
      AppendCsvHeader(row);
      if (!output.Write(row)) {
        return Fail(output.Error());
      }
    }
    QObject::connect(&connection, &TncConnection::StateChanged, [](const QString& line) {
      std::cerr << kProgram << ": " << line.toStdString() << std::endl;
    });
    QObject::connect(&connection, &TncConnection::Connected, [this] { JoinNewStream(); });
    QObject::connect(&connection, &TncConnection::BytesReceived,
                     [this](const QByteArray& bytes) { OnBytes(bytes); });
    QObject::connect(&recording, &KissRecording::SyncFailed,
                     [this](const QString& error) { Finish(Fail(error.toStdString())); });
    StopSignals stopSignals([this] { Finish(0); });
    connection.Start();
    const int status = QCoreApplication::exec();
    connection.Stop();
    return Close(status);
  }

 private:
  bool StartArchiveFeed() {
    QString error;
    const auto location = ParseArchiveLocation(
        options.archive->empty() ? DefaultArchiveText() : QString::fromStdString(*options.archive),
        error);
    if (!location) {
      Fail(error.toStdString());
      return false;
    }
    archiveFeed = std::make_unique<LiveArchiveFeed>(
        *location, QString::fromStdString(options.station.value_or("unknown")),
        QString::fromStdString(options.connect), [](const QString& line) {
          std::cerr << kProgram << ": " << line.toStdString() << std::endl;
        });
    return true;
  }

  void JoinNewStream() {
    if (!JoinNewConnection(recording, deframer)) {
      Finish(Fail(recording.Error().toStdString()));
    }
  }

  void OnBytes(const QByteArray& bytes) {
    if (!RecordAndFeed(bytes, recording, deframer)) {
      Finish(Fail(recording.Error().toStdString()));
    }
  }

  // False once the export is finished: the rest of the read is not decoded.
  bool OnFrame(const FrameBuffer& frame) {
    if (finished) {
      return false;
    }
    record.Clear();
    FillFrameRecord(frame, record);
    if (archiveFeed) {
      archiveFeed->Add(frame, QDateTime::currentDateTimeUtc());
    }
    ++stored;
    row.clear();
    if (options.format == ExportFormat::kCsv) {
      AppendCsvRow(row, static_cast<int>(stored), record,
                   options.rawText ? CsvText::kRaw : CsvText::kGuardFormulas);
    } else {
      AppendJsonFrame(row, static_cast<int>(stored), record);
      row += '\n';
    }
    if (!output.Write(row)) {
      Finish(Fail(output.Error()));
    } else if (options.frames && stored >= *options.frames) {
      Finish(0);
    }
    return !finished;
  }

  // Ends reception at once: bytes still queued are neither recorded nor exported.
  void Finish(int status) {
    if (!finished) {
      finished = true;
      connection.Stop();
      QCoreApplication::exit(status);
    }
  }

  int Close(int status) {
    archiveFeed.reset();  // writes what waits, if the archive is there
    if (recording.IsOpen() && !recording.Close()) {
      status = Fail(recording.Error().toStdString());
    }
    if (!output.Close()) {
      status = Fail(output.Error());
    }
    return status;
  }

  static int Fail(const std::string& error) {
    std::cerr << kProgram << ": " << error << std::endl;
    return 1;
  }

  const ExportOptions& options;
  TncConnection connection;
  KissRecording recording;
  KissDeframer deframer{[this](const FrameBuffer& frame) { return OnFrame(frame); }};
  RowOutput output;
  std::unique_ptr<LiveArchiveFeed> archiveFeed;
  FrameRecord record;
  std::string row;
  std::int64_t stored = 0;
  bool finished = false;
};

}  // namespace

int RunLiveExport(const ExportOptions& options) {
  const ParsedTncAddress parsed = ParseTncAddress(QString::fromStdString(options.connect),
                                                  options.baud.value_or(kDefaultBaudRate));
  if (!parsed.address) {
    std::cerr << kProgram << ": " << parsed.error.toStdString() << "\n\n" << kUsageText;
    return 2;
  }
  if (options.record && options.output && IsSameFile(*options.record, *options.output)) {
    std::cerr << kProgram << ": --record and --output name the same file\n\n" << kUsageText;
    return 2;
  }
  // A reader that goes away (a closed pipe) is a write error, not a silent death.
  ::signal(SIGPIPE, SIG_IGN);
  int argc = 1;
  char name[] = "quilmar-hk-export";
  char* argv[] = {name, nullptr};
  QCoreApplication application(argc, argv);
  LiveExport live(options, *parsed.address);
  return live.Run();
}

}  // namespace quilmar
