// Telling downloads apart, reading SatNOGS CSV and JSON, and gr-satellites' KISS timestamps.
#include "archive/satnogs_reader.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QFile>
#include <string_view>

#include "archive/kiss_timestamps.h"
#include "archive/source_kind.h"
#include "core/kiss_deframer.h"
#include "tests/support/kiss_builder.h"

namespace quilmar {
namespace {

using namespace std::literals;

QByteArray Raw(std::string_view bytes) { return QByteArray(bytes.data(), bytes.size()); }

QByteArray Raw(const testing::Bytes& bytes) {
  return QByteArray(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

QString Utc(const std::optional<QDateTime>& time) {
  return time ? time->toString(Qt::ISODateWithMs) : QStringLiteral("-");
}

struct ReadResult {
  bool ok = false;
  QStringList frames;  // "position hex time [observer station observation]"
  QStringList warnings;
  QString error;
};

ReadResult Read(QIODevice& device, bool json) {
  ReadResult result;
  const SatnogsVisitor visit = [&](const SatnogsFrame& frame) {
    QString text = QStringLiteral("%1 %2 %3")
                       .arg(frame.position)
                       .arg(QString::fromLatin1(frame.ax25.toHex()), Utc(frame.receivedAt));
    if (json) {
      text +=
          QStringLiteral(" [%1|%2|%3]").arg(frame.observer, frame.stationId, frame.observationId);
    }
    result.frames << text;
    return true;
  };
  result.ok = json ? ReadSatnogsJson(device, visit, result.warnings, result.error)
                   : ReadSatnogsCsv(device, visit, result.warnings, result.error);
  return result;
}

ReadResult Read(const QByteArray& text, bool json) {
  QBuffer buffer;
  buffer.setData(text);
  buffer.open(QIODevice::ReadOnly);
  return Read(buffer, json);
}

// Lists compared as text, one item a line, so that a failure reads.
std::string Lines(const QStringList& list) { return list.join('\n').toStdString(); }

void ExpectRead(const ReadResult& got, const ReadResult& expected) {
  EXPECT_EQ(got.ok, expected.ok);
  EXPECT_EQ(Lines(got.frames), Lines(expected.frames));
  EXPECT_EQ(Lines(got.warnings), Lines(expected.warnings));
  EXPECT_EQ(got.error.toStdString(), expected.error.toStdString());
}

TEST(SourceKindTest, TellsTheDownloadsApartAndRefusesOtherText) {
  const QByteArray kiss = Raw(testing::KissWrap(testing::BuildFrame(testing::Information(1, 'S'))));
  const struct {
    const char* name;
    QByteArray head;
    SourceKind kind;
  } cases[] = {
      {"KISS log", kiss, SourceKind::kKissLog},
      {"KISS log joined inside a frame", "ab12" + kiss, SourceKind::kKissLog},
      {"Latin-1 text with a letter 0xC0", Raw("Caf\xC0 ol\xC0\n"), SourceKind::kUnknown},
      {"binary without a FEND", Raw("\x01\x02\x03"sv), SourceKind::kUnknown},
      {"CSV", "2026-06-12 16:41:07|A1b2\n", SourceKind::kSatnogsCsv},
      {"CSV with header", "timestamp|frame\n2026-06-12 16:41:07|A1B2\n", SourceKind::kSatnogsCsv},
      {"CSV, ISO, comma, CRLF", "Timestamp,Frame\r\n2026-06-12T16:41:07Z,a1b2\r\n",
       SourceKind::kSatnogsCsv},
      {"CSV with BOM, blanks, offset", Raw("\xEF\xBB\xBF\n \r\n2026-06-12T16:41:07.250+02:00|A1B2"),
       SourceKind::kSatnogsCsv},
      {"CSV, CR only", "timestamp|frame\r2026-06-12 16:41:07|A1B2\r", SourceKind::kSatnogsCsv},
      {"CSV line cut by the head", "2026-06-12 16:41:07|" + QByteArray(4075, 'A'),
       SourceKind::kSatnogsCsv},
      {"JSON list", " \n[{\"frame\":\"A1\"}]", SourceKind::kSatnogsJson},
      {"JSON object with BOM", Raw("\xEF\xBB\xBF{\"results\":[]}"), SourceKind::kSatnogsJson},
      {"empty", "", SourceKind::kUnknown},
      {"blank", " \r\n\n", SourceKind::kUnknown},
      {"prose", "Hello operators,\nhere are the frames\n", SourceKind::kUnknown},
      {"header alone", "timestamp|frame\n", SourceKind::kUnknown},
      {"date without time", "2026-06-12|A1B2\n", SourceKind::kUnknown},
      {"time without frame", "2026-06-12 16:41:07|\n", SourceKind::kUnknown},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(static_cast<int>(DetectSourceKind(c.head)), static_cast<int>(c.kind));
  }
}

TEST(SatnogsReaderTest, ReadsBothTimeFormsAsUtc) {
  const struct {
    const char* text;
    const char* utc;  // "-": not a time
  } cases[] = {
      {"2026-06-12 16:41:07", "2026-06-12T16:41:07.000Z"},
      {" 2026-06-12T16:41:07Z ", "2026-06-12T16:41:07.000Z"},
      {"2026-06-12T16:41:07", "2026-06-12T16:41:07.000Z"},  // no offset: UTC, not local
      {"2026-06-12T16:41:07.5Z", "2026-06-12T16:41:07.500Z"},
      {"2026-06-12T16:41:07.123456Z", "2026-06-12T16:41:07.123Z"},
      {"2026-06-12T18:41:07+02:00", "2026-06-12T16:41:07.000Z"},
      {"2026-06-12T09:41:07-0700", "2026-06-12T16:41:07.000Z"},
      {"2026-06-12T21:41:07+05", "2026-06-12T16:41:07.000Z"},
      {"2026-13-12 16:41:07", "-"},
      {"2026-06-12X16:41:07", "-"},
      {"2026-06-12 16:41", "-"},
      {"2026-06-12 24:00:00", "-"},
      {"-026-06-12 16:41:07", "-"},
      {"2026-06-12T16:41:07.Z", "-"},
      {"2026-06-12T16:41:07+25:00", "-"},
      {"2026-06-12T16:41:07+02:0", "-"},
      {"2026-06-12T16:41:07 UTC", "-"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Utc(ParseSatnogsTime(c.text)).toStdString(), c.utc);
  }
}

TEST(SatnogsReaderTest, ReadsCsvLinesOfEveryShape) {
  const QString late = QDateTime::currentDateTimeUtc().addSecs(25 * 3600).toString(Qt::ISODate);
  const QString soon = QDateTime::currentDateTimeUtc().addSecs(23 * 3600).toString(Qt::ISODate);
  const QString t7 = QStringLiteral("2026-06-12T16:41:07.000Z");
  const QString t8 = QStringLiteral("2026-06-12T16:41:08.000Z");
  const struct {
    const char* name;
    QByteArray text;
    ReadResult expected;
  } cases[] = {
      {"header, CRLF, both cases of hex, trailing blanks",
       "timestamp|frame\r\n2026-06-12 16:41:07|c0ffee\r\n2026-06-12T16:41:08Z|C0FFEE\r\n  \r\n\r\n",
       {true, {"2 c0ffee " + t7, "3 c0ffee " + t8}, {}, {}}},
      {"BOM, CR only, comma, offset",
       Raw("\xEF\xBB\xBF"
           "2026-06-12 16:41:07,A1\r2026-06-12T18:41:08+02:00,b2\r"),
       {true, {"1 a1 " + t7, "2 b2 " + t8}, {}, {}}},
      {"bad lines, a header not on the first line, no final line end",
       "2026-06-12 16:41:07|A1\nnot a frame\n2026-06-12 16:41:07|A\ntimestamp|frame\n"
       "2026-02-30 00:00:00|A1\n2026-06-12 16:41:08|a1",
       {true,
        {"1 a1 " + t7, "6 a1 " + t8},
        {"line 2: no timestamp (expected \"YYYY-MM-DD HH:MM:SS|HEX\"), skipped",
         "line 3: odd number of hex digits, skipped", "line 4: no valid timestamp, skipped",
         "line 5: no valid timestamp, skipped"},
        {}}},
      {"times out of range are dropped, the frames kept",
       ("1999-12-31 23:59:59|A1\n2000-01-01 00:00:00|A2\n" + late + "|A3\n" + soon + "|A4\n")
           .toLatin1(),
       {true,
        {"1 a1 -", "2 a2 2000-01-01T00:00:00.000Z", "3 a3 -", "4 a4 " + soon.chopped(1) + ".000Z"},
        {"line 1: timestamp 1999-12-31T23:59:59.000Z out of range, reception time not used",
         "line 3: timestamp " + late.chopped(1) + ".000Z out of range, reception time not used"},
        {}}},
      {"a NUL byte ends the read",
       Raw("2026-06-12 16:41:07|A1\n2026\0|"sv),
       {false, {"1 a1 " + t7}, {}, "line 2: a NUL byte, not a text file"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ExpectRead(Read(c.text, false), c.expected);
  }
}

TEST(SatnogsReaderTest, LongLinesAndManyWarningsStayBounded) {
  const QByteArray stamp = "2026-06-12 16:41:07|";
  const QByteArray longest = stamp + QByteArray(kLongestSatnogsLine - stamp.size(), 'A');
  const QByteArray huge(3 << 20, 'B');
  const ReadResult got = Read(
      longest + "\n" + longest + "A\r\n" + stamp + "C1\n" + huge + "\n" + stamp + "D1\n" + huge,
      false);
  EXPECT_TRUE(got.ok) << got.error.toStdString();
  ASSERT_EQ(got.frames.size(), 3);
  EXPECT_TRUE(got.frames[0].startsWith("1 aaaa"));
  EXPECT_TRUE(got.frames[1].startsWith("3 c1 "));
  EXPECT_TRUE(got.frames[2].startsWith("5 d1 "));
  EXPECT_EQ(Lines(got.warnings),
            Lines({"line 2: longer than 64 KiB, skipped", "line 4: longer than 64 KiB, skipped",
                   "line 6: longer than 64 KiB, skipped"}));

  // A CR LF whose two bytes fall into two pieces of the read is one line end.
  const QByteArray firstPiece = stamp + QByteArray(65514, 'A') + " \r";
  ASSERT_EQ(firstPiece.size(), 64 * 1024);
  const ReadResult split = Read(firstPiece + "\n" + stamp + "C1\n", false);
  ASSERT_EQ(split.frames.size(), 2);
  EXPECT_TRUE(split.frames[1].startsWith("2 c1 ")) << split.frames[1].toStdString();

  const ReadResult noisy = Read(QByteArray("junk\n").repeated(1000), false);
  ASSERT_EQ(noisy.warnings.size(), kMostSatnogsWarnings + 1);
  EXPECT_EQ(noisy.warnings.back().toStdString(), "800 more warnings not listed");
}

TEST(SatnogsReaderTest, AnEndlessStreamOfZerosEndsAtOnce) {
  for (const bool json : {false, true}) {
    QFile zeros("/dev/zero");
    if (!zeros.open(QIODevice::ReadOnly)) {
      GTEST_SKIP() << "no /dev/zero";
    }
    const ReadResult got = Read(zeros, json);
    EXPECT_FALSE(got.ok);
    EXPECT_EQ(got.error.toStdString(), json ? "not readable JSON: it begins with neither [ nor {"
                                            : "line 1: a NUL byte, not a text file");
  }
}

// A JSON download that says it is a byte larger than the limit; its bytes are a list's start
// and blanks, read only if the size was not looked at first.
class OversizedJson : public QIODevice {
 public:
  OversizedJson() { open(QIODevice::ReadOnly); }
  qint64 size() const override { return kLargestSatnogsJson + 1; }

 protected:
  qint64 readData(char* data, qint64 most) override {
    const qint64 count = std::min(most, size() - pos());
    std::fill_n(data, count, ' ');
    if (pos() == 0 && count > 0) {
      data[0] = '[';
    }
    return count;
  }
  qint64 writeData(const char*, qint64) override { return -1; }
};

TEST(SatnogsReaderTest, ReadsEveryJsonShapeAndRefusesOthers) {
  OversizedJson oversized;
  ExpectRead(Read(oversized, true),
             {false, {}, {}, "larger than 64 MiB, too large for a SatNOGS JSON download"});

  const QString t7 = QStringLiteral("2026-06-12T16:41:07.000Z");
  const struct {
    const char* name;
    QByteArray text;
    ReadResult expected;
  } cases[] = {
      {"list, with identifiers and bad elements",
       R"([{"frame":"A1","timestamp":"2026-06-12T16:41:07Z","observer":"DL1ABC-JO62",
            "station_id":1234,"observation_id":"987654"}, 3,
           {"frame":"zz","timestamp":"2026-06-12T16:41:07Z"},
           {"frame":"a2","timestamp":"2026-06-12T16:41:07Z","station_id":12.5,
            "observation_id":9007199254740993}])",
       {true,
        {"1 a1 " + t7 + " [DL1ABC-JO62|1234|987654]", "4 a2 " + t7 + " [|12.5|9007199254740993]"},
        {"element 2: not an object, skipped", "element 3: not hex, skipped"},
        {}}},
      {"paged answer, time without offset read as UTC",
       R"({"count":1,"next":null,"results":[{"frame":"b2","timestamp":"2026-06-12T16:41:07",
           "station_id":" 77 "}]})",
       {true, {"1 b2 " + t7 + " [|77|]"}, {}, {}}},
      {"one object alone, control characters left out of the observer",
       R"({"frame":"C3","timestamp":"2026-06-12 18:41:07+02:00","observer":"\u0007OE\tX\u001b"})",
       {true, {"1 c3 " + t7 + " [OEX||]"}, {}, {}}},
      {"empty list after a BOM", Raw("\xEF\xBB\xBF[]"), {true, {}, {}, {}}},
      {"frame longer than a line may be",
       "[{\"frame\":\"" + QByteArray(kLongestSatnogsLine + 2, 'a') +
           "\",\"timestamp\":\"2026-06-12T16:41:07Z\"}]",
       {true, {}, {"element 1: frame longer than 64 KiB, skipped"}, {}}},
      {"time out of range",
       R"([{"frame":"A1","timestamp":"1970-01-01T00:00:00Z"}])",
       {true,
        {"1 a1 - [||]"},
        {"element 1: timestamp 1970-01-01T00:00:00.000Z out of range, reception time not used"},
        {}}},
      {"object of another kind",
       R"({"count":0})",
       {false,
        {},
        {},
        "a JSON object with neither \"results\" nor \"frame\", not a SatNOGS telemetry "
        "download"}},
      {"results not a list",
       R"({"results":{}})",
       {false, {}, {}, "\"results\" is not a list of frames"}},
      {"not JSON", "hello", {false, {}, {}, "not readable JSON: it begins with neither [ nor {"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ExpectRead(Read(c.text, true), c.expected);
  }
  const ReadResult cut = Read(R"([{"frame":"A1")", true);
  EXPECT_FALSE(cut.ok);
  EXPECT_TRUE(cut.error.startsWith("not readable JSON: ")) << cut.error.toStdString();
}

testing::Bytes Stamp(std::uint64_t msSinceEpoch, int length = 8) {
  testing::Bytes stamp{0x09};
  for (int i = length - 1; i >= 0; --i) {
    stamp.push_back(static_cast<std::uint8_t>(msSinceEpoch >> (8 * i)));
  }
  return stamp;
}

TEST(KissTimestampsTest, GivesEachFrameTheTimeRightBeforeItWhereverTheChunksEnd) {
  const auto ours = [](std::uint16_t number) {
    return testing::BuildFrame(testing::Information(number, 'H', 0, 0, 8));
  };
  testing::FrameAddresses otherStation;
  otherStation.destination = "APRS";
  const std::uint64_t t1 = 1781282467000;       // 2026-06-12T16:41:07Z
  const std::uint64_t escaped = 0x18CC0DB0000;  // 2023-12-31, bytes C0 and DB inside
  const std::uint64_t t6 = 1781282470250;
  const std::uint64_t t8 = 1781282475000;
  testing::Bytes stream{'a', 'b', 0x01};  // the tail of a frame the log missed
  for (const testing::Bytes& frame : {Stamp(t1),
                                      ours(1),
                                      Stamp(t1 + 1000),
                                      testing::BuildFrame({}, otherStation),
                                      ours(2),
                                      Stamp(escaped),
                                      ours(3),
                                      ours(4),
                                      Stamp(631152000000) /* 1990 */,
                                      ours(5),
                                      Stamp(t6 - 500),
                                      Stamp(t6),
                                      ours(6),
                                      Stamp(t1),
                                      Stamp(t1, 7),
                                      ours(7),
                                      Stamp(t8),
                                      {},
                                      {},
                                      ours(8),
                                      Stamp(t8)}) {
    const testing::Bytes wrapped = testing::KissWrap(frame);
    stream.insert(stream.end(), wrapped.begin(), wrapped.end());
  }
  const QStringList expected = {
      "1 2026-06-12T16:41:07.000Z", "2 -", "3 2023-12-31T17:10:27.072Z", "4 -", "5 -",
      "6 2026-06-12T16:41:10.250Z", "7 -", "8 2026-06-12T16:41:15.000Z"};
  for (std::size_t split = 0; split <= stream.size(); ++split) {
    SCOPED_TRACE(split);
    KissTimestamps stamps;
    QStringList got;
    KissDeframer deframer([&](const FrameBuffer& frame) {
      got << QStringLiteral("%1 %2")
                 .arg((frame[17] << 8) | frame[18])
                 .arg(Utc(stamps.TimeBefore(deframer.BytesFed())));
      return true;
    });
    const std::span<const std::uint8_t> bytes(stream);
    for (const auto chunk : {bytes.first(split), bytes.subspan(split)}) {
      stamps.Feed(chunk);
      deframer.Feed(chunk);
    }
    EXPECT_EQ(Lines(got), Lines(expected));
    EXPECT_EQ(stamps.TimesOutOfRange(), 1);
  }
}

}  // namespace
}  // namespace quilmar
