// Faults the archive can slip into without any other test noticing, on SQLite and PostgreSQL:
// control characters kept in SatNOGS observer names, a download's frame re-framed with the
// KISS escapes swapped, a transaction left open by a file added twice, an hour of the overview
// that a NULL side empties, a station listed twice, a read that ends on a database error
// taken for the end of the rows, files that gave no frame recorded as added, and a NaN
// reading confused with a section not carried; and a read of many passes, read ahead in
// groups, that loses or repeats a group.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QTimeZone>
#include <chrono>
#include <cmath>
#include <future>
#include <map>
#include <sstream>

#include "archive/archive.h"
#include "archive/archive_passes.h"
#include "archive/archive_queries.h"
#include "archive/archive_schema.h"
#include "archive/archive_time.h"
#include "archive/frame_stations.h"
#include "archive/satnogs_log.h"
#include "archive/source_import.h"
#include "archive/trend_overview.h"
#include "core/csv_writer.h"
#include "core/kiss_reader.h"
#include "test_archives.h"
#include "tests/support/kiss_builder.h"

namespace quilmar {
namespace {

using testing::Bytes;

// A housekeeping frame with CDHS first (the spacecraft clock, 15 July 2026 12:00 PDT plus
// `seconds`, i.e. 19:00 UTC plus `seconds`) and `second` (COM 20 or ADCS 64) after it.
Bytes ClockFrame(int number, int seconds, std::uint8_t second) {
  Bytes frame = testing::HousekeepingFrame(static_cast<std::uint16_t>(number), 23, second);
  testing::Put(frame, 31,
               {static_cast<std::uint8_t>(seconds % 60), static_cast<std::uint8_t>(seconds / 60),
                12, 3, 15, 7, 26});
  return frame;
}

// EPS/TCS and COM: no clock of its own.
Bytes PlainFrame(int number) {
  return testing::HousekeepingFrame(static_cast<std::uint16_t>(number), 41, 20);
}

QByteArray Ax25Of(const Bytes& frame) {
  return QByteArray(reinterpret_cast<const char*>(frame.data()) + 1,
                    static_cast<qsizetype>(frame.size()) - 1);
}

QString WritePath(const QString& name, const QByteArray& content) {
  const QString path = testing::TestFolder() + "/slips-" + name;
  QFile file(path);
  EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(content);
  return path;
}

QString WriteLog(const QString& name, const std::vector<Bytes>& frames) {
  const Bytes log = testing::KissLog(std::span<const Bytes>(frames));
  return WritePath(name, QByteArray(reinterpret_cast<const char*>(log.data()),
                                    static_cast<qsizetype>(log.size())));
}

// The first column of every row, as text ("" for NULL).
QStringList Column(Archive& archive, const QString& sql) {
  QSqlQuery query(archive.Database());
  EXPECT_TRUE(query.exec(sql)) << sql.toStdString();
  QStringList values;
  while (query.next()) {
    values << query.value(0).toString();
  }
  return values;
}

qint64 Count(Archive& archive, const QString& sql) {
  QSqlQuery query(archive.Database());
  EXPECT_TRUE(query.exec(sql) && query.next()) << sql.toStdString();
  return query.value(0).toLongLong();
}

std::string Export(Archive& archive) {
  std::ostringstream out;
  EXPECT_TRUE(ExportArchive(archive, {}, ArchiveFormat::kCsv, out))
      << archive.Error().toStdString();
  return out.str();
}

// The stations of every frame read back (timed and untimed), by frame number.
std::map<int, QStringList> StationsByFrame(Archive& archive) {
  std::map<int, QStringList> stations;
  const auto keep = [&](const ArchivedFrameRead& read) {
    FrameRecord record;
    FillFrameRecord(read.frame, record);
    stations[record.frameNumber] = read.stations;
    return true;
  };
  std::vector<ArchivedPass> passes;
  EXPECT_TRUE(ForEachPass(archive, [&](const ArchivedPass& pass) { passes.push_back(pass); }));
  for (const ArchivedPass& pass : passes) {
    EXPECT_TRUE(ReadFramesBetween(archive, pass.startTime, pass.endTime, keep));
  }
  EXPECT_TRUE(ReadUntimedFrames(archive, keep));
  return stations;
}

bool HasControlCharacter(const QString& text) {
  return std::any_of(text.begin(), text.end(),
                     [](QChar c) { return c.isNull() || c.category() == QChar::Other_Control; });
}

// The archive command's URL of a location.
QString UrlOf(const ArchiveLocation& where) {
  return where.engine == ArchiveEngine::kSqlite
             ? where.path
             : "postgresql://postgres@/" + where.database + "?host=" + where.host;
}

class ArchiveSlips : public ::testing::TestWithParam<ArchiveEngine> {
 protected:
  void SetUp() override {
    location = testing::FreshArchive(GetParam());
    ASSERT_FALSE(location.display.isEmpty());
    ASSERT_TRUE(archive.Open(location)) << archive.Error().toStdString();
  }

  // A test's own file name, apart from the other engine's run of the same test.
  QString Name(const QString& name) const {
    return (GetParam() == ArchiveEngine::kSqlite ? "sqlite-" : "postgresql-") + name;
  }

  ArchiveLocation location;
  Archive archive;
};

// Observer names are received text: a terminal escape, a carriage return, a bell or a NUL in
// one must not reach the station column, the export or the passes.
TEST_P(ArchiveSlips, ControlCharactersLeaveObserverNames) {
  const struct {
    QString observer;
    QString stationId;
    QString expected;  // empty: only "no control character and DL1ABC in it"
  } cases[] = {
      {"\x1b[31mDL1ABC\x1b[0m", "\x1b[2J17", ""},
      {"DL1\rABC", "\r42", "DL1ABC"},
      {"\aOK1XYZ\a", "7\a", "OK1XYZ"},
      {QString("G4") + QChar(0) + "ABC", QString("9") + QChar(0), "G4ABC"},
      {"  W1AW\n", "\t5", "W1AW"},
      {"DL1ABC-JO62 Ä ✓", "1234", "DL1ABC-JO62 Ä ✓"},
  };
  QJsonArray list;
  int number = 0;
  for (const auto& each : cases) {
    ++number;
    list.append(QJsonObject{{"frame", QString(Ax25Of(ClockFrame(number, number * 10, 64)).toHex())},
                            {"timestamp", "2026-07-15T19:00:00Z"},
                            {"observer", each.observer},
                            {"station_id", each.stationId},
                            {"observation_id", "\x1b" + each.stationId}});
  }
  const ImportOutcome outcome =
      ImportFile(archive, WritePath(Name("observers.json"), QJsonDocument(list).toJson()), "");
  ASSERT_TRUE(outcome.ok) << outcome.error.toStdString();
  ASSERT_EQ(outcome.newFrames, static_cast<std::int64_t>(std::size(cases)));

  QSqlQuery query(archive.Database());
  ASSERT_TRUE(
      query.exec("SELECT station, station_id, observation_id FROM reception ORDER BY "
                 "position"));
  for (const auto& each : cases) {
    SCOPED_TRACE(each.observer.toUtf8().toPercentEncoding().toStdString());
    ASSERT_TRUE(query.next());
    const QString station = query.value(0).toString();
    EXPECT_FALSE(HasControlCharacter(station)) << station.toUtf8().toPercentEncoding().data();
    if (each.expected.isEmpty()) {
      EXPECT_TRUE(station.contains("DL1ABC")) << station.toStdString();
    } else {
      EXPECT_EQ(station, each.expected);
    }
    for (int column : {1, 2}) {
      const QString id = query.value(column).toString();
      EXPECT_FALSE(HasControlCharacter(id)) << id.toUtf8().toPercentEncoding().data();
      EXPECT_FALSE(id.isEmpty());
    }
  }
  const std::string exported = Export(archive);
  EXPECT_EQ(exported.find_first_of(std::string("\x1b\a\0\t", 4)), std::string::npos);
  for (std::size_t at = exported.find('\r'); at != std::string::npos;
       at = exported.find('\r', at + 1)) {
    ASSERT_EQ(exported[at + 1], '\n') << "a CR of a station inside the export";
  }
  std::vector<ArchivedPass> passes;
  ASSERT_TRUE(ForEachPass(archive, [&](const ArchivedPass& pass) { passes.push_back(pass); }));
  ASSERT_EQ(passes.size(), 1u);
  for (const QString& station : passes.front().stations) {
    EXPECT_FALSE(HasControlCharacter(station)) << station.toUtf8().toPercentEncoding().data();
  }
}

// A frame whose AX.25 bytes hold FEND and FESC (and what would read as escapes after a FESC)
// is the same frame from a SatNOGS download as from a KISS log: the same stored bytes, one
// row, the same values in the export and when the download is opened as a log.
TEST_P(ArchiveSlips, DownloadFrameWithFendAndFescIsTheLogsFrame) {
  Bytes frame = PlainFrame(7);
  testing::Put(frame, 34, {0xC0, 0xDB, 0xDB, 0xDC, 0xC0, 0xDD, 0xDB, 0xC0});
  const QByteArray ax25 = Ax25Of(frame);
  const QString log = WriteLog(Name("escapes.kss"), {frame});
  const QString csv =
      WritePath(Name("escapes.csv"), "2026-07-15 19:00:00|" + ax25.toHex().toUpper() + "\n");

  const ImportOutcome download = ImportFile(archive, csv, "");
  ASSERT_TRUE(download.ok) << download.error.toStdString();
  QSqlQuery bytes(archive.Database());
  ASSERT_TRUE(bytes.exec("SELECT bytes FROM frame") && bytes.next());
  EXPECT_EQ(bytes.value(0).toByteArray().toHex(' '), ax25.toHex(' '));
  EXPECT_FALSE(bytes.next());

  // The values the export command reads from the log, at the head of the archive's row.
  FrameTable table;
  ReadKissLog(log.toStdString(), table);
  ASSERT_EQ(table.frameCount, 1);
  std::string row;
  AppendCsvRow(row, 1, table.Record(1));
  row.resize(row.size() - 2);
  const std::string exported = Export(archive);
  const std::size_t firstRow = exported.find("\r\n") + 2;
  EXPECT_EQ(exported.substr(firstRow, row.size()), row);

  const ImportOutcome fromLog = ImportFile(archive, log, "XQ0GND");
  ASSERT_TRUE(fromLog.ok) << fromLog.error.toStdString();
  EXPECT_EQ(fromLog.newFrames, 0);
  EXPECT_EQ(fromLog.knownFrames, 1);
  EXPECT_EQ(Count(archive, "SELECT count(*) FROM frame"), 1);

  QStringList warnings;
  const auto source = OpenLogOrDownload(csv, warnings);
  FrameTable opened;
  ReadKissLog(*source, opened);
  ASSERT_EQ(opened.frameCount, 1);
  std::string openedRow;
  AppendCsvRow(openedRow, 1, opened.Record(1));
  EXPECT_EQ(openedRow.substr(0, row.size()), row);
}

// A frame's reception time is the earliest of its receptions, whichever source came first:
// frame 7 is heard late, then early; frame 8 early, then late. Both keep the early time, which
// is also their time on the axis (they have no clock of their own).
TEST_P(ArchiveSlips, EarliestReceptionStandsWhicheverSourceCameFirst) {
  const auto line = [](const char* time, int number) {
    return QByteArray(time) + "|" + Ax25Of(PlainFrame(number)).toHex().toUpper() + "\n";
  };
  const QString files[] = {
      WritePath(Name("late7.csv"), line("2026-07-15 19:00:10", 7)),
      WritePath(Name("early.csv"),
                line("2026-07-15 19:00:00", 7) + line("2026-07-15 19:00:00", 8)),
      WritePath(Name("late8.csv"), line("2026-07-15 19:00:10", 8)),
  };
  for (const QString& file : files) {
    const ImportOutcome added = ImportFile(archive, file, "");
    ASSERT_TRUE(added.ok) << added.error.toStdString();
  }
  const qint64 early =
      QDateTime(QDate(2026, 7, 15), QTime(19, 0), QTimeZone::utc()).toMSecsSinceEpoch();
  EXPECT_EQ(Column(archive, "SELECT received_ms FROM frame ORDER BY frame_number"),
            (QStringList{QString::number(early), QString::number(early)}));
  EXPECT_EQ(Column(archive, "SELECT time_ms FROM frame ORDER BY frame_number"),
            (QStringList{QString::number(early), QString::number(early)}));
}

// "Already archived" ends the transaction the file began: another connection writes at once
// (a held SQLite lock would make it wait two minutes, a held advisory lock for ever).
TEST_P(ArchiveSlips, FileAddedAgainLeavesTheArchiveUnlocked) {
  const QString first = WriteLog(Name("first.kss"), {ClockFrame(1, 10, 64), PlainFrame(2)});
  const QString second = WriteLog(Name("second.kss"), {ClockFrame(3, 30, 64), PlainFrame(4)});
  const QString third = WriteLog(Name("third.kss"), {ClockFrame(5, 50, 64)});
  ASSERT_TRUE(ImportFile(archive, first, "XQ0GND").ok);
  const ImportOutcome again = ImportFile(archive, first, "XQ0GND");
  ASSERT_TRUE(again.ok) << again.error.toStdString();
  EXPECT_TRUE(again.alreadyArchived);

  const ArchiveLocation where = location;
  auto other = std::async(std::launch::async, [where, second] {
    Archive own;
    if (!own.Open(where)) {
      ImportOutcome failed;
      failed.error = own.Error();
      return failed;
    }
    return ImportFile(own, second, "DL1ABC");
  });
  if (other.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
    ADD_FAILURE() << "another connection could not write within 20 s";
    archive.Close();  // lets it go on
  }
  const ImportOutcome outcome = other.get();
  EXPECT_TRUE(outcome.ok) << outcome.error.toStdString();
  EXPECT_EQ(outcome.newFrames, 2);
  if (archive.IsOpen()) {
    const ImportOutcome more = ImportFile(archive, third, "XQ0GND");
    EXPECT_TRUE(more.ok) << more.error.toStdString();
    EXPECT_EQ(more.newFrames, 1);
  }
}

// One hour, two files: one frame carries COM but no ADCS, the other ADCS but no COM. Merged,
// the hour keeps each value's extreme whichever side was NULL, in either order of adding.
TEST_P(ArchiveSlips, HourWidensPastANullSide) {
  constexpr int kComRow = 39, kAdcsRow = 67;  // each at frame byte 88 of its section
  Bytes com = ClockFrame(1, 10, 20);
  testing::Put(com, 88, {11});
  Bytes adcs = ClockFrame(2, 20, 64);
  testing::Put(adcs, 88, {22});
  const QString comLog = WriteLog(Name("com.kss"), {com});
  const QString adcsLog = WriteLog(Name("adcs.kss"), {adcs});
  const QString low = QString::fromStdString(ParameterColumn(kComRow));
  const QString high = QString::fromStdString(ParameterColumn(kAdcsRow));
  for (const bool comFirst : {true, false}) {
    SCOPED_TRACE(comFirst ? "COM first" : "ADCS first");
    Archive fresh;
    ASSERT_TRUE(fresh.Open(testing::FreshArchive(GetParam())));
    for (const QString& log :
         comFirst ? QStringList{comLog, adcsLog} : QStringList{adcsLog, comLog}) {
      const ImportOutcome outcome = ImportFile(fresh, log, "XQ0GND");
      ASSERT_TRUE(outcome.ok) << outcome.error.toStdString();
      ASSERT_EQ(outcome.newFrames, 1);
    }
    QSqlQuery hour(fresh.Database());
    ASSERT_TRUE(hour.exec(QStringLiteral("SELECT hour, %1_min, %1_max, %2_min, %2_max FROM "
                                         "trend_hour")
                              .arg(low, high)));
    ASSERT_TRUE(hour.next());
    EXPECT_EQ(hour.value(0).toString(), "2026-07-15T19");
    for (const auto& [column, value] :
         {std::pair{1, 11.0}, std::pair{2, 11.0}, std::pair{3, 22.0}, std::pair{4, 22.0}}) {
      EXPECT_FALSE(hour.value(column).isNull()) << "column " << column;
      EXPECT_EQ(hour.value(column).toDouble(), value) << "column " << column;
    }
    EXPECT_FALSE(hour.next());
    for (const auto& [row, value] : {std::pair{kComRow, 11.0}, std::pair{kAdcsRow, 22.0}}) {
      std::vector<TrendHour> hours;
      ASSERT_TRUE(ReadTrendHours(fresh, row, [&](const TrendHour& h) { hours.push_back(h); }));
      ASSERT_EQ(hours.size(), 1u) << "row " << row;
      EXPECT_EQ(hours.front().low, value);
      EXPECT_EQ(hours.front().high, value);
    }
  }
}

// The same station hears frames 3 and 4 in two files (and frame 100, which has no time, in
// two more): every list of stations names it once.
TEST_P(ArchiveSlips, StationHeardTwiceIsListedOnce) {
  std::vector<Bytes> pass;
  for (int n = 1; n <= 6; ++n) {
    pass.push_back(ClockFrame(n, n * 10, 64));
  }
  const struct {
    QString name;
    std::vector<Bytes> frames;
    QString station;
  } files[] = {
      {"early.kss", {pass[0], pass[1], pass[2], pass[3]}, "XQ0GND"},
      {"late.kss", {pass[2], pass[3], pass[4], pass[5]}, "XQ0GND"},
      {"other.kss", {pass[3], pass[4]}, "DL1ABC"},
      {"untimed.kss", {PlainFrame(100)}, "XQ0GND"},
      {"untimed-more.kss", {PlainFrame(100), PlainFrame(101)}, "XQ0GND"},
  };
  for (const auto& file : files) {
    const ImportOutcome outcome =
        ImportFile(archive, WriteLog(Name(file.name), file.frames), file.station);
    ASSERT_TRUE(outcome.ok) << file.name.toStdString() << ": " << outcome.error.toStdString();
  }
  const QStringList one{"XQ0GND"}, both{"DL1ABC", "XQ0GND"};
  const std::map<int, QStringList> expected{{1, one},  {2, one}, {3, one},   {4, both},
                                            {5, both}, {6, one}, {100, one}, {101, one}};
  EXPECT_EQ(StationsByFrame(archive), expected);
  const std::string exported = Export(archive);
  EXPECT_EQ(exported.find("XQ0GND; XQ0GND"), std::string::npos) << exported;

  EXPECT_EQ(Column(archive, "SELECT stations FROM pass"), QStringList{"DL1ABC, XQ0GND"});
  std::vector<ArchivedPass> passes;
  ASSERT_TRUE(ForEachPass(archive, [&](const ArchivedPass& p) { passes.push_back(p); }));
  ASSERT_EQ(passes.size(), 1u);
  EXPECT_EQ(passes.front().stations, both);
  EXPECT_EQ(Column(archive,
                   "SELECT stations FROM housekeeping WHERE frame_number IN (3, 100) "
                   "ORDER BY frame_number"),
            (QStringList{"XQ0GND", "XQ0GND"}));
  const qint64 key = Count(archive, "SELECT id FROM frame WHERE frame_number = 3");
  EXPECT_EQ(FrameStations(archive, key), std::optional(one));
}

// A read whose rows stop on an error of the database is a failed read, not a short pass:
// frame 15 onwards raise one (an integer overflow on SQLite, a division by zero on
// PostgreSQL), on SQLite once the frames before them have come.
TEST_P(ArchiveSlips, ReadEndedByADatabaseErrorFails) {
  std::vector<Bytes> frames;
  for (int n = 1; n <= 20; ++n) {
    frames.push_back(ClockFrame(n, n * 10, 64));
  }
  ASSERT_TRUE(ImportFile(archive, WriteLog(Name("twenty.kss"), frames), "XQ0GND").ok);
  std::vector<ArchivedPass> passes;
  ASSERT_TRUE(ForEachPass(archive, [&](const ArchivedPass& p) { passes.push_back(p); }));
  ASSERT_EQ(passes.size(), 1u);

  const QString failing = archive.IsPostgresql() ? "frame_number / (id - id)::integer"
                                                 : "abs(id - id - 9223372036854775807 - 1)";
  ASSERT_TRUE(archive.Execute("ALTER TABLE frame RENAME TO frame_stored"));
  ASSERT_TRUE(archive.Execute(
      "CREATE VIEW frame AS SELECT id, digest, bytes, time_utc, time_ms, time_kind, CASE WHEN "
      "frame_number < 15 THEN frame_number ELSE " +
      failing + " END AS frame_number FROM frame_stored"));
  if (!archive.IsPostgresql()) {
    // The premise: the read's own statement starts, gives rows, then stops on the error.
    // (Qt's PostgreSQL driver has the whole answer, error included, before the first row.)
    QSqlQuery probe(archive.Database());
    probe.setForwardOnly(true);
    probe.prepare(
        "SELECT f.id, f.bytes, f.time_utc, f.time_kind, f.time_ms, f.frame_number, f.digest,"
        " r.station FROM frame f LEFT JOIN reception r ON r.frame_id = f.id"
        " WHERE f.time_utc >= ? AND f.time_utc <= ?");
    probe.addBindValue(UtcText(passes.front().startTime));
    probe.addBindValue(UtcText(passes.front().endTime));
    ASSERT_TRUE(probe.exec()) << probe.lastError().text().toStdString();
    int rows = 0;
    while (probe.next()) {
      ++rows;
    }
    EXPECT_GT(rows, 0);
    EXPECT_LT(rows, 20);
    EXPECT_TRUE(probe.lastError().isValid());
  }
  int handed = 0;
  const bool read = ReadFramesBetween(archive, passes.front().startTime, passes.front().endTime,
                                      [&](const ArchivedFrameRead&) { return ++handed > 0; });
  EXPECT_FALSE(read) << handed << " frames handed over";
  EXPECT_FALSE(archive.Error().isEmpty());
  std::ostringstream out;
  EXPECT_FALSE(ExportArchive(archive, {}, ArchiveFormat::kCsv, out));
}

// A read of many passes goes by groups of passes, the next read while this one is handed on:
// ten passes of 5,000 frames (July 1 to 10, a frame a second) take two groups. Every frame comes
// once, in time order, each pass ended after its own frames, and the frames of the group read
// ahead keep their stations. A read stopped within the second group stops there, and the
// connection is free again afterwards.
TEST_P(ArchiveSlips, ReadOfManyPassesHandsEveryFrameOnceInOrder) {
  constexpr int kPasses = 10;
  constexpr int kPerPass = 5000;
  const auto frameOf = [](int pass, int i) {
    const auto number = static_cast<std::uint16_t>(pass * kPerPass + i);
    Bytes frame = testing::HousekeepingFrame(number, 23, 64);
    testing::Put(frame, 31,
                 {static_cast<std::uint8_t>(i % 60), static_cast<std::uint8_t>(i / 60 % 60),
                  static_cast<std::uint8_t>(i / 3600), 3, static_cast<std::uint8_t>(1 + pass), 7,
                  26});
    return frame;
  };
  std::vector<Bytes> all;
  std::vector<Bytes> last;
  for (int pass = 0; pass < kPasses; ++pass) {
    for (int i = 0; i < kPerPass; ++i) {
      all.push_back(frameOf(pass, i));
      if (pass == kPasses - 1) {
        last.push_back(all.back());
      }
    }
  }
  ASSERT_TRUE(ImportFile(archive, WriteLog(Name("many.kss"), all), "XQ0GND").ok);
  ASSERT_TRUE(ImportFile(archive, WriteLog(Name("last.kss"), last), "XQ0TWO").ok);
  const std::optional<std::vector<ArchivedPass>> passes = PassesBetween(archive, {}, {});
  ASSERT_TRUE(passes && passes->size() == kPasses) << archive.Error().toStdString();

  int handed = 0;
  int ended = 0;
  int previous = -1;
  int wrong = 0;  // frames out of order, of another pass, or with the wrong stations
  const auto each = [&](const ArchivedFrameRead& read) {
    FrameRecord record;
    FillFrameRecord(read.frame, record);
    const int pass = record.frameNumber / kPerPass;
    const QStringList stations = pass == kPasses - 1 ? QStringList{"XQ0GND", "XQ0TWO"}
                                                     : QStringList{"XQ0GND"};
    wrong += record.frameNumber <= previous || pass != ended || read.stations != stations;
    previous = record.frameNumber;
    return ++handed > 0;
  };
  ASSERT_TRUE(ReadFramesOfPasses(archive, *passes, {}, {}, each, [&] { return ++ended > 0; }))
      << archive.Error().toStdString();
  EXPECT_EQ(handed, kPasses * kPerPass);
  EXPECT_EQ(ended, kPasses);
  EXPECT_EQ(wrong, 0);

  handed = 0;
  const auto stopAtFrame40000 = [&](const ArchivedFrameRead&) { return ++handed < 40000; };
  ASSERT_TRUE(ReadFramesOfPasses(archive, *passes, {}, {}, stopAtFrame40000, {}));
  EXPECT_EQ(handed, 40000);
  EXPECT_EQ(Count(archive, "SELECT COUNT(*) FROM reception"), kPasses * kPerPass + kPerPass);
}

// Files of no known kind, and files from which no frame could be read, are refused each time
// they are added (never "already archived"), leave no source row, and once mended add their
// frames.
TEST_P(ArchiveSlips, FilesWithoutFramesAreNotRecordedAsAdded) {
  const QString unknownKind = "not a KISS log, SatNOGS CSV or SatNOGS JSON";
  const QString noFrame = "no frame could be read from it";
  const struct {
    QString name;
    QByteArray content;
    QString error;
  } cases[] = {
      {"notes.txt", "hello, world\nnothing to see\n", unknownKind},
      {"empty.kss", "", unknownKind},
      {"fends.kss", "\xC0\xC0\xC0\xC0", noFrame},
      {"empty.json", "[]", noFrame},
      {"paged.json", R"({"count": 0, "results": []})", noFrame},
      {"bad.json", R"([{"frame": "ZZ", "timestamp": "2026-07-15T19:00:00Z"}])", noFrame},
  };
  const Bytes mended = testing::KissLog({ClockFrame(1, 10, 64), PlainFrame(2)});
  for (const auto& each : cases) {
    SCOPED_TRACE(each.name.toStdString());
    const QString path = WritePath(Name(each.name), each.content);
    for (int attempt = 0; attempt < 2; ++attempt) {
      const ImportOutcome outcome = ImportFile(archive, path, "XQ0GND");
      EXPECT_FALSE(outcome.ok);
      EXPECT_FALSE(outcome.alreadyArchived);
      EXPECT_TRUE(outcome.error.contains(each.error)) << outcome.error.toStdString();
    }
    EXPECT_EQ(Count(archive, "SELECT count(*) FROM source"), 0);
    EXPECT_EQ(Count(archive, "SELECT count(*) FROM frame"), 0);

    QProcess command;
    command.start(QUILMAR_ARCHIVE_EXE, {"--archive", UrlOf(location), "add", path});
    ASSERT_TRUE(command.waitForFinished(60000));
    EXPECT_EQ(command.exitCode(), 1);
    const QString said = QString::fromUtf8(command.readAllStandardError());
    EXPECT_TRUE(said.contains(each.error) && said.contains("nothing of this file was added"))
        << said.toStdString();
    EXPECT_EQ(Count(archive, "SELECT count(*) FROM source"), 0);
  }
  // Mended, the file adds its frames.
  const QString path =
      WritePath(Name("notes.txt"), QByteArray(reinterpret_cast<const char*>(mended.data()),
                                              static_cast<qsizetype>(mended.size())));
  const ImportOutcome outcome = ImportFile(archive, path, "XQ0GND");
  ASSERT_TRUE(outcome.ok) << outcome.error.toStdString();
  EXPECT_EQ(outcome.newFrames, 2);
  EXPECT_EQ(Count(archive, "SELECT count(*) FROM source"), 1);
}

// A frame whose Quart Comp 0 is a NaN single reads back as NaN through the housekeeping view;
// a frame without the ADCS section reads NULL there. The same SQL tells them apart on both
// engines ('NaN' is a NaN double on PostgreSQL and the stored text on SQLite).
TEST_P(ArchiveSlips, NanReadingIsNotASectionNotCarried) {
  constexpr int kQuartComp0 = 85;  // ADCS IEEE single at frame byte 119
  Bytes nan = ClockFrame(1, 10, 64);
  testing::Put(nan, 119, {0x7F, 0xC0, 0x00, 0x00});
  Bytes two = ClockFrame(3, 30, 64);
  testing::Put(two, 119, {0x40, 0x00, 0x00, 0x00});
  ASSERT_TRUE(
      ImportFile(archive, WriteLog(Name("nan.kss"), {nan, PlainFrame(2), two}), "XQ0GND").ok);
  const QString column = QString::fromStdString(ParameterColumn(kQuartComp0));

  QSqlQuery query(archive.Database());
  ASSERT_TRUE(
      query.exec("SELECT frame_number, " + column + " FROM housekeeping ORDER BY frame_number"));
  ASSERT_TRUE(query.next());
  EXPECT_FALSE(query.value(1).isNull()) << "the NaN reading came back as not carried";
  EXPECT_TRUE(std::isnan(query.value(1).toDouble())) << query.value(1).toString().toStdString();
  ASSERT_TRUE(query.next());
  EXPECT_TRUE(query.value(1).isNull()) << query.value(1).toString().toStdString();
  ASSERT_TRUE(query.next());
  EXPECT_EQ(query.value(1).toDouble(), 2.0);

  EXPECT_EQ(Count(archive, "SELECT count(*) FROM housekeeping WHERE " + column + " = 'NaN'"), 1);
  EXPECT_EQ(Count(archive, "SELECT count(*) FROM housekeeping WHERE " + column + " IS NULL"), 1);
  std::vector<TrendHour> hours;
  ASSERT_TRUE(
      ReadTrendHours(archive, kQuartComp0, [&](const TrendHour& h) { hours.push_back(h); }));
  ASSERT_EQ(hours.size(), 1u);
  EXPECT_EQ(hours.front().low, 2.0);  // a NaN reading is no extreme
  EXPECT_EQ(hours.front().high, 2.0);
}

INSTANTIATE_TEST_SUITE_P(Engines, ArchiveSlips,
                         ::testing::Values(ArchiveEngine::kSqlite, ArchiveEngine::kPostgresql),
                         [](const auto& info) {
                           return info.param == ArchiveEngine::kSqlite ? "Sqlite" : "Postgresql";
                         });

}  // namespace
}  // namespace quilmar
