// The incremental KISS de-framer; see kiss_deframer.h. Most of a busy channel's bytes belong
// to other stations, so a frame is searched for its delimiters with memchr, plain runs are
// copied in one step, and a frame is judged by its address as soon as that is known: a
// rejected frame is skipped to its closing FEND without being de-escaped.
#include "kiss_deframer.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>
#include <utility>

#include "kiss_bytes.h"

namespace quilmar {
namespace {

constexpr int kLongestCountedFrame = 32767;

// A byte can still change only at the position the length points to, so once the length
// reaches 16 the KISS command byte and both AX.25 addresses (positions 0..14) are final.
constexpr int kAddressKnown = 16;
// From this length on, nothing more can land in the buffer.
constexpr int kPastBuffer = kFrameBufferSize + 1;

// The KISS command byte must be 0 (data, port 0). A callsign byte holds its character shifted
// left by one, its lowest bit ignored; in an SSID byte only the SSID (bits 1..4) counts, and
// it must be 0. So XQ0GND (destination) and XQ0SAT (source) match exactly: no padding blanks,
// no "-N" suffix, case-sensitive.
struct AddressByte {
  std::uint8_t mask;
  std::uint8_t expected;
};

constexpr std::string_view kGroundStation = "XQ0GND";  // AX.25 destination
constexpr std::string_view kSpacecraft = "XQ0SAT";     // AX.25 source

constexpr AddressByte Callsign(char c) { return {0xFE, static_cast<std::uint8_t>(c << 1)}; }
constexpr AddressByte kSsidZero{0x1E, 0x00};

// Positions 0..14: the command byte, the destination's six characters and SSID byte, the
// source's six characters and SSID byte.
constexpr std::array<AddressByte, 15> kAcceptedAddress = [] {
  std::array<AddressByte, 15> address{};
  address[0] = {0xFF, 0x00};
  for (std::size_t i = 0; i < 6; ++i) {
    address[1 + i] = Callsign(kGroundStation[i]);
    address[8 + i] = Callsign(kSpacecraft[i]);
  }
  address[7] = kSsidZero;
  address[14] = kSsidZero;
  return address;
}();

// The table as two 8-byte masks and expected values (position 15, the control byte, is not
// examined), loaded the same way as the frame's bytes so byte order does not matter.
template <typename Field>
constexpr std::array<std::uint8_t, 16> AddressBytes(Field field) {
  std::array<std::uint8_t, 16> bytes{};
  for (std::size_t i = 0; i < kAcceptedAddress.size(); ++i) {
    bytes[i] = field(kAcceptedAddress[i]);
  }
  return bytes;
}

constexpr auto kAddressMask = AddressBytes([](AddressByte b) { return b.mask; });
constexpr auto kAddressExpected = AddressBytes([](AddressByte b) { return b.expected; });

std::uint64_t Load8(const std::uint8_t* at) {
  std::uint64_t word;
  std::memcpy(&word, at, sizeof word);
  return word;
}

bool PassesAddressCheck(const FrameBuffer& frame) {
  for (std::size_t half = 0; half < 16; half += 8) {
    if ((Load8(frame.data() + half) & Load8(kAddressMask.data() + half)) !=
        Load8(kAddressExpected.data() + half)) {
      return false;
    }
  }
  return true;
}

constexpr std::uint64_t EveryByte(std::uint8_t byte) { return 0x0101010101010101ULL * byte; }

// True when one of the eight bytes of the word equals byte.
bool HoldsByte(std::uint64_t word, std::uint8_t byte) {
  const std::uint64_t x = word ^ EveryByte(byte);
  return ((x - EveryByte(0x01)) & ~x & EveryByte(0x80)) != 0;
}

// True when none of the 16 bytes is a FEND or FESC: each stands for itself.
bool PlainAddress(const std::uint8_t* at) {
  const std::uint64_t first = Load8(at);
  const std::uint64_t second = Load8(at + 8);
  return !HoldsByte(first, kFend) && !HoldsByte(first, kFesc) && !HoldsByte(second, kFend) &&
         !HoldsByte(second, kFesc);
}

// The KISS command byte must be 0. Any other first byte but FEND and FESC stands for itself,
// so the frame it begins is rejected whatever follows: most candidates in line noise.
bool RejectedByFirstByte(std::uint8_t byte) { return byte != 0 && byte != kFend && byte != kFesc; }

const std::uint8_t* Find(const std::uint8_t* at, const std::uint8_t* end, std::uint8_t byte) {
  return static_cast<const std::uint8_t*>(
      std::memchr(at, byte, static_cast<std::size_t>(end - at)));
}

}  // namespace

KissDeframer::KissDeframer(FrameHandler handler) : handler(std::move(handler)) {}

std::size_t KissDeframer::Feed(std::span<const std::uint8_t> bytes) {
  const std::uint8_t* at = bytes.data();
  const std::uint8_t* const end = at + bytes.size();
  feedStart = at;
  fedBeforeChunk = bytesFed;
  stopRequested = false;
  while (at < end && !stopRequested) {
    switch (phase) {
      case Phase::kBeforeFirstFend:
        at = FindFirstFend(at, end);
        break;
      case Phase::kAddress:
        at = TakeAddress(at, end);
        break;
      case Phase::kKeeping:
        at = TakeBody(at, end);
        break;
      case Phase::kSkipping:
      case Phase::kCounting:
        at = SkipBody(at, end);
        break;
    }
  }
  const auto used = static_cast<std::size_t>(at - bytes.data());
  bytesFed = fedBeforeChunk + static_cast<std::int64_t>(used);
  return used;
}

// Bytes before the stream's first FEND belong to no frame: a TNC switched on, or a log
// started, in the middle of one.
const std::uint8_t* KissDeframer::FindFirstFend(const std::uint8_t* at, const std::uint8_t* end) {
  const std::uint8_t* fend = Find(at, end, kFend);
  if (fend == nullptr) {
    return end;
  }
  phase = Phase::kAddress;
  return fend + 1;
}

// Clears what the previous frame left: the escape flag and the buffer positions it reached,
// so a corrupt frame cannot spoil the next one.
void KissDeframer::BeginFrame() {
  if (reached > 0) {
    std::fill_n(frame.begin(), reached, std::uint8_t{0});
    reached = 0;
  }
  length = 0;
  escapePending = false;
  phase = Phase::kAddress;
}

// Once the address is known: a frame for the table is de-escaped and kept; one that only
// adds to the count, and a rejected one, are skipped to their closing FEND.
KissDeframer::Phase KissDeframer::AfterAddress() const {
  if (!PassesAddressCheck(frame)) {
    return Phase::kSkipping;
  }
  return countOnly ? Phase::kCounting : Phase::kKeeping;
}

const std::uint8_t* KissDeframer::TakeAddress(const std::uint8_t* at, const std::uint8_t* end) {
  if (length == 0 && RejectedByFirstByte(*at)) {
    length = 1;
    phase = Phase::kSkipping;
    return at + 1;
  }
  // The usual case, a frame whose address holds no special byte, in one step. Just after the
  // opening FEND no escape is pending and nothing is written yet.
  if (length == 0 && end - at >= kAddressKnown && PlainAddress(at)) {
    std::memcpy(frame.data(), at, kAddressKnown);
    reached = kAddressKnown;
    length = kAddressKnown;
    phase = AfterAddress();
    return at + kAddressKnown;
  }
  while (at < end) {
    if (Step(*at++)) {
      Close(PassesAddressCheck(frame), at);
      return at;
    }
    if (length >= kAddressKnown) {
      phase = AfterAddress();
      return at;
    }
  }
  return at;
}

// Copies the runs between FESCs in one step; an escape pending across other bytes (a corrupt
// frame) is taken byte by byte.
const std::uint8_t* KissDeframer::TakeBody(const std::uint8_t* at, const std::uint8_t* end) {
  while (at < end) {
    if (length >= kPastBuffer) {
      // The rest is dropped and the count no longer shows anywhere: go to the closing FEND.
      const std::uint8_t* fend = Find(at, end, kFend);
      if (fend == nullptr) {
        return end;
      }
      Close(true, fend + 1);
      return fend + 1;
    }
    if (escapePending) {
      if (Step(*at++)) {
        Close(true, at);
        return at;
      }
      continue;
    }
    const std::uint8_t* window = at + std::min<std::ptrdiff_t>(end - at, kPastBuffer - length);
    const std::uint8_t* fend = Find(at, window, kFend);
    const std::uint8_t* runEnd = fend != nullptr ? fend : window;
    const std::uint8_t* fesc = Find(at, runEnd, kFesc);
    if (fesc != nullptr) {
      runEnd = fesc;
    }
    StoreRun(at, static_cast<std::size_t>(runEnd - at));
    at = runEnd;
    if (at < window && Step(*at++)) {
      Close(true, at);
      return at;
    }
  }
  return at;
}

// Line noise is mostly candidates rejected by their first byte, each ended by the FEND that
// begins the next: skipped here in one loop rather than one Feed step each. No handler runs
// for a skipped frame, so nothing can ask to stop.
const std::uint8_t* KissDeframer::SkipBody(const std::uint8_t* at, const std::uint8_t* end) {
  for (;;) {
    const std::uint8_t* fend = Find(at, end, kFend);
    if (fend == nullptr) {
      return end;
    }
    Close(phase == Phase::kCounting, fend + 1);
    at = fend + 1;
    if (at == end || !RejectedByFirstByte(*at)) {
      return at;
    }
    length = 1;
    phase = Phase::kSkipping;
    ++at;
  }
}

// One byte of a frame; true when it is the closing FEND.
bool KissDeframer::Step(std::uint8_t byte) {
  length = std::min(length + 1, kLongestCountedFrame);
  if (byte == kFesc) {
    escapePending = true;
    return false;
  }
  if (escapePending && (byte == kTfend || byte == kTfesc)) {
    // The pair stands for one byte, at the place the FESC took.
    --length;
    Store(byte == kTfend ? kFend : kFesc);
    escapePending = false;
    return false;
  }
  Store(byte);
  return byte == kFend;
}

void KissDeframer::Store(std::uint8_t byte) {
  const int position = length - 1;
  if (position >= 0 && position < kFrameBufferSize) {
    frame[static_cast<std::size_t>(position)] = byte;
    reached = std::max(reached, position + 1);
  }
}

// A run without FEND or FESC, with no escape pending: each byte stands for itself.
void KissDeframer::StoreRun(const std::uint8_t* run, std::size_t count) {
  if (length < kFrameBufferSize) {
    const std::size_t fits = std::min(count, static_cast<std::size_t>(kFrameBufferSize - length));
    std::memcpy(frame.data() + length, run, fits);
    reached = std::max(reached, length + static_cast<int>(fits));
  }
  length = static_cast<int>(
      std::min<std::size_t>(static_cast<std::size_t>(length) + count, kLongestCountedFrame));
}

// Every FEND ends the frame in progress and begins the next. A frame of the FEND alone
// (FEND FEND, or the FEND after a closing one) is no frame at all and is not counted.
void KissDeframer::Close(bool accepted, const std::uint8_t* after) {
  bytesFed = fedBeforeChunk + (after - feedStart);
  // Only a frame ended while its address was still being read can be the FEND alone.
  const bool empty = phase == Phase::kAddress && length == 1;
  if (empty) {
    BeginFrame();
    return;
  }
  if (!accepted) {
    ++framesRejected;
  } else if (countOnly) {
    ++framesCounted;
  } else if (handler && !handler(frame)) {
    stopRequested = true;
  }
  BeginFrame();
}

}  // namespace quilmar
