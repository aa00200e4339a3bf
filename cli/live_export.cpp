// The live mode of the export command; see live_export.h.
#include "live_export.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <optional>

#include "archive/live_archive_feed.h"
#include "core/csv_writer.h"
#include "core/json_writer.h"
#include "core/kiss_deframer.h"
#include "core/section_decoders.h"
#include "live/kiss_recording.h"
#include "live/recorded_stream.h"
#include "live/stop_signals.h"
#include "live/tnc_connection.h"
#include "output_file.h"
#include "queued_output.h"

namespace quilmar {
namespace {

constexpr std::string_view kProgram = "quilmar-hk-export";

// The queue between reception and a reader that may stop reading: room for a pass of rows
// (about a thousand), and for the state lines of days of reconnects.
constexpr std::size_t kRowQueueBytes = 1 << 20;
constexpr std::size_t kLineQueueBytes = 64 << 10;
// How long the end waits for a reader that is not reading; a signal ends the program within
// a second whatever the reader does.
constexpr auto kLastWriteMs = std::chrono::milliseconds(500);
// How often a reader that stays away is told how many rows it missed.
constexpr int kDropReportMs = 10'000;
// How long the end gives the archive to take the frames that wait, counted from the end's
// start (the recording and the rows close meanwhile). After a stop signal, what is left of
// a second; after --frames or a failure, one more attempt on a server that answers (its
// connect may take 10 s), unless a stop signal cuts it short.
constexpr auto kArchiveAfterStop = std::chrono::milliseconds(700);
constexpr auto kArchiveAtEnd = std::chrono::seconds(15);
constexpr auto kArchivePoll = std::chrono::milliseconds(20);
// A feed told to give up has this long to leave the database.
constexpr auto kArchiveGiveUp = std::chrono::milliseconds(150);

using Clock = std::chrono::steady_clock;

// TEXT as one word of a shell command line, quoted when it needs to be.
std::string ShellWord(const std::string& text) {
  const bool plain = !text.empty() && text.find_first_not_of(
                                          "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                          "0123456789_@%+=:,./-") == std::string::npos;
  if (plain) {
    return text;
  }
  std::string quoted = "'";
  for (const char c : text) {
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  }
  return quoted + "'";
}

// Where rows go: standard output, or FILE, which is opened before and emptied only after the
// rest of the start-up succeeded, so a start that fails leaves an existing FILE as it was.
class RowOutput {
 public:
  bool Open(const std::optional<std::string>& path) {
    target = path.value_or("standard output");
    if (!path) {
      fd = STDOUT_FILENO;
      return true;
    }
    fd = ::open(path->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    createdHere = fd >= 0;
    if (fd < 0 && errno == EEXIST) {
      fd = ::open(path->c_str(), O_WRONLY | O_CLOEXEC);
    }
    if (fd < 0) {
      error = "cannot write " + target + ": " + std::strerror(errno);
      return false;
    }
    ownsFd = true;
    return true;
  }

  // Empties FILE (a device or pipe is written as it is) and starts the writer.
  bool Begin() {
    struct stat status {};
    if (ownsFd && ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && ::ftruncate(fd, 0) != 0) {
      error = "cannot write " + target + ": " + std::strerror(errno);
      return false;
    }
    queue.emplace(fd, ownsFd, kRowQueueBytes);
    ownsFd = false;
    return true;
  }

  // A start that failed: FILE, if this run created it, goes again.
  void Abandon(const std::optional<std::string>& path) {
    if (ownsFd) {
      ::close(fd);
      ownsFd = false;
      if (createdHere) {
        ::unlink(path->c_str());
      }
    }
  }

  // False once a write failed (Error()); a row that finds the queue full is counted in
  // Dropped() instead.
  bool Write(std::string row) {
    if (!queue->Push(std::move(row))) {
      if (!queue->Error().empty()) {
        error = "cannot write " + target + ": " + queue->Error();
        return false;
      }
      ++dropped;
    }
    return true;
  }

  // Waits for the rows queued (until a stop signal when waitForReader); rows a reader that is
  // not reading never took count as dropped. False when a write failed.
  bool Close(bool waitForReader) {
    if (!queue) {
      return error.empty();
    }
    while (waitForReader && !StopSignals::Requested() && !queue->WaitWritten(kLastWriteMs)) {
    }
    dropped += static_cast<std::int64_t>(queue->Close(kLastWriteMs));
    if (!queue->Error().empty() && error.empty()) {
      error = "cannot write " + target + ": " + queue->Error();
    }
    queue.reset();
    return error.empty();
  }

  std::int64_t Dropped() const { return dropped; }
  const std::string& Target() const { return target; }
  const std::string& Error() const { return error; }

 private:
  std::optional<QueuedOutput> queue;
  std::string target;
  std::string error;
  std::int64_t dropped = 0;
  int fd = -1;
  bool ownsFd = false;
  bool createdHere = false;
};

class LiveExport {
 public:
  LiveExport(const ExportOptions& options, const TncAddress& address)
      : options(options), connection(address), messages(STDERR_FILENO, false, kLineQueueBytes) {}

  int Run() {
    if (const int status = Begin(); status != 0) {
      messages.Close(kLastWriteMs);
      return status;
    }
    QObject::connect(&connection, &TncConnection::StateChanged,
                     [this](const QString& line) { Say(line.toStdString()); });
    QObject::connect(&connection, &TncConnection::Connected, [this] { JoinNewStream(); });
    QObject::connect(&connection, &TncConnection::BytesReceived,
                     [this](const QByteArray& bytes) { OnBytes(bytes); });
    QObject::connect(&recording, &KissRecording::SyncFailed,
                     [this](const QString& error) { Finish(Fail(error.toStdString())); });
    QTimer dropReport;
    QObject::connect(&dropReport, &QTimer::timeout, [this] { ReportDropped(false); });
    dropReport.start(kDropReportMs);
    StopSignals stopSignals([this] { Finish(0); });
    connection.Start();
    const int status = QCoreApplication::exec();
    connection.Stop();
    return Close(status);
  }

  // The archive's thread was given up while still inside the database (a connect to a host
  // that does not answer).
  bool ArchiveLeftRunning() const { return archiveLeftRunning; }

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
    archiveDisplay = location->display.toStdString();
    archiveFeed = std::make_unique<LiveArchiveFeed>(
        *location, QString::fromStdString(options.station.value_or("unknown")),
        QString::fromStdString(options.connect),
        [this](const QString& line) { Say(line.toStdString()); });
    return true;
  }

  // The recording first, then the output: a recording that cannot be opened leaves the
  // output untouched, and an output that cannot be opened leaves no new empty recording.
  int Begin() {
    if (options.record && !recording.Open(QString::fromStdString(*options.record))) {
      return Fail(recording.Error().toStdString());
    }
    if (options.archive && !StartArchiveFeed()) {
      recording.Close();
      return 2;
    }
    if (!output.Open(options.output) || !output.Begin()) {
      output.Abandon(options.output);
      recording.Close();
      return Fail(output.Error());
    }
    if (options.format == ExportFormat::kCsv) {
      row.clear();
      AppendCsvHeader(row);
      output.Write(row);
    }
    return 0;
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

  // Tells a reader that stays away, every few seconds and at the end, what it missed.
  void ReportDropped(bool atEnd) {
    const std::int64_t dropped = output.Dropped();
    if (dropped == droppedReported && !atEnd) {
      return;
    }
    if (dropped > 0) {
      Say(std::to_string(dropped) + (dropped == 1 ? " row" : " rows") + " dropped from " +
          output.Target() + (atEnd ? "" : " so far") +
          ": it was not read fast enough; the recording keeps every frame");
    }
    droppedReported = dropped;
  }

  // Ends reception at once: bytes still queued are neither recorded nor exported.
  void Finish(int status) {
    if (!finished) {
      finished = true;
      connection.Stop();
      QCoreApplication::exit(status);
    }
  }

  // The recording is synced and closed first, whatever the reader of the rows or the archive
  // does; the archive writes what waits meanwhile.
  int Close(int status) {
    const Clock::time_point start = Clock::now();
    if (archiveFeed) {
      archiveFeed->Stop();
    }
    if (recording.IsOpen() && !recording.Close()) {
      status = Fail(recording.Error().toStdString());
    }
    if (!output.Close(status == 0 && !StopSignals::Requested())) {
      status = Fail(output.Error());
    }
    CloseArchiveFeed(start);
    ReportDropped(true);
    messages.Close(kLastWriteMs);
    return status;
  }

  // Waits for the archive until its time is up, then gives it up without waiting for the
  // database, and says how many frames it lacks and how to add them.
  void CloseArchiveFeed(Clock::time_point start) {
    if (!archiveFeed) {
      return;
    }
    bool signalled = StopSignals::Requested();
    Clock::time_point limit = start + (signalled ? kArchiveAfterStop : kArchiveAtEnd);
    bool told = false;
    while (!archiveFeed->WaitEnded(kArchivePoll)) {
      const Clock::time_point now = Clock::now();
      if (!signalled && StopSignals::Requested()) {
        signalled = true;
        limit = std::min(limit, now + kArchiveAfterStop);
      }
      if (now >= limit) {
        archiveLeftRunning = !archiveFeed->Abandon(kArchiveGiveUp);
        break;
      }
      if (!told && now - start >= kArchiveAfterStop) {
        told = true;
        Say("archive " + archiveDisplay + ": writing the " +
            std::to_string(archiveFeed->Now().waiting) +
            " frames that wait; Ctrl-C ends without them");
      }
    }
    const LiveArchiveFeed::Progress last = archiveFeed->Now();
    ReportUnarchived(static_cast<std::int64_t>(last.waiting) + last.dropped);
  }

  void ReportUnarchived(std::int64_t frames) {
    if (frames == 0) {
      return;
    }
    std::string line = "archive " + archiveDisplay + ": " + std::to_string(frames) +
                       (frames == 1 ? " frame was" : " frames were") + " not archived";
    if (options.record) {
      const std::string archive =
          options.archive->empty() ? "" : "--archive " + ShellWord(archiveDisplay) + " ";
      line += "; quilmar-hk-archive " + archive + "add " + ShellWord(*options.record) +
              " adds them from the recording";
    } else {
      line += ", and no recording has them";
    }
    Say(line);
  }

  void Say(const std::string& line) { messages.Push(std::string(kProgram) + ": " + line + '\n'); }

  int Fail(const std::string& error) {
    Say(error);
    return 1;
  }

  const ExportOptions& options;
  TncConnection connection;
  KissRecording recording;
  KissDeframer deframer{[this](const FrameBuffer& frame) { return OnFrame(frame); }};
  RowOutput output;
  // State lines and errors: a terminal paused with Ctrl-S holds up standard error too.
  QueuedOutput messages;
  // Reports through messages, so it goes before them.
  std::unique_ptr<LiveArchiveFeed> archiveFeed;
  std::string archiveDisplay;  // the archive as messages name it, without a password
  bool archiveLeftRunning = false;
  FrameRecord record;
  std::string row;
  std::int64_t stored = 0;
  std::int64_t droppedReported = 0;
  bool finished = false;
};

}  // namespace

int RunLiveExport(const ExportOptions& options) {
  StopSignals::CatchEarly();
  const ParsedTncAddress parsed = ParseTncAddress(QString::fromStdString(options.connect),
                                                  options.baud.value_or(kDefaultBaudRate));
  if (!parsed.address) {
    std::cerr << kProgram << ": " << parsed.error.toStdString() << "\n\n" << kUsageText;
    return 2;
  }
  if (options.record && options.output && NameSameFile(*options.record, *options.output)) {
    std::cerr << kProgram << ": --record and --output name the same file\n\n" << kUsageText;
    return 2;
  }
  if (const QString why = NotASerialDevice(*parsed.address); !why.isEmpty()) {
    std::cerr << kProgram << ": " << why.toStdString() << "\n";
    return 1;
  }
  // A reader that goes away (a closed pipe) is a write error, not a silent death.
  ::signal(SIGPIPE, SIG_IGN);
  int argc = 1;
  char name[] = "quilmar-hk-export";
  char* argv[] = {name, nullptr};
  QCoreApplication application(argc, argv);
  LiveExport live(options, *parsed.address);
  const int status = live.Run();
  if (live.ArchiveLeftRunning()) {
    // Everything is closed and synced; the archive's thread must not see the process unwind
    // under it, nor hold it until the database answers.
    std::_Exit(status);
  }
  return status;
}

}  // namespace quilmar
