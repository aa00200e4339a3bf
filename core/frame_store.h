// Appends the frames a KissDeframer accepts to the FrameTable: each one decoded into the next
// record, frames beyond the 5000th counted as skipped, and the missing frame numbers kept up
// to date as each frame arrives, so a live session's missing list never needs a rescan.
//
// A file load or a live session starts one FrameStore (which empties the table) and calls
// Append from the de-framer's handler:
//   FrameStore store(table);
//   KissDeframer deframer([&](const FrameBuffer& frame) {
//     if (const int index = store.Append(frame); index > 0) { ... show table.Record(index) }
//     return true;
//   });
#pragma once

#include <cstdint>
#include <utility>

#include "frame_table.h"
#include "missing_frames.h"
#include "section_decoders.h"

namespace quilmar {

class FrameStore {
 public:
  // Starts a new table: frameCount 0.
  explicit FrameStore(FrameTable& table);

  // Decodes the frame into the next record and returns its 1-based index; 0 when the table
  // is already full, and the frame is counted as skipped.
  int Append(const FrameBuffer& frame);

  // True once the table holds its 5000 records: every later frame is only counted.
  bool Full() const { return table.frameCount >= kFrameTableCapacity; }
  std::int64_t FramesSkipped() const { return framesSkipped; }
  const MissingFrames& Missing() const { return missing; }
  // Hands over the missing list at the end of a load.
  MissingFrames TakeMissing() { return std::move(missing); }

 private:
  void Prefetch(int index) const;

  FrameTable& table;
  std::int64_t framesSkipped = 0;
  MissingFrames missing;
};

}  // namespace quilmar
