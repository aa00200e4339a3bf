// What the archive answers does not depend on the order files were added: random parts of the
// demo pass's KISS log, of its SatNOGS download (newest line first, the spacecraft clock 7 h
// off the ground, some frames with their FCS) and of a second station's log, added in random
// orders, give the same export and the same passes on both engines. Also: an archive written
// before frames were identified by their AX.25 bytes alone is rebuilt on opening.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QSqlQuery>
#include <algorithm>
#include <random>
#include <sstream>

#include "archive/archive.h"
#include "archive/archive_passes.h"
#include "archive/archive_queries.h"
#include "archive/archive_time.h"
#include "archive/frame_identity.h"
#include "archive/satnogs_log.h"
#include "archive/source_import.h"
#include "core/kiss_deframer.h"
#include "core/kiss_reader.h"
#include "test_archives.h"
#include "tests/support/kiss_builder.h"

namespace quilmar {
namespace {

constexpr qint64 kClockOffSeconds = 7 * 3600;

struct DemoFrame {
  QByteArray ax25;
  QDateTime ground;  // when the SatNOGS station heard it
};

// The demo pass as the spacecraft sent it; each frame heard on the ground 7 h after its
// spacecraft clock (the last clock reading for a frame without one).
std::vector<DemoFrame> DemoPass() {
  QFile log(QStringLiteral(QUILMAR_SAMPLES_DIR "/demo.kss"));
  EXPECT_TRUE(log.open(QIODevice::ReadOnly));
  const QByteArray bytes = log.readAll();
  std::vector<DemoFrame> frames;
  QDateTime clock;
  KissDeframer deframer([&](const FrameBuffer& frame) {
    FrameRecord record;
    FillFrameRecord(frame, record);
    if (const auto utc = SpacecraftClockToUtc(record.dateTime)) {
      clock = *utc;
    }
    frames.push_back({ArchivedFrameBytes(frame), clock.addSecs(kClockOffSeconds)});
    return true;
  });
  deframer.Feed({reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                 static_cast<std::size_t>(bytes.size())});
  return frames;
}

QString WriteKissLog(const QString& name, const std::vector<const DemoFrame*>& frames) {
  std::vector<testing::Bytes> kiss;
  for (const DemoFrame* frame : frames) {
    testing::Bytes bytes{0x00};
    bytes.insert(bytes.end(), frame->ax25.begin(), frame->ax25.end());
    kiss.push_back(bytes);
  }
  const QString path = testing::TestFolder() + "/" + name;
  testing::WriteFile(path.toStdString(), testing::KissLog(std::span<const testing::Bytes>(kiss)));
  return path;
}

// Newest line first, as the SatNOGS DB serves it; every third frame keeps its FCS.
QString WriteSatnogsCsv(const QString& name, const std::vector<const DemoFrame*>& frames) {
  QByteArray csv = "timestamp|frame\r\n";
  for (auto frame = frames.rbegin(); frame != frames.rend(); ++frame) {
    QByteArray ax25 = (*frame)->ax25;
    if ((frame - frames.rbegin()) % 3 == 0) {
      const std::uint16_t fcs = Crc16X25(ax25);
      ax25 += static_cast<char>(fcs & 0xFF);
      ax25 += static_cast<char>(fcs >> 8);
    }
    csv += (*frame)->ground.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toLatin1() + "|" +
           ax25.toHex() + "\r\n";
  }
  const QString path = testing::TestFolder() + "/" + name;
  QFile file(path);
  EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(csv);
  return path;
}

struct Answers {
  std::string exported;
  std::string passes;
  bool operator==(const Answers&) const = default;
};

Answers Ask(Archive& archive) {
  std::ostringstream exported, passes;
  EXPECT_TRUE(ExportArchive(archive, {}, ArchiveFormat::kCsv, exported));
  EXPECT_TRUE(WritePasses(archive, passes));
  return {exported.str(), passes.str()};
}

class ArchiveOrder : public ::testing::TestWithParam<ArchiveEngine> {};

TEST_P(ArchiveOrder, AnswersDoNotDependOnTheOrderOfAdding) {
  const std::vector<DemoFrame> demo = DemoPass();
  ASSERT_GT(demo.size(), 200u);
  std::mt19937 random(20261208);
  for (int trial = 0; trial < 3; ++trial) {
    SCOPED_TRACE(trial);
    const auto part = [&](double share) {
      std::bernoulli_distribution keep(share);
      std::vector<const DemoFrame*> frames;
      for (const DemoFrame& frame : demo) {
        if (keep(random)) {
          frames.push_back(&frame);
        }
      }
      return frames;
    };
    const QString tag = QString::number(trial);
    struct Source {
      QString path;
      QString station;
    };
    std::vector<Source> sources{
        {WriteKissLog("log" + tag + ".kss", part(0.8)), "XQ0GND"},
        {WriteSatnogsCsv("satnogs" + tag + ".csv", part(0.7)), ""},
        {WriteKissLog("second" + tag + ".kss", part(0.5)), "DL1ABC"},
    };
    std::optional<Answers> first;
    for (int order = 0; order < 3; ++order) {
      SCOPED_TRACE(order);
      std::shuffle(sources.begin(), sources.end(), random);
      Archive archive;
      ASSERT_TRUE(archive.Open(testing::FreshArchive(GetParam())));
      for (const Source& source : sources) {
        const ImportOutcome outcome = ImportFile(archive, source.path, source.station);
        ASSERT_TRUE(outcome.ok) << outcome.error.toStdString();
      }
      const Answers answers = Ask(archive);
      if (!first) {
        first = answers;
        // One pass, on ground time: the clock carried 7 h forward by the download.
        std::vector<ArchivedPass> passes;
        ASSERT_TRUE(ForEachPass(archive, [&](const ArchivedPass& pass) { passes.push_back(pass); }));
        ASSERT_EQ(passes.size(), 1u) << answers.passes;
        EXPECT_EQ(passes.front().clockOffsetSeconds, kClockOffSeconds) << answers.passes;
        EXPECT_EQ(passes.front().startTime.time().hour(), 23) << answers.passes;
      }
      EXPECT_EQ(answers.passes, first->passes);
      EXPECT_TRUE(answers.exported == first->exported) << "the export differs";
    }
  }
}

// The demo pass, newest line first: frames in their counter's order, and only the numbers
// the pass really lacks count as missing.
TEST_P(ArchiveOrder, NewestFirstDownloadIsReadInCounterOrder) {
  const std::vector<DemoFrame> demo = DemoPass();
  std::vector<const DemoFrame*> all;
  for (const DemoFrame& frame : demo) {
    all.push_back(&frame);
  }
  Archive alone, download;
  ASSERT_TRUE(alone.Open(testing::FreshArchive(GetParam())));
  ASSERT_TRUE(download.Open(testing::FreshArchive(GetParam())));
  ASSERT_TRUE(ImportFile(alone, WriteKissLog("whole.kss", all), "XQ0GND").ok);
  const ImportOutcome outcome = ImportFile(download, WriteSatnogsCsv("whole.csv", all), "");
  ASSERT_TRUE(outcome.ok) << outcome.error.toStdString();
  EXPECT_EQ(outcome.newFrames, static_cast<std::int64_t>(demo.size())) << "a frame with its FCS "
                                                                           "was stored twice";
  std::vector<ArchivedPass> fromLog, fromDownload;
  ASSERT_TRUE(ForEachPass(alone, [&](const ArchivedPass& pass) { fromLog.push_back(pass); }));
  ASSERT_TRUE(
      ForEachPass(download, [&](const ArchivedPass& pass) { fromDownload.push_back(pass); }));
  ASSERT_EQ(fromLog.size(), 1u);
  ASSERT_EQ(fromDownload.size(), 1u);
  EXPECT_EQ(fromDownload.front().missing.count, fromLog.front().missing.count);
  EXPECT_EQ(fromDownload.front().missing.ranges, fromLog.front().missing.ranges);
  EXPECT_EQ(fromDownload.front().startTime, fromLog.front().startTime.addSecs(kClockOffSeconds));
  EXPECT_FALSE(fromLog.front().clockOffsetSeconds.has_value());

  std::vector<int> numbers;
  ASSERT_TRUE(ReadFramesBetween(download, fromDownload.front().startTime,
                                fromDownload.front().endTime, [&](const ArchivedFrameRead& read) {
                                  FrameRecord record;
                                  FillFrameRecord(read.frame, record);
                                  numbers.push_back(record.frameNumber);
                                  return true;
                                }));
  ASSERT_EQ(numbers.size(), demo.size());
  for (std::size_t i = 1; i < numbers.size(); ++i) {
    const int step = (numbers[i] - numbers[i - 1] + 65536) % 65536;
    EXPECT_TRUE(step >= 1 && step < 100) << numbers[i - 1] << " before " << numbers[i];
  }
}

// Opened as a log, the download (newest line first, FCS kept on some frames) is the log itself:
// the same frames in the same order, decoded alike.
TEST(SatnogsDownloadAsLog, ReadsAsTheLogOfTheSameFrames) {
  const std::vector<DemoFrame> demo = DemoPass();
  std::vector<const DemoFrame*> all;
  for (const DemoFrame& frame : demo) {
    all.push_back(&frame);
  }
  const auto table = std::make_unique<FrameTable>();
  const auto fromDownload = std::make_unique<FrameTable>();
  ReadKissLog(WriteKissLog("as-log.kss", all).toStdString(), *table);
  QStringList warnings;
  const auto source = OpenLogOrDownload(WriteSatnogsCsv("as-log.csv", all), warnings);
  const LoadSummary summary = ReadKissLog(*source, *fromDownload);
  EXPECT_TRUE(summary.error.empty()) << summary.error;
  EXPECT_TRUE(warnings.isEmpty()) << warnings.join('\n').toStdString();
  ASSERT_EQ(fromDownload->frameCount, table->frameCount);
  for (int index = 1; index <= table->frameCount; ++index) {
    SCOPED_TRACE(index);
    EXPECT_EQ(fromDownload->Record(index).frameNumber, table->Record(index).frameNumber);
    EXPECT_EQ(fromDownload->Record(index).dateTime, table->Record(index).dateTime);
    EXPECT_EQ(fromDownload->Record(index).comText, table->Record(index).comText);
  }
}

// gr-satellites writes the reception time before each frame (a KISS frame of command 9, Unix
// milliseconds, big-endian): the log's frames are archived with those times, so the pass goes
// to ground time as a SatNOGS download's would.
TEST_P(ArchiveOrder, TimestampedKissLogGivesReceptionTimes) {
  const std::vector<DemoFrame> demo = DemoPass();
  std::vector<testing::Bytes> kiss;
  for (const DemoFrame& frame : demo) {
    testing::Bytes stamp{0x09};
    const auto ms = static_cast<std::uint64_t>(frame.ground.toMSecsSinceEpoch());
    for (int shift = 56; shift >= 0; shift -= 8) {
      stamp.push_back(static_cast<std::uint8_t>(ms >> shift));
    }
    kiss.push_back(stamp);
    testing::Bytes bytes{0x00};
    bytes.insert(bytes.end(), frame.ax25.begin(), frame.ax25.end());
    kiss.push_back(bytes);
  }
  const QString path = testing::TestFolder() + "/stamped.kss";
  testing::WriteFile(path.toStdString(), testing::KissLog(std::span<const testing::Bytes>(kiss)));
  Archive archive;
  ASSERT_TRUE(archive.Open(testing::FreshArchive(GetParam())));
  const ImportOutcome outcome = ImportFile(archive, path, "XQ0GND");
  ASSERT_TRUE(outcome.ok) << outcome.error.toStdString();
  EXPECT_EQ(outcome.newFrames, static_cast<std::int64_t>(demo.size()));
  std::vector<ArchivedPass> passes;
  ASSERT_TRUE(ForEachPass(archive, [&](const ArchivedPass& pass) { passes.push_back(pass); }));
  ASSERT_EQ(passes.size(), 1u);
  EXPECT_EQ(passes.front().clockOffsetSeconds, kClockOffSeconds);
  QSqlQuery received(archive.Database());
  ASSERT_TRUE(received.exec("SELECT count(*) FROM reception WHERE received_at IS NOT NULL") &&
              received.next());
  EXPECT_EQ(received.value(0).toInt(), static_cast<int>(demo.size()));
}

INSTANTIATE_TEST_SUITE_P(Engines, ArchiveOrder,
                         ::testing::Values(ArchiveEngine::kSqlite, ArchiveEngine::kPostgresql),
                         [](const auto& info) {
                           return info.param == ArchiveEngine::kSqlite ? "Sqlite" : "Postgresql";
                         });

}  // namespace
}  // namespace quilmar
