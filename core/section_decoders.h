// Decoders of the four housekeeping sections of a system housekeeping ("S") frame. Each one
// tests its own recognition rule (type letter and length byte) and writes its rows only when
// the rule holds. Positions count from 0 at the KISS command byte; information byte k is at
// position 17 + k.
#pragma once

#include <array>
#include <cstdint>

#include "frame_table.h"

namespace quilmar {

inline constexpr int kFrameBufferSize = 512;
inline constexpr int kInformationFieldStart = 17;
inline constexpr int kInformationFieldLength = 134;
using FrameBuffer = std::array<std::uint8_t, kFrameBufferSize>;

void DecodeEpsTcsSection(const FrameBuffer& frame, FrameRecord& record);
void DecodeComSection(const FrameBuffer& frame, FrameRecord& record);
void DecodeCdhsSection(const FrameBuffer& frame, FrameRecord& record);
void DecodeAdcsSection(const FrameBuffer& frame, FrameRecord& record);

// Header fields, the four section decoders in their order, and the hex text: everything a
// stored frame's record gets from its bytes. The record must have been cleared.
void FillFrameRecord(const FrameBuffer& frame, FrameRecord& record);
// The same without the hex text: what the archive keeps of a frame (it keeps the bytes).
void FillFrameValues(const FrameBuffer& frame, FrameRecord& record);
// The spacecraft clock text alone, as FillFrameValues writes it to dateTime (empty without a
// CDHS section): what an import needs first of a frame the archive may hold already.
void WriteSpacecraftClock(const FrameBuffer& frame, std::string& dateTime);

}  // namespace quilmar
