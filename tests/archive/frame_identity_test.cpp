// A frame's identity: the same AX.25 frame from a KISS log, a SatNOGS download with or without
// its FCS, and frames that only look alike.
#include <gtest/gtest.h>

#include "archive/frame_identity.h"
#include "core/kiss_deframer.h"
#include "tests/support/kiss_builder.h"

namespace quilmar {
namespace {

using testing::Bytes;

QByteArray AsBytes(std::span<const std::uint8_t> bytes) {
  return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

// The buffer the de-framer hands over for a frame of a KISS log.
FrameBuffer Deframed(const Bytes& frame) {
  FrameBuffer handed{};
  KissDeframer deframer([&](const FrameBuffer& buffer) {
    handed = buffer;
    return true;
  });
  deframer.Feed(testing::KissLog({frame}));
  return handed;
}

QByteArray WithFcs(QByteArray ax25) {
  const std::uint16_t fcs = Crc16X25(ax25);
  ax25.append(static_cast<char>(fcs & 0xFF));
  ax25.append(static_cast<char>(fcs >> 8));
  return ax25;
}

TEST(FrameIdentity, Crc16X25MatchesTheStandardCheckValue) {
  EXPECT_EQ(Crc16X25("123456789"), 0x906E);
  EXPECT_EQ(Crc16X25(""), 0x0000);
}

// The frames of a table hold FEND and FESC bytes, trailing zeros and a short one: each comes
// back as its AX.25 bytes, with no command byte, FEND or FCS, however it arrived.
TEST(FrameIdentity, SameFrameWhetherItsFcsWasKeptOrNot) {
  Bytes housekeeping = testing::HousekeepingFrame(65432, 41, 20);
  testing::Put(housekeeping, 40, {0xC0, 0xDB, 0xC0});
  Bytes trailingZeros = testing::BuildFrame(testing::Information(7, 'S', 0, 0, 134));
  Bytes shortFrame = testing::BuildFrame(testing::Information(9, 'G', 0, 0, 6));
  for (const Bytes* frame : {&housekeeping, &trailingZeros, &shortFrame}) {
    SCOPED_TRACE(frame->size());
    const QByteArray ax25 = AsBytes(*frame).sliced(1);  // without the KISS command byte
    const QByteArray plain = ArchivedFrameBytes(Deframed(*frame));
    EXPECT_EQ(plain, ax25);
    EXPECT_FALSE(plain.contains('\xC0') && !ax25.contains('\xC0'));

    Bytes kept(*frame);
    const QByteArray fcs = WithFcs(ax25).right(2);
    kept.insert(kept.end(), fcs.begin(), fcs.end());
    EXPECT_EQ(ArchivedFrameBytes(Deframed(kept)), ax25) << "the FCS was not taken off";

    // What the decoders read of the archived bytes is what they read of the log.
    EXPECT_EQ(FrameBufferOf(plain), Deframed(*frame));
  }
}

// Two bytes that are not the FCS of what comes before them are part of the frame.
TEST(FrameIdentity, BytesThatAreNoFcsStay) {
  const QByteArray ax25 = AsBytes(testing::BuildFrame(testing::Information(3, 'S'))).sliced(1);
  QByteArray wrong = WithFcs(ax25);
  wrong[wrong.size() - 1] = static_cast<char>(wrong[wrong.size() - 1] ^ 0x01);
  EXPECT_EQ(WithoutFcs(wrong), QByteArrayView(wrong));
  EXPECT_EQ(WithoutFcs(WithFcs(ax25)), QByteArrayView(ax25));
  // Too short to be an AX.25 frame with an FCS: left alone even when the CRC happens to fit.
  const QByteArray tiny = WithFcs("XQ0");
  EXPECT_EQ(WithoutFcs(tiny), QByteArrayView(tiny));
}

}  // namespace
}  // namespace quilmar
