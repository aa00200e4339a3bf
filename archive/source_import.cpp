// Adding one file to the archive; see source_import.h.
#include "source_import.h"

#include <QDateTime>
#include <QFile>
#include <QSqlQuery>
#include <QVariant>

#include "archive.h"
#include "archive_time.h"
#include "core/kiss_deframer.h"
#include "frame_identity.h"
#include "frame_importer.h"
#include "kiss_timestamps.h"
#include "satnogs_reader.h"
#include "sha256.h"

namespace quilmar {
namespace {

constexpr qint64 kChunkBytes = 1 << 20;
// How often a SatNOGS download reports its progress, in frames.
constexpr std::int64_t kFramesPerProgress = 1000;

const char* KindName(SourceKind kind) {
  switch (kind) {
    case SourceKind::kKissLog:
      return "kiss";
    case SourceKind::kSatnogsCsv:
      return "satnogs-csv";
    case SourceKind::kSatnogsJson:
      return "satnogs-json";
    case SourceKind::kUnknown:
      break;
  }
  return "kiss";
}

// The source row for the file; 0 when its content is archived already (addedAt then says
// when), -1 on a database error.
std::int64_t InsertSource(Archive& archive, SourceKind kind, const QString& path,
                          const QByteArray& digest, const QString& station, QString& addedAt) {
  QSqlQuery insert(archive.Database());
  insert.prepare(
      "INSERT INTO source (kind, name, digest, station, added_at) VALUES (?, ?, ?, ?, ?) "
      "ON CONFLICT (digest) DO NOTHING RETURNING id");
  insert.addBindValue(QString::fromLatin1(KindName(kind)));
  insert.addBindValue(path);
  insert.addBindValue(digest);
  insert.addBindValue(station);
  insert.addBindValue(UtcText(QDateTime::currentDateTimeUtc()));
  if (!insert.exec()) {
    archive.Fail(insert);
    return -1;
  }
  if (insert.next()) {
    return insert.value(0).toLongLong();
  }
  QSqlQuery known(archive.Database());
  known.prepare("SELECT added_at FROM source WHERE digest = ?");
  known.addBindValue(digest);
  if (known.exec() && known.next()) {
    addedAt = StoredTimeText(known.value(0));
  }
  return 0;
}

bool ImportKissLog(QFile& file, const QString& station, FrameImporter& importer,
                   ImportOutcome& outcome, const ImportProgress& progress) {
  bool written = true;
  KissTimestamps stamps;
  KissDeframer deframer([&](const FrameBuffer& frame) {
    written = importer.Add(frame, deframer.BytesFed(), station, stamps.TimeBefore(deframer.BytesFed()));
    return written;
  });
  QByteArray chunk(kChunkBytes, Qt::Uninitialized);
  for (qint64 got; written && (got = file.read(chunk.data(), kChunkBytes)) > 0;) {
    const std::span bytes(reinterpret_cast<const std::uint8_t*>(chunk.constData()),
                          static_cast<std::size_t>(got));
    stamps.Feed(bytes);
    deframer.Feed(bytes);
    if (progress && !progress(deframer.BytesFed(), file.size())) {
      outcome.cancelled = true;
      return false;
    }
  }
  outcome.rejected = deframer.FramesRejected();
  if (stamps.TimesOutOfRange() > 0) {
    outcome.warnings << QStringLiteral("%1 reception times outside 2000-01-01 .. tomorrow not used")
                            .arg(stamps.TimesOutOfRange());
  }
  if (deframer.InsideFrame()) {
    outcome.warnings << QStringLiteral("the log ends inside a frame, whose bytes were dropped");
  }
  return written && file.error() == QFileDevice::NoError;
}

// The SatNOGS frame as a KISS frame through the same de-framer as a log, so that the same
// address rule decides; nullptr when the rule rejects it.
class SatnogsFramer {
 public:
  SatnogsFramer()
      : deframer([this](const FrameBuffer& frame) {
          accepted = frame;
          return true;
        }) {}

  const FrameBuffer* Frame(const QByteArray& ax25) {
    kiss.clear();
    AppendKissFrame(kiss, ax25);
    accepted.reset();
    deframer.Feed(kiss);
    return accepted ? &*accepted : nullptr;
  }

 private:
  std::vector<std::uint8_t> kiss;
  std::optional<FrameBuffer> accepted;
  KissDeframer deframer;
};

bool ImportSatnogs(QFile& file, SourceKind kind, const QString& station, FrameImporter& importer,
                   ImportOutcome& outcome, const ImportProgress& progress) {
  SatnogsFramer framer;
  std::int64_t frames = 0;
  const QString fallback = station.isEmpty() ? QStringLiteral("SatNOGS") : station;
  const SatnogsVisitor visit = [&](const SatnogsFrame& frame) {
    if (progress && ++frames % kFramesPerProgress == 0 && !progress(file.pos(), file.size())) {
      outcome.cancelled = true;
      return false;
    }
    const FrameBuffer* accepted = framer.Frame(frame.ax25);
    if (!accepted) {
      ++outcome.rejected;
      return true;
    }
    const QString& who = frame.observer.isEmpty() ? fallback : frame.observer;
    return importer.Add(*accepted, frame.position,
                        {who, frame.receivedAt, frame.stationId, frame.observationId});
  };
  QString error;
  const bool read = kind == SourceKind::kSatnogsCsv
                        ? ReadSatnogsCsv(file, visit, outcome.warnings, error)
                        : ReadSatnogsJson(file, visit, outcome.warnings, error);
  if (!error.isEmpty()) {
    outcome.error = QStringLiteral("%1: %2").arg(file.fileName(), error);
  }
  return read;
}

}  // namespace

ImportOutcome ImportFile(Archive& archive, const QString& path, const QString& station,
                         const ImportProgress& progress) {
  ImportOutcome outcome;
  QFile file(path);
  std::optional<QByteArray> digest;
  if (!file.open(QIODevice::ReadOnly) || !(digest = Sha256Of(file)) || !file.seek(0)) {
    outcome.error = QStringLiteral("%1: %2").arg(path, file.errorString());
    return outcome;
  }
  const SourceKind kind = DetectSourceKind(file.peek(4096));
  if (kind == SourceKind::kUnknown) {
    outcome.error = QStringLiteral("%1: not a KISS log, SatNOGS CSV or SatNOGS JSON").arg(path);
    return outcome;
  }
  const QString sourceStation =
      !station.isEmpty() || kind != SourceKind::kKissLog ? station : QStringLiteral("unknown");
  if (!archive.BeginWrite()) {
    outcome.error = archive.Error();
    return outcome;
  }
  const std::int64_t sourceId = InsertSource(
      archive, kind, path, *digest,
      sourceStation.isEmpty() ? QStringLiteral("SatNOGS") : sourceStation, outcome.addedAt);
  if (sourceId <= 0) {
    archive.Rollback();
    outcome.ok = sourceId == 0;
    outcome.alreadyArchived = sourceId == 0;
    outcome.error = sourceId < 0 ? archive.Error() : QString();
    return outcome;
  }
  bool written = false;
  std::int64_t newFrames = 0;
  std::int64_t knownFrames = 0;
  {
    // Gone before the transaction ends: it waits for the batch it is writing.
    FrameImporter importer(archive, sourceId);
    written = (kind == SourceKind::kKissLog
                   ? ImportKissLog(file, sourceStation, importer, outcome, progress)
                   : ImportSatnogs(file, kind, sourceStation, importer, outcome, progress)) &&
              importer.Finish();
    newFrames = importer.NewFrames();
    knownFrames = importer.KnownFrames();
  }
  const bool nothingRead = written && newFrames + knownFrames + outcome.rejected == 0;
  if (nothingRead && outcome.error.isEmpty()) {
    outcome.error = QStringLiteral("%1: no frame could be read from it (%2)")
                        .arg(path, outcome.warnings.isEmpty()
                                       ? QStringLiteral("it holds none")
                                       : outcome.warnings.front());
  }
  if (!written || nothingRead || !archive.Commit()) {
    if (outcome.cancelled) {
      outcome.error = QStringLiteral("%1: cancelled").arg(path);
    } else if (outcome.error.isEmpty()) {
      outcome.error = file.error() != QFileDevice::NoError
                          ? QStringLiteral("%1: %2").arg(path, file.errorString())
                          : archive.Error();
    }
    archive.Rollback();
    return outcome;
  }
  outcome.ok = true;
  outcome.newFrames = newFrames;
  outcome.knownFrames = knownFrames;
  return outcome;
}

}  // namespace quilmar
