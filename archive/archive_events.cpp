// The archive's events; see archive_events.h.
#include "archive_events.h"

#include <algorithm>
#include <string>
#include <vector>

#include "archive.h"
#include "archive_passes.h"
#include "core/csv_writer.h"
#include "core/export_format.h"
#include "limits/limit_episodes.h"
#include "limits/value_names.h"

namespace quilmar {
namespace {

constexpr std::size_t kChunkSize = 1 << 16;

// A CSV cell of UTF-8 text: station names are received text, guarded against spreadsheet
// formulas as the archive's export guards them.
void AppendTextCell(std::string& out, const std::string& text) {
  const bool formula = RunsAsFormulaUtf8(text);
  if (!formula && text.find_first_of("\",\r\n") == std::string::npos) {
    out += text;
    return;
  }
  out += '"';
  out += formula ? "'" : "";
  for (const char c : text) {
    out += c;
    out += c == '"' ? "\"" : "";
  }
  out += '"';
}

std::string StationsText(const LimitEpisode& episode) {
  std::string text;
  for (const std::string& station : episode.stations) {
    text += (text.empty() ? "" : "; ") + station;
  }
  return text;
}

void AppendCsvEpisode(std::string& out, const LimitEpisode& episode) {
  out += ValueName(episode.row) + ',' + DirectionText(episode.direction) + ',' +
         LevelText(episode.worst) + ',' + episode.firstUtc + ',' + episode.lastUtc + ',';
  AppendInteger(out, episode.frames);
  out += ',';
  if (episode.direction == LimitDirection::kState) {
    AppendTextCell(out, episode.worstText);
  } else {
    AppendNumber(out, episode.worstValue);
  }
  out += ',';
  AppendTextCell(out, StationsText(episode));
  out += "\r\n";
}

void AppendJsonEpisode(std::string& out, const LimitEpisode& episode, bool first) {
  out += first ? "\n    {\"parameter\": \"" : ",\n    {\"parameter\": \"";
  out += ValueName(episode.row) + "\", \"direction\": \"" + DirectionText(episode.direction) +
         "\", \"worst\": \"" + LevelText(episode.worst) + "\", \"firstUtc\": \"" +
         episode.firstUtc + "\", \"lastUtc\": \"" + episode.lastUtc + "\", \"frames\": ";
  AppendInteger(out, episode.frames);
  out += ", \"worstValue\": ";
  if (episode.direction == LimitDirection::kState) {
    AppendJsonFileName(out, episode.worstText);
  } else {
    AppendNumber(out, episode.worstValue);
  }
  out += ", \"stations\": [";
  for (std::size_t i = 0; i < episode.stations.size(); ++i) {
    out += i == 0 ? "" : ", ";
    AppendJsonFileName(out, episode.stations[i]);
  }
  out += "]}";
}

bool Flush(std::ostream& out, std::string& chunk) {
  out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
  chunk.clear();
  return static_cast<bool>(out);
}

}  // namespace

void ArchivedEpisodeFeed::Frame(const ArchivedFrameRead& frame) {
  record.values.fill(0.0);
  DecodeEpsTcsSection(frame.frame, record);
  DecodeComSection(frame.frame, record);
  DecodeCdhsSection(frame.frame, record);
  DecodeAdcsSection(frame.frame, record);
  time = frame.time.toStdString();
  if (frame.stations != lastStations) {  // mostly the same few stations, frame after frame
    lastStations = frame.stations;
    stations.clear();
    for (const QString& station : frame.stations) {
      stations.push_back(station.toStdString());
    }
  }
  tracker.Frame(record, time, stations);
}

bool WriteEvents(Archive& archive, const LimitSet& limits, const ExportRange& range,
                 ArchiveFormat format, std::ostream& out) {
  const std::optional<std::vector<ArchivedPass>> passes =
      PassesBetween(archive, range.from, range.to);
  if (!passes) {
    return false;
  }
  std::string chunk;
  if (format == ArchiveFormat::kCsv) {
    chunk += std::string(kEventsCsvHeader) + "\r\n";
  } else {
    chunk += "{\n  \"archive\": ";
    AppendJsonFileName(chunk, archive.Location().display.toStdString());
    chunk += ",\n  \"limits\": ";
    AppendJsonFileName(chunk, limits.Origin());
    chunk += ",\n  \"episodes\": [";
  }
  std::int64_t count = 0;
  bool written = true;
  EpisodeTracker tracker(limits, [&](const LimitEpisode& episode) {
    if (format == ArchiveFormat::kCsv) {
      AppendCsvEpisode(chunk, episode);
    } else {
      AppendJsonEpisode(chunk, episode, count == 0);
    }
    ++count;
    written = chunk.size() < kChunkSize || Flush(out, chunk);
    return written;
  });
  ArchivedEpisodeFeed feed(tracker);
  const auto eachFrame = [&](const ArchivedFrameRead& frame) {
    feed.Frame(frame);
    return true;
  };
  bool handed = true;  // every pass's episodes went out
  if (!ReadFramesOfPasses(archive, *passes, range.from, range.to, eachFrame,
                          [&] { return handed = tracker.EndPass() && written; }) ||
      !handed) {
    return false;
  }
  if (format == ArchiveFormat::kJson) {
    chunk += count > 0 ? "\n  ],\n  \"episodeCount\": " : "],\n  \"episodeCount\": ";
    AppendInteger(chunk, count);
    chunk += "\n}\n";
  }
  return Flush(out, chunk) && static_cast<bool>(out.flush());
}

}  // namespace quilmar
