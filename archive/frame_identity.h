// A frame's identity in the archive: the AX.25 frame as the spacecraft sent it, without the
// KISS framing around it (the command byte before it, the FEND after it) and without the
// 2-byte FCS some sources keep (a SatNOGS download may, a KISS log does not). The same frame
// from a log, a SatNOGS download and a live TNC is then the same bytes and the same digest.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/section_decoders.h"

namespace quilmar {

// The AX.25 frame a de-framer's buffer holds: after the KISS command byte, up to the closing
// FEND (the buffer's last non-zero byte; a frame longer than the buffer has none and is kept
// as far as it reached), with a trailing FCS removed.
QByteArray ArchivedFrameBytes(const FrameBuffer& frame);

// The buffer the de-framer would hand over for these AX.25 bytes: a data frame of port 0,
// the closing FEND after the last byte, zeros beyond; what the decoders read.
FrameBuffer FrameBufferOf(QByteArrayView ax25);

// The AX.25 bytes as a KISS data frame of port 0 (FEND, command byte, the bytes with FEND and
// FESC escaped, FEND), appended to out: how a TNC would have written them.
void AppendKissFrame(std::vector<std::uint8_t>& out, QByteArrayView ax25);

// CRC-16/X.25 (HDLC's FCS): reflected polynomial 0x1021, initial value and final XOR 0xFFFF.
std::uint16_t Crc16X25(QByteArrayView bytes);

// The bytes without their last two when those are the FCS of the rest (sent low byte first).
QByteArrayView WithoutFcs(QByteArrayView frame);

// The first eight bytes of a frame's digest as a number: an order of frames that is the same
// whichever came first, for ties nothing else breaks.
std::uint64_t FrameTie(QByteArrayView digest);

// Hashes a digest for a hash table by its first bytes: they are as random as any hash of it.
struct DigestHash {
  std::size_t operator()(QByteArrayView digest) const {
    std::size_t hash = 0;
    std::memcpy(&hash, digest.data(), std::min(sizeof hash, static_cast<std::size_t>(digest.size())));
    return hash;
  }
};

}  // namespace quilmar
