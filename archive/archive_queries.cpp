// Reading the archive back; see archive_queries.h.
#include "archive_queries.h"

#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "archive.h"
#include "archive_passes.h"
#include "archive_time.h"
#include "core/csv_writer.h"
#include "core/export_format.h"
#include "core/json_writer.h"
#include "core/missing_frames.h"
#include "core/section_decoders.h"

namespace quilmar {
namespace {

constexpr std::size_t kChunkSize = 1 << 16;

// A CSV cell of UTF-8 text (station names are received text too), guarded against
// spreadsheet formulas as the beacon text is, also behind invisible leading characters.
void AppendUtf8CsvCell(std::string& out, const std::string& text) {
  std::string cell = text;
  if (RunsAsFormulaUtf8(cell)) {
    cell.insert(cell.begin(), '\'');
  }
  if (cell.find_first_of("\",\r\n") == std::string::npos) {
    out += cell;
    return;
  }
  out += '"';
  for (const char c : cell) {
    out += c;
    if (c == '"') {
      out += '"';
    }
  }
  out += '"';
}

void AppendRecord(std::string& out, ArchiveFormat format, int index,
                  const ArchivedFrameRead& frame) {
  FrameRecord record;
  FillFrameRecord(frame.frame, record);
  const std::string time = frame.time.toStdString();
  const std::string kind = frame.timeKind.toStdString();
  if (format == ArchiveFormat::kCsv) {
    AppendCsvRow(out, index, record);
    out.resize(out.size() - 2);  // the row's CRLF: the archive's columns follow
    out += ',' + time + ',' + kind + ',';
    std::string stations;
    for (const QString& station : frame.stations) {
      stations += (stations.empty() ? "" : "; ") + station.toStdString();
    }
    AppendUtf8CsvCell(out, stations);
    out += "\r\n";
    return;
  }
  out += index == 1 ? "\n    " : ",\n    ";
  AppendJsonFrame(out, index, record);
  out.pop_back();  // the object's '}': the archive's members follow
  out += ", \"timeUtc\": ";
  if (time.empty()) {
    out += "null";
  } else {
    AppendJsonString(out, time);
  }
  out += ", \"timeKind\": ";
  AppendJsonString(out, kind);
  out += ", \"stations\": [";
  for (qsizetype i = 0; i < frame.stations.size(); ++i) {
    out += i == 0 ? "" : ", ";
    AppendJsonFileName(out, frame.stations[i].toStdString());
  }
  out += "]}";
}

bool Flush(std::ostream& out, std::string& chunk) {
  out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
  chunk.clear();
  return static_cast<bool>(out);
}

// Runs a read-only statement forward-only, so that rows stream rather than pile up.
bool Run(Archive& archive, QSqlQuery& query, const QString& sql,
         const std::vector<QVariant>& values = {}) {
  query.setForwardOnly(true);
  query.prepare(sql);
  for (const QVariant& value : values) {
    query.addBindValue(value);
  }
  return query.exec() || archive.Fail(query);
}

}  // namespace

// Pass by pass, each pass's frames in their counter's order; the frames without a time last,
// and only when no range is given.
bool ExportArchive(Archive& archive, const ExportRange& range, ArchiveFormat format,
                   std::ostream& out) {
  const std::optional<std::vector<ArchivedPass>> passes =
      PassesBetween(archive, range.from, range.to);
  if (!passes) {
    return false;
  }
  std::string chunk;
  if (format == ArchiveFormat::kCsv) {
    AppendCsvHeader(chunk);
    chunk.resize(chunk.size() - 2);
    chunk += ",timeUtc,timeKind,stations\r\n";
  } else {
    chunk += "{\n  \"archive\": ";
    AppendJsonFileName(chunk, archive.Location().display.toStdString());
    chunk += ",\n  \"frames\": [";
  }
  int index = 0;
  bool written = true;
  const auto emitFrame = [&](const ArchivedFrameRead& frame) {
    AppendRecord(chunk, format, ++index, frame);
    written = chunk.size() < kChunkSize || Flush(out, chunk);
    return written;
  };
  if (!ReadFramesOfPasses(archive, *passes, range.from, range.to, emitFrame) || !written) {
    return false;
  }
  if (!range.from && !range.to && (!ReadUntimedFrames(archive, emitFrame) || !written)) {
    return false;
  }
  if (format == ArchiveFormat::kJson) {
    chunk += index > 0 ? "\n  ],\n  \"frameCount\": " : "],\n  \"frameCount\": ";
    AppendInteger(chunk, index);
    chunk += "\n}\n";
  }
  return Flush(out, chunk) && static_cast<bool>(out.flush());
}

namespace {

// "3 (12-13, 20)": the count and the first runs of missing numbers, lowest first.
std::string MissingText(const PassMissing& missing) {
  std::string text = std::to_string(missing.count);
  if (!missing.ranges.isEmpty()) {
    text += " (" + missing.ranges.toStdString() + ")";
  }
  return text;
}

void WritePass(std::ostream& out, const ArchivedPass& pass) {
  std::string stations;
  for (const QString& station : pass.stations) {
    stations += (stations.empty() ? "" : ", ") + station.toStdString();
  }
  out << pass.start.toStdString() << " to " << pass.end.toStdString() << "  frames " << pass.frames
      << "  missing " << MissingText(pass.missing) << "  stations " << stations << '\n';
}

}  // namespace

bool WritePasses(Archive& archive, std::ostream& out) {
  std::int64_t passes = 0;
  if (!ForEachPass(archive, [&](const ArchivedPass& pass) {
        WritePass(out, pass);
        ++passes;
      })) {
    return false;
  }
  out << passes << (passes == 1 ? " pass\n" : " passes\n");
  return static_cast<bool>(out.flush());
}

bool WriteArchiveSummary(Archive& archive, std::ostream& out) {
  QSqlQuery query(archive.Database());
  if (!Run(archive, query,
           "SELECT count(*), min(time_utc), max(time_utc), "
           "sum(CASE WHEN time_kind = 'spacecraft' THEN 1 ELSE 0 END), "
           "sum(CASE WHEN time_kind = 'reception' THEN 1 ELSE 0 END), "
           "sum(CASE WHEN time_utc IS NULL THEN 1 ELSE 0 END), "
           "sum(CASE WHEN time_kind = 'correlated' THEN 1 ELSE 0 END) FROM frame") ||
      !query.next()) {
    return false;
  }
  const auto text = [&](int column) { return query.value(column).toString().toStdString(); };
  const auto time = [&](int column) { return StoredTimeText(query.value(column)).toStdString(); };
  const qint64 frames = query.value(0).toLongLong();
  const qint64 untimed = query.value(5).toLongLong();
  const qint64 spacecraft = query.value(3).toLongLong();
  const qint64 reception = query.value(4).toLongLong();
  const qint64 correlated = query.value(6).toLongLong();
  out << "archive: " << archive.Location().display.toStdString() << '\n'
      << "frames: " << frames << " (time from the spacecraft clock " << spacecraft
      << ", the clock correlated with reception " << correlated << ", from reception "
      << reception << ", estimated " << frames - spacecraft - correlated - reception - untimed
      << ", none " << untimed << ")\n"
      << "first frame: " << (frames > untimed ? time(1) : "-") << '\n'
      << "last frame: " << (frames > untimed ? time(2) : "-") << '\n';
  if (!Run(archive, query, "SELECT count(*), count(DISTINCT source_id) FROM reception") ||
      !query.next()) {
    return false;
  }
  out << "receptions: " << text(0) << " from " << text(1) << " sources\n"
      << "frames per month:\n";
  if (!Run(archive, query,
           "SELECT " + UtcTextSql(archive, "time_utc", 7) + " AS month, count(*) FROM frame "
           "WHERE time_utc IS NOT NULL GROUP BY month ORDER BY month")) {
    return false;
  }
  while (query.next()) {
    out << "  " << text(0) << "  " << text(1) << '\n';
  }
  out << "stations (receptions, frames):\n";
  if (!Run(archive, query,
           "SELECT station, count(*), count(DISTINCT frame_id) FROM reception "
           "GROUP BY station ORDER BY station")) {
    return false;
  }
  while (query.next()) {
    out << "  " << text(0) << "  " << text(1) << "  " << text(2) << '\n';
  }
  return static_cast<bool>(out.flush());
}

}  // namespace quilmar
