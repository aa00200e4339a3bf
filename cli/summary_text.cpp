// The short human summary of a loaded log printed by --summary.
#include <array>

#include "export_command.h"

namespace quilmar {
namespace {

struct TypeCount {
  char letter;
  int count;
};

}  // namespace

void WriteSummary(std::ostream& out, std::string_view file, const FrameTable& table,
                  const LoadSummary& summary) {
  // The kinds the spacecraft sends; every other type byte counts as "other".
  std::array<TypeCount, 5> kinds{{{'S', 0}, {'G', 0}, {'M', 0}, {'I', 0}, {'A', 0}}};
  int other = 0;
  for (int index = 1; index <= table.frameCount; ++index) {
    const int type = table.Record(index).frameType;
    TypeCount* kind = nullptr;
    for (TypeCount& candidate : kinds) {
      if (candidate.letter == type) {
        kind = &candidate;
      }
    }
    ++(kind ? kind->count : other);
  }
  out << "File:            " << file << '\n'
      << "Frames stored:   " << table.frameCount << '\n'
      << "Frames skipped:  " << summary.framesSkipped << " (beyond the first 5000)\n"
      << "Frames rejected: " << summary.framesRejected << " (noise, other stations or ports)\n"
      << "Frames missing:  " << summary.missingFrames.Count() << '\n'
      << "By frame type:  ";
  for (const TypeCount& kind : kinds) {
    out << ' ' << kind.letter << ' ' << kind.count;
  }
  out << " other " << other << '\n';
  if (summary.endedInsideFrame) {
    out << "Last frame:      cut off by the end of the file, dropped\n";
  }
  if (!summary.error.empty()) {
    out << "Error:           " << summary.error << '\n';
  }
}

}  // namespace quilmar
