// The stored frames and the load's summary as one JSON object; see json_writer.h.
// Output is written in chunks: the missing-frames list can run to hundreds of millions of
// numbers, so it is expanded from its gaps while it is written, never held in memory.
#include "json_writer.h"

#include <cmath>
#include <string>

#include "export_format.h"

namespace quilmar {
namespace {

constexpr std::size_t kChunkSize = 1 << 16;
constexpr int kMissingFramesPerLine = 16;

void Flush(std::ostream& out, std::string& chunk) {
  out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
  chunk.clear();
}

void AppendKey(std::string& out, std::string_view key) {
  out += '"';
  out += key;
  out += "\": ";
}

void AppendMissingFrames(std::ostream& out, std::string& chunk, const MissingFrames& missing) {
  AppendKey(chunk, "missingFrames");
  chunk += '[';
  std::int64_t k = 0;
  missing.ForEach([&](std::int32_t number) {
    chunk += k == 0 ? "\n    " : (k % kMissingFramesPerLine == 0 ? ",\n    " : ", ");
    AppendInteger(chunk, number);
    ++k;
    if (chunk.size() >= kChunkSize) {
      Flush(out, chunk);
    }
  });
  chunk += k == 0 ? "],\n" : "\n  ],\n";
}

// "key": value, with the separator for the next member.
void AppendIntegerMember(std::string& out, std::string_view key, std::int64_t value) {
  AppendKey(out, key);
  AppendInteger(out, value);
  out += ", ";
}

void AppendTextMember(std::string& out, std::string_view key, std::string_view latin1) {
  AppendKey(out, key);
  AppendJsonString(out, latin1);
  out += ", ";
}

void AppendValues(std::string& out, const FrameRecord& record) {
  AppendKey(out, "values");
  out += '[';
  for (std::size_t r = 0; r < record.values.size(); ++r) {
    if (r > 0) {
      out += ", ";
    }
    const double value = record.values[r];
    // JSON has no literal for non-finite numbers; they travel as strings. A bare "-0" reads
    // back as the integer 0 in most parsers, losing the sign an ADCS float can carry.
    if (value == 0 && std::signbit(value)) {
      out += "-0.0";
    } else if (std::isfinite(value)) {
      AppendNumber(out, value);
    } else {
      out += '"';
      AppendNumber(out, value);
      out += '"';
    }
  }
  out += ']';
}

}  // namespace

void AppendJsonFrame(std::string& out, int index, const FrameRecord& record) {
  out += '{';
  AppendIntegerMember(out, "index", index);
  AppendIntegerMember(out, "frameNumber", record.frameNumber);
  AppendIntegerMember(out, "frameType", record.frameType);
  AppendTextMember(out, "frameTypeLetter", record.frameTypeLetter);
  AppendIntegerMember(out, "primaryCounter", record.primaryCounter);
  AppendIntegerMember(out, "secondaryCounter", record.secondaryCounter);
  AppendTextMember(out, "dateTime", record.dateTime);
  AppendTextMember(out, "weekday", record.weekday);
  AppendTextMember(out, "comText", record.comText);
  AppendTextMember(out, "hexDump", record.hexDump);
  AppendValues(out, record);
  out += '}';
}

bool WriteJson(std::ostream& out, std::string_view file, const FrameTable& table,
               const LoadSummary& summary) {
  std::string chunk;
  chunk.reserve(kChunkSize + 4096);
  chunk += "{\n  ";
  AppendKey(chunk, "file");
  AppendJsonFileName(chunk, file);
  chunk += ",\n  ";
  AppendKey(chunk, "frameCount");
  AppendInteger(chunk, table.frameCount);
  chunk += ",\n  ";
  AppendKey(chunk, "framesSkipped");
  AppendInteger(chunk, summary.framesSkipped);
  chunk += ",\n  ";
  AppendKey(chunk, "missingFrameCount");
  AppendInteger(chunk, summary.missingFrames.Count());
  chunk += ",\n  ";
  AppendMissingFrames(out, chunk, summary.missingFrames);
  chunk += "  ";
  AppendKey(chunk, "frames");
  chunk += '[';
  for (int index = 1; index <= table.frameCount && out; ++index) {
    chunk += index == 1 ? "\n" : ",\n";
    chunk += "    ";
    AppendJsonFrame(chunk, index, table.Record(index));
    if (chunk.size() >= kChunkSize) {
      Flush(out, chunk);
    }
  }
  chunk += table.frameCount > 0 ? "\n  ]\n}\n" : "]\n}\n";
  Flush(out, chunk);
  out.flush();
  return static_cast<bool>(out);
}

}  // namespace quilmar
