// The table of stored frames of the last loaded log: up to 5000 records, addressed 1-based in
// file order. Allocated once and reused by every load.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "parameter_catalogue.h"

namespace quilmar {

inline constexpr int kFrameTableCapacity = 5000;

// One stored frame. Texts hold raw frame bytes, one byte per character (Latin-1 when shown).
struct FrameRecord {
  std::array<double, kParameterCount> values{};
  std::string dateTime;  // spacecraft clock "07.03.2009 14:05:09"; empty without CDHS section
  std::string weekday;   // "Monday".."Sunday" or "???"; empty without CDHS section
  std::int32_t frameNumber = 0;
  std::int32_t frameType = 0;  // the type byte, an ASCII letter in practice
  std::int32_t primaryCounter = 0;
  std::int32_t secondaryCounter = 0;
  std::string hexDump;          // 134 groups "HH ", 402 characters
  std::string comText;          // beacon text, 33 bytes; empty without COM section
  std::string frameTypeLetter;  // the type byte as a one-character text

  void Clear();
  // True when the frame carried the section (its marker row is not 0).
  bool HasSection(Section section) const;
};

struct FrameTable {
  FrameTable();

  // 1-based; index must lie in 1..kFrameTableCapacity.
  FrameRecord& Record(int index) { return records[static_cast<std::size_t>(index - 1)]; }
  const FrameRecord& Record(int index) const {
    return records[static_cast<std::size_t>(index - 1)];
  }
  // True for the records filled by the last load (1..frameCount).
  bool IsCurrent(int index) const { return index >= 1 && index <= frameCount; }

  int frameCount = 0;
  std::vector<FrameRecord> records;  // kFrameTableCapacity records, never resized
};

}  // namespace quilmar
