// Archives written before frames were identified by their AX.25 bytes alone (schema version 3
// and older) kept a frame's KISS command byte and closing FEND in its bytes and its FCS where
// a source had one, so the same frame could be archived twice, and they timed a frame by the
// source that brought it first. Opening one rebuilds its frames and receptions: every
// reception of every source is added again, in its source's order, to new tables, which merges
// the duplicates (their receptions kept) and times every pass as a new import would.
#pragma once

namespace quilmar {

class Archive;

// Inside the caller's write transaction; false with the archive's Error() set.
bool RebuildFramesByIdentity(Archive& archive);

}  // namespace quilmar
