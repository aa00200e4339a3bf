// A connection lost at any byte of a frame: the next connection's frames are all read, live and
// from the recording alike.
#include "live/recorded_stream.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <memory>

#include "core/kiss_reader.h"
#include "tests/support/kiss_builder.h"

namespace quilmar {
namespace {

using testing::Bytes;

QByteArray ToQt(const Bytes& bytes, std::size_t count) {
  return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(count));
}

// Every cut of the first connection, from before its first FEND to after its last, the one
// right after an opening FEND included.
TEST(RecordedStreamTest, NextConnectionIsReadInStepWhereverTheLastOneWasCut) {
  const Bytes lost = testing::KissLog(
      {testing::HousekeepingFrame(1, 41, 20), testing::HousekeepingFrame(2, 41, 20)});
  const Bytes next = testing::KissLog(
      {testing::HousekeepingFrame(3, 41, 20), testing::HousekeepingFrame(4, 41, 20)});
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  const auto table = std::make_unique<FrameTable>();
  for (std::size_t cut = 0; cut <= lost.size(); ++cut) {
    SCOPED_TRACE("first connection cut after " + std::to_string(cut) + " bytes");
    const QString path = folder.filePath(QStringLiteral("cut%1.kss").arg(cut));
    KissRecording recording;
    ASSERT_TRUE(recording.Open(path)) << recording.Error().toStdString();
    int framesOfNext = 0;
    bool counting = false;
    KissDeframer deframer([&](const FrameBuffer&) {
      framesOfNext += counting ? 1 : 0;
      return true;
    });
    ASSERT_TRUE(RecordAndFeed(ToQt(lost, cut), recording, deframer));
    ASSERT_TRUE(JoinNewConnection(recording, deframer));
    counting = true;
    ASSERT_TRUE(RecordAndFeed(ToQt(next, next.size()), recording, deframer));
    EXPECT_EQ(framesOfNext, 2);
    ASSERT_TRUE(recording.Close());

    // The recording reads back to the frames received live, the next connection's last.
    ReadKissLog(path.toStdString(), *table);
    ASSERT_GE(table->frameCount, 2);
    EXPECT_EQ(table->Record(table->frameCount).frameNumber, 4);
    EXPECT_EQ(table->Record(table->frameCount - 1).frameNumber, 3);
  }
}

}  // namespace
}  // namespace quilmar
