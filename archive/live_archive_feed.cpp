// Archiving a live session's frames; see live_archive_feed.h.
#include "live_archive_feed.h"

#include <QSqlQuery>
#include <QVariant>

#include "archive.h"
#include "archive_time.h"
#include "frame_importer.h"

namespace quilmar {
namespace {

// Frames per transaction: large enough to keep up with any TNC, small enough that a pass's
// frames show up in the archive within moments.
constexpr std::size_t kFramesPerWrite = 512;

}  // namespace

LiveArchiveFeed::LiveArchiveFeed(ArchiveLocation location, QString station, QString source,
                                 Report report, Settings settings)
    : location(std::move(location)),
      station(std::move(station)),
      source(std::move(source)),
      report(std::move(report)),
      settings(settings),
      worker([this] { Run(); }) {}

LiveArchiveFeed::~LiveArchiveFeed() { Finish(); }

void LiveArchiveFeed::Finish() {
  if (!worker.joinable()) {
    return;
  }
  {
    const std::lock_guard lock(mutex);
    stopping = true;
  }
  changed.notify_all();
  worker.join();
}

void LiveArchiveFeed::Add(const FrameBuffer& frame, const QDateTime& arrival) {
  {
    const std::lock_guard lock(mutex);
    const std::int64_t position = nextPosition++;
    if (waiting.size() >= settings.maxWaiting) {
      if (dropped++ == 0 && report) {
        report(QStringLiteral("archive %1: %2 frames waiting, later frames are not archived; "
                              "add the recording afterwards")
                   .arg(location.display)
                   .arg(waiting.size()));
      }
      return;
    }
    waiting.push_back({frame, arrival, position});
  }
  changed.notify_all();
}

bool LiveArchiveFeed::WaitUntilWritten(int timeoutMilliseconds) {
  std::unique_lock lock(mutex);
  return changed.wait_for(lock, std::chrono::milliseconds(timeoutMilliseconds),
                          [this] { return waiting.empty(); });
}

std::int64_t LiveArchiveFeed::Dropped() const {
  const std::lock_guard lock(mutex);
  return dropped;
}

LiveArchiveFeed::Progress LiveArchiveFeed::Now() const {
  const std::lock_guard lock(mutex);
  return {framesWritten, waiting.size(), dropped, unreachable};
}

void LiveArchiveFeed::Run() {
  Archive archive;  // the connection lives in this thread only
  for (;;) {
    bool last = false;
    {
      std::unique_lock lock(mutex);
      changed.wait(lock, [this] { return stopping || !waiting.empty(); });
      if (waiting.empty()) {
        return;
      }
      last = stopping;
    }
    if (EnsureOpen(archive) && WriteSome(archive)) {
      changed.notify_all();
      continue;
    }
    archive.Close();
    std::unique_lock lock(mutex);
    if (last) {
      if (report) {
        report(QStringLiteral("archive %1: %2 frames were not archived; add the recording "
                              "afterwards")
                   .arg(location.display)
                   .arg(waiting.size()));
      }
      return;
    }
    changed.wait_for(lock, std::chrono::milliseconds(settings.retryMilliseconds),
                     [this] { return stopping; });
  }
}

bool LiveArchiveFeed::EnsureOpen(Archive& archive) {
  if (archive.IsOpen()) {
    return true;
  }
  if (!archive.Open(location)) {
    SetReachable(false, archive.Error());
    return false;
  }
  return true;
}

// One transaction of the oldest waiting frames; they leave the queue once it is committed.
bool LiveArchiveFeed::WriteSome(Archive& archive) {
  std::vector<Arrival> frames;
  {
    const std::lock_guard lock(mutex);
    const std::size_t count = std::min(waiting.size(), kFramesPerWrite);
    frames.assign(waiting.begin(), waiting.begin() + static_cast<std::ptrdiff_t>(count));
  }
  if (!archive.BeginWrite()) {
    SetReachable(false, archive.Error());
    return false;
  }
  bool written = true;
  const bool newSource = sourceId == 0;
  if (newSource) {
    QSqlQuery insert(archive.Database());
    insert.prepare(
        "INSERT INTO source (kind, name, station, added_at) VALUES ('tnc', ?, ?, ?) "
        "RETURNING id");
    insert.addBindValue(source);
    insert.addBindValue(station);
    insert.addBindValue(UtcText(QDateTime::currentDateTimeUtc()));
    written = (insert.exec() && insert.next()) || archive.Fail(insert);
    sourceId = written ? insert.value(0).toLongLong() : 0;
  }
  if (written) {
    // Gone before the transaction ends: it waits for the batch it is writing.
    FrameImporter importer(archive, sourceId);
    for (std::size_t i = 0; written && i < frames.size(); ++i) {
      written = importer.Add(frames[i].frame, frames[i].position, station, frames[i].time);
    }
    written = written && importer.Finish();
  }
  if (!written || !archive.Commit()) {
    const QString reason = archive.Error();
    archive.Rollback();
    if (newSource) {
      sourceId = 0;  // the source row went with the transaction
    }
    SetReachable(false, reason);
    return false;
  }
  {
    const std::lock_guard lock(mutex);
    waiting.erase(waiting.begin(), waiting.begin() + static_cast<std::ptrdiff_t>(frames.size()));
    framesWritten += static_cast<std::int64_t>(frames.size());
  }
  writtenSinceBack += static_cast<std::int64_t>(frames.size());
  SetReachable(true, QString());
  return true;
}

void LiveArchiveFeed::SetReachable(bool nowReachable, const QString& reason) {
  {
    const std::lock_guard lock(mutex);
    unreachable = nowReachable ? QString() : reason;
  }
  if (nowReachable == reachable) {
    return;
  }
  reachable = nowReachable;
  if (!report) {
    return;
  }
  if (!reachable) {
    writtenSinceBack = 0;
    report(QStringLiteral("%1; frames wait in memory and are written when it is back").arg(reason));
  } else {
    report(
        QStringLiteral("archive %1 is back: writing the frames that waited").arg(location.display));
  }
}

}  // namespace quilmar
