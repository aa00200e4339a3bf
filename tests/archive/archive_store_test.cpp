// The archive end to end, the same cases on SQLite and on PostgreSQL: overlapping station
// logs and a SatNOGS download of one pass, importing twice, two importers at once, an import
// killed halfway and redone, and an archive from a newer program.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <algorithm>
#include <map>
#include <sstream>
#include <thread>

#include "archive/archive.h"
#include "archive/archive_queries.h"
#include "archive/archive_schema.h"
#include "archive/archive_passes.h"
#include "archive/archive_time.h"
#include "archive/frame_identity.h"
#include "archive/frame_importer.h"
#include "archive/sha256.h"
#include "archive/source_import.h"
#include "core/csv_writer.h"
#include "core/kiss_reader.h"
#include "test_archives.h"
#include "tests/support/kiss_builder.h"

namespace quilmar {
namespace {

using testing::Bytes;

// Even frames carry CDHS and ADCS with the spacecraft clock, 15 July 2026 12:00:00 PDT plus
// ten seconds per frame number; odd frames carry EPS/TCS and COM, without a clock.
Bytes PassFrame(int number) {
  if (number % 2 == 1) {
    return testing::HousekeepingFrame(static_cast<std::uint16_t>(number), 41, 20);
  }
  Bytes frame = testing::HousekeepingFrame(static_cast<std::uint16_t>(number), 23, 64);
  const int seconds = number * 10;
  testing::Put(frame, 31,
               {static_cast<std::uint8_t>(seconds % 60), static_cast<std::uint8_t>(seconds / 60),
                12, 3, 15, 7, 26});
  testing::Put(frame, 17 + 100, {static_cast<std::uint8_t>(number)});  // a value of its own
  return frame;
}

QString ClockUtc(int number) {
  return QStringLiteral("2026-07-15T19:%1:%2Z")
      .arg(number * 10 / 60, 2, 10, QLatin1Char('0'))
      .arg(number * 10 % 60, 2, 10, QLatin1Char('0'));
}

QString WriteLog(const QString& name, int first, int last) {
  std::vector<Bytes> frames;
  for (int n = first; n <= last; ++n) {
    frames.push_back(PassFrame(n));
  }
  const QString path = testing::TestFolder() + "/" + name;
  testing::WriteFile(path.toStdString(), testing::KissLog(std::span<const Bytes>(frames)));
  return path;
}

// The hourly overview against a plain scan of the housekeeping frames: each hour's first and
// last time and every parameter's extremes, as text rows "hour first last min max ...".
void ExpectOverviewMatchesFrames(Archive& archive) {
  std::map<QString, QStringList> scanned;
  QSqlQuery frames(archive.Database());
  QString columns = "time_utc";
  for (int row = 0; row < kParameterCount; ++row) {
    columns += ", " + QString::fromStdString(ParameterColumn(row));
  }
  ASSERT_TRUE(
      frames.exec("SELECT " + columns + " FROM housekeeping WHERE time_utc IS NOT NULL"));
  const int firstValue = 1;
  while (frames.next()) {
    const QString time = StoredTimeText(frames.value(0));
    QStringList& hour = scanned[time.left(13)];
    if (hour.isEmpty()) {
      hour << time.left(13) << time << time;
      for (int row = 0; row < kParameterCount; ++row) {
        hour << QString() << QString();
      }
    }
    hour[1] = std::min(hour[1], time);
    hour[2] = std::max(hour[2], time);
    for (int row = 0; row < kParameterCount; ++row) {
      const QVariant value = frames.value(firstValue + row);
      if (value.isNull()) {
        continue;
      }
      QString& low = hour[3 + 2 * row];
      QString& high = hour[4 + 2 * row];
      const double number = value.toDouble();
      low = low.isEmpty() || number < low.toDouble() ? QString::number(number) : low;
      high = high.isEmpty() || number > high.toDouble() ? QString::number(number) : high;
    }
  }
  std::map<QString, QStringList> stored;
  QSqlQuery hours(archive.Database());
  ASSERT_TRUE(hours.exec("SELECT * FROM trend_hour"));
  while (hours.next()) {
    QStringList& hour = stored[hours.value(0).toString()];
    for (int column = 0; column < 3 + 2 * kParameterCount; ++column) {
      const QVariant value = hours.value(column);
      hour << (value.isNull() ? QString()
               : column < 3   ? value.toString()
                              : QString::number(value.toDouble()));
    }
  }
  EXPECT_FALSE(scanned.empty());
  EXPECT_EQ(stored, scanned);
}

class ArchiveStore : public ::testing::TestWithParam<ArchiveEngine> {
 protected:
  void SetUp() override {
    location = testing::FreshArchive(GetParam());
    ASSERT_FALSE(location.display.isEmpty());
    ASSERT_TRUE(archive.Open(location)) << archive.Error().toStdString();
  }

  std::string Export(Archive& from) {
    std::ostringstream out;
    EXPECT_TRUE(ExportArchive(from, {}, ArchiveFormat::kCsv, out)) << from.Error().toStdString();
    return out.str();
  }

  // Runs the statements (that bring back an older layout), then opens the archive again,
  // which upgrades it.
  void ReopenAfter(const QStringList& statements) {
    for (const QString& statement : statements) {
      ASSERT_TRUE(archive.Execute(statement)) << statement.toStdString();
    }
    const ArchiveLocation where = archive.Location();
    archive.Close();
    ASSERT_TRUE(archive.Open(where)) << archive.Error().toStdString();
  }

  ArchiveLocation location;
  Archive archive;
};

TEST_P(ArchiveStore, OverlappingStationsAndSatnogsKeepEachFrameOnce) {
  const QString a = WriteLog("a.kss", 1, 8), b = WriteLog("b.kss", 5, 12),
                c = WriteLog("c.kss", 3, 10);
  QString csv;
  for (int n = 1; n <= 12; ++n) {
    const Bytes frame = PassFrame(n);
    csv += ClockUtc(n).replace('T', ' ').chopped(1) + "|" +
           QByteArray(reinterpret_cast<const char*>(frame.data()) + 1,
                      static_cast<qsizetype>(frame.size()) - 1)
               .toHex() +
           "\n";
  }
  testing::FrameAddresses other;
  other.source = "XX1SAT";
  const Bytes foreign = testing::BuildFrame(testing::Information(99, 'S'), other);
  csv += "2026-07-15 19:05:00|" +
         QByteArray(reinterpret_cast<const char*>(foreign.data()) + 1,
                    static_cast<qsizetype>(foreign.size()) - 1)
             .toHex() +
         "\n";
  csv += "2026-07-15 19:05:00|ABC\n2026-07-15 19:05:00|ZZ\nC0FFEE\n2026-07-15 25:00:00|00\n";
  QFile satnogs(testing::TestFolder() + "/satnogs.csv");
  ASSERT_TRUE(satnogs.open(QIODevice::WriteOnly));
  satnogs.write(csv.toLatin1());
  satnogs.close();

  const struct {
    QString path;
    QString station;
    std::int64_t newFrames, knownFrames, rejected;
    QStringList warnings;
  } imports[] = {
      {a, "XQ0GND", 8, 0, 0, {}},
      {b, "DL1ABC", 4, 4, 0, {}},
      {c, "XQ0GND-2", 0, 8, 0, {}},
      {satnogs.fileName(),
       "",
       0,
       12,
       1,
       {"line 14: odd number of hex digits, skipped", "line 15: not hex, skipped",
        "line 16: no timestamp (expected \"YYYY-MM-DD HH:MM:SS|HEX\"), skipped",
        "line 17: no valid timestamp, skipped"}},
  };
  for (const auto& import : imports) {
    SCOPED_TRACE(import.path.toStdString());
    const ImportOutcome outcome = ImportFile(archive, import.path, import.station);
    ASSERT_TRUE(outcome.ok) << outcome.error.toStdString();
    EXPECT_EQ(outcome.newFrames, import.newFrames);
    EXPECT_EQ(outcome.knownFrames, import.knownFrames);
    EXPECT_EQ(outcome.rejected, import.rejected);
    EXPECT_EQ(outcome.warnings, import.warnings);
  }

  // The rows the export command writes for the pass, plus time, its kind and the stations.
  FrameTable table;
  ReadKissLog(WriteLog("pass.kss", 1, 12).toStdString(), table);
  ASSERT_EQ(table.frameCount, 12);
  std::string expected;
  AppendCsvHeader(expected);
  expected.resize(expected.size() - 2);
  expected += ",timeUtc,timeKind,stations\r\n";
  for (int n = 1; n <= 12; ++n) {
    std::string row;
    AppendCsvRow(row, n, table.Record(n));
    row.resize(row.size() - 2);
    // The download heard each frame at its clock's time: the clock frames are correlated with
    // an offset of nothing, the others take their reception.
    const int clockFrame = n;
    const char* kind = n % 2 == 0 ? "correlated" : "reception";
    std::string stations = n <= 8 ? "SatNOGS; XQ0GND" : "SatNOGS";
    stations = n >= 5 ? "DL1ABC; " + stations : stations;
    stations = n >= 3 && n <= 10 ? stations + "; XQ0GND-2" : stations;
    expected +=
        row + "," + ClockUtc(clockFrame).toStdString() + "," + kind + "," + stations + "\r\n";
  }
  EXPECT_EQ(Export(archive), expected);

  const ImportOutcome again = ImportFile(archive, b, "DL1ABC");
  EXPECT_TRUE(again.ok && again.alreadyArchived);
  EXPECT_EQ(Export(archive), expected);
  ExpectOverviewMatchesFrames(archive);
  std::ostringstream passes;
  ASSERT_TRUE(WritePasses(archive, passes));
  EXPECT_EQ(passes.str(),
            "2026-07-15T19:00:10Z to 2026-07-15T19:02:00Z  frames 12  missing 0  stations DL1ABC, "
            "SatNOGS, XQ0GND, XQ0GND-2\n1 pass\n");
}

TEST_P(ArchiveStore, TwoImportersAtOnceEqualOneAfterTheOther) {
  const QString logs[] = {WriteLog("x.kss", 1, 400), WriteLog("y.kss", 200, 600),
                          WriteLog("x.kss.copy", 1, 400)};
  for (const QString& log : logs) {
    ASSERT_TRUE(ImportFile(archive, log, "XQ0GND").ok);
  }
  const std::string sequential = Export(archive);

  const ArchiveLocation shared = testing::FreshArchive(GetParam());
  std::vector<std::thread> importers;
  std::atomic<int> failures{0};
  for (const QString& log : logs) {
    importers.emplace_back([&shared, &failures, log] {
      Archive own;
      const bool ok = own.Open(shared) && ImportFile(own, log, "XQ0GND").ok;
      failures += ok ? 0 : 1;
    });
  }
  for (std::thread& importer : importers) {
    importer.join();
  }
  EXPECT_EQ(failures, 0);
  Archive result;
  ASSERT_TRUE(result.Open(shared));
  EXPECT_EQ(Export(result), sequential);
  ExpectOverviewMatchesFrames(result);
}

// A download that hears a logged pass an hour after its spacecraft clock, with frames the log
// lacks: the whole pass moves to ground time, the overview's hours with it.
TEST_P(ArchiveStore, DownloadOfALoggedPassMovesItToGroundTime) {
  ASSERT_TRUE(ImportFile(archive, WriteLog("a.kss", 1, 8), "XQ0GND").ok);
  QString csv;
  for (int n = 1; n <= 12; ++n) {
    const Bytes frame = PassFrame(n);
    csv += ClockUtc(n).replace('T', ' ').replace(" 19:", " 20:").chopped(1) + "|" +
           QByteArray(reinterpret_cast<const char*>(frame.data()) + 1,
                      static_cast<qsizetype>(frame.size()) - 1)
               .toHex() +
           "\n";
  }
  QFile satnogs(testing::TestFolder() + "/later.csv");
  ASSERT_TRUE(satnogs.open(QIODevice::WriteOnly));
  satnogs.write(csv.toLatin1());
  satnogs.close();
  const ImportOutcome outcome = ImportFile(archive, satnogs.fileName(), "");
  ASSERT_TRUE(outcome.ok) << outcome.error.toStdString();
  EXPECT_EQ(outcome.newFrames, 4);
  ExpectOverviewMatchesFrames(archive);
  QSqlQuery hours(archive.Database());
  ASSERT_TRUE(hours.exec("SELECT hour FROM trend_hour"));
  QStringList stored;
  while (hours.next()) {
    stored << hours.value(0).toString();
  }
  EXPECT_EQ(stored, QStringList{"2026-07-15T20"});
  std::vector<ArchivedPass> passes;
  ASSERT_TRUE(ForEachPass(archive, [&](const ArchivedPass& pass) { passes.push_back(pass); }));
  ASSERT_EQ(passes.size(), 1u);
  EXPECT_EQ(passes.front().start, "2026-07-15T20:00:10Z");
  EXPECT_EQ(passes.front().clockOffsetSeconds, 3600.0);
}

// Cancelled while its frames are being written, a file leaves nothing behind, and adding it
// again later gives what one clean import gives.
TEST_P(ArchiveStore, CancelledImportLeavesNothingAndAddsLater) {
  const QString log = WriteLog("cancelled.kss", 1, 3000);
  int reports = 0;
  const ImportOutcome cancelled =
      ImportFile(archive, log, "XQ0GND", [&](std::int64_t, std::int64_t) { return ++reports < 1; });
  EXPECT_FALSE(cancelled.ok);
  EXPECT_TRUE(cancelled.cancelled);
  EXPECT_EQ(reports, 1);
  for (const char* table : {"source", "frame", "reception", "trend_hour"}) {
    QSqlQuery count(archive.Database());
    ASSERT_TRUE(count.exec(QStringLiteral("SELECT count(*) FROM %1").arg(table)) && count.next());
    EXPECT_EQ(count.value(0).toInt(), 0) << table;
  }
  const ImportOutcome again = ImportFile(archive, log, "XQ0GND");
  ASSERT_TRUE(again.ok) << again.error.toStdString();
  EXPECT_EQ(again.newFrames, 3000);
}

// The frame and reception tables as version 3 of the archive made them: a frame's bytes with
// its KISS command byte and closing FEND (and the FCS where the source kept one), receptions
// by digest, PostgreSQL's foreign keys (dropped by version 3 itself).
QStringList VersionThreeTables(bool postgresql) {
  const QString blob = postgresql ? "BYTEA" : "BLOB";
  QString values;
  QString view = "CREATE VIEW housekeeping AS SELECT time_utc, time_kind, frame_number";
  for (int row = 0; row < kParameterCount; ++row) {
    values += QStringLiteral(", %1 DOUBLE PRECISION").arg(ParameterColumn(row).c_str());
    view += QStringLiteral(", %1").arg(ParameterColumn(row).c_str());
  }
  return {"DROP VIEW housekeeping",
          "DROP TABLE frame",
          "DROP TABLE reception",
          "DROP TABLE pass",
          "CREATE TABLE frame (id " + QString(postgresql ? "BIGSERIAL" : "INTEGER") +
              " PRIMARY KEY, digest " + blob + " NOT NULL UNIQUE, bytes " + blob +
              " NOT NULL, time_utc TEXT, time_kind TEXT NOT NULL, source_order BIGINT NOT NULL,"
              " frame_number INTEGER NOT NULL, frame_type TEXT NOT NULL" +
              values + ")",
          "CREATE INDEX frame_time ON frame (time_utc)",
          "CREATE TABLE reception (source_id BIGINT NOT NULL, position BIGINT NOT NULL,"
          " frame_digest " +
              blob +
              " NOT NULL, station TEXT NOT NULL, received_at TEXT, PRIMARY KEY (source_id,"
              " position))",
          "CREATE INDEX reception_frame ON reception (frame_digest)",
          view + " FROM frame WHERE frame_type = 'S'",
          "DELETE FROM trend_hour",
          "UPDATE archive_meta SET value = '3' WHERE key = 'schema_version'"};
}

// An archive of version 3 that holds frame 2 twice (from a log, and with its FCS from a
// download an hour later) and frame 3 once: opened, it holds each frame once with all three
// receptions, timed as a new import of both sources would time them.
TEST_P(ArchiveStore, ArchiveOfVersionThreeIsRebuiltOnOpening) {
  for (const QString& statement : VersionThreeTables(archive.IsPostgresql())) {
    ASSERT_TRUE(archive.Execute(statement)) << statement.toStdString();
  }
  const auto oldBytes = [](int number, bool fcs) {
    const Bytes frame = PassFrame(number);
    QByteArray bytes(reinterpret_cast<const char*>(frame.data()),
                     static_cast<qsizetype>(frame.size()));
    if (fcs) {
      const std::uint16_t crc = Crc16X25(bytes.sliced(1));
      bytes += static_cast<char>(crc & 0xFF);
      bytes += static_cast<char>(crc >> 8);
    }
    return bytes + '\xC0';
  };
  const struct {
    QByteArray bytes;
    qint64 source, position;
    const char* station;
    QVariant receivedAt;
  } rows[] = {
      {oldBytes(2, false), 1, 10, "XQ0GND", QVariant()},
      {oldBytes(3, false), 1, 300, "XQ0GND", QVariant()},
      {oldBytes(2, true), 2, 1, "DL1ABC", "2026-07-15T20:00:21Z"},
  };
  QSqlQuery insert(archive.Database());
  // The sources' keys as the engine gives them: 1 and 2 in an empty archive.
  ASSERT_TRUE(archive.Execute(
      "INSERT INTO source (kind, name, digest, station, added_at) VALUES "
      "('kiss', 'a.kss', NULL, 'XQ0GND', '2026-07-16T00:00:00Z')"));
  ASSERT_TRUE(archive.Execute(
      "INSERT INTO source (kind, name, digest, station, added_at) VALUES "
      "('satnogs-csv', 'b.csv', NULL, 'SatNOGS', '2026-07-16T00:00:00Z')"));
  for (const auto& row : rows) {
    const QByteArray digest = Sha256(row.bytes);
    insert.prepare(
        "INSERT INTO frame (digest, bytes, time_utc, time_kind, source_order, frame_number, "
        "frame_type) VALUES (?, ?, '2026-07-15T19:00:20Z', 'spacecraft', 0, 2, 'S') "
        "ON CONFLICT (digest) DO NOTHING");
    insert.addBindValue(digest);
    insert.addBindValue(row.bytes);
    ASSERT_TRUE(insert.exec()) << insert.lastError().text().toStdString();
    insert.prepare(
        "INSERT INTO reception (source_id, position, frame_digest, station, received_at) "
        "VALUES (?, ?, ?, ?, ?)");
    insert.addBindValue(row.source);
    insert.addBindValue(row.position);
    insert.addBindValue(digest);
    insert.addBindValue(QString::fromLatin1(row.station));
    insert.addBindValue(row.receivedAt);
    ASSERT_TRUE(insert.exec()) << insert.lastError().text().toStdString();
  }
  archive.Close();

  Archive upgraded;
  ASSERT_TRUE(upgraded.Open(location)) << upgraded.Error().toStdString();
  QSqlQuery query(upgraded.Database());
  ASSERT_TRUE(query.exec("SELECT value FROM archive_meta WHERE key = 'schema_version'") &&
              query.next());
  EXPECT_EQ(query.value(0).toInt(), kSchemaVersion);
  ASSERT_TRUE(query.exec("SELECT f.frame_number, r.source_id, r.position, r.station, f.time_utc,"
                         " f.time_kind FROM reception r JOIN frame f ON f.id = r.frame_id"
                         " ORDER BY r.source_id, r.position"));
  QStringList receptions;
  while (query.next()) {
    receptions << QStringLiteral("%1 %2/%3 %4 %5 %6")
                      .arg(query.value(0).toInt())
                      .arg(query.value(1).toInt())
                      .arg(query.value(2).toInt())
                      .arg(query.value(3).toString(), StoredTimeText(query.value(4)),
                           query.value(5).toString());
  }
  // Frame 2's clock reads 19:00:20 and the download heard it at 20:00:21: the pass is carried
  // an hour and a second forward; frame 3, without a clock, takes frame 2's.
  EXPECT_EQ(receptions, (QStringList{"2 1/10 XQ0GND 2026-07-15T20:00:21Z correlated",
                                     "3 1/300 XQ0GND 2026-07-15T20:00:21Z estimated",
                                     "2 2/1 DL1ABC 2026-07-15T20:00:21Z correlated"}));
  ASSERT_TRUE(query.exec("SELECT count(*) FROM frame") && query.next());
  EXPECT_EQ(query.value(0).toInt(), 2);
  ExpectOverviewMatchesFrames(upgraded);
  const ImportOutcome more = ImportFile(upgraded, WriteLog("next.kss", 1, 8), "XQ0GND");
  ASSERT_TRUE(more.ok) << more.error.toStdString();
  EXPECT_EQ(more.newFrames, 6);
}

// Up to version 4 a SQLite frame table kept its key beside the rowid; opened now, its rows
// are keyed by the rowid, in key order, and nothing else changes.
TEST_P(ArchiveStore, SqliteFramesOfVersionFourAreKeyedByTheRowid) {
  if (archive.IsPostgresql()) {
    GTEST_SKIP() << "PostgreSQL tables have no rowid";
  }
  ASSERT_TRUE(ImportFile(archive, WriteLog("a.kss", 1, 8), "XQ0GND").ok);
  ASSERT_TRUE(ImportFile(archive, WriteLog("b.kss", 5, 12), "DL1ABC").ok);
  const std::string before = Export(archive);
  QSqlQuery query(archive.Database());
  ASSERT_TRUE(query.exec("SELECT sql FROM sqlite_master WHERE name = 'frame'") && query.next());
  QString oldTable = query.value(0).toString();
  query.finish();
  ASSERT_TRUE(oldTable.contains("id INTEGER PRIMARY KEY")) << oldTable.toStdString();
  oldTable.replace("CREATE TABLE frame (id INTEGER", "CREATE TABLE frame_v4 (id BIGINT");
  ReopenAfter({QStringLiteral("DROP VIEW housekeeping"), oldTable,
               // Inserted out of key order, as version 4 wrote a batch in digest order.
               QStringLiteral("INSERT INTO frame_v4 SELECT * FROM frame ORDER BY digest"),
               QStringLiteral("DROP TABLE frame"),
               QStringLiteral("ALTER TABLE frame_v4 RENAME TO frame"),
               QStringLiteral("CREATE INDEX frame_time ON frame (time_utc)"),
               QStringLiteral("CREATE INDEX frame_clock ON frame (clock_ms)"),
               HousekeepingViewStatement(false),
               QStringLiteral("UPDATE archive_meta SET value = '4' WHERE key = 'schema_version'")});
  ASSERT_FALSE(HasFatalFailure());
  EXPECT_EQ(Export(archive), before);
  QSqlQuery after(archive.Database());
  ASSERT_TRUE(after.exec("SELECT (SELECT sql FROM sqlite_master WHERE name = 'frame'),"
                         " (SELECT count(*) FROM frame WHERE rowid <> id),"
                         " (SELECT count(*) FROM housekeeping)") &&
              after.next());
  EXPECT_TRUE(after.value(0).toString().contains("id INTEGER PRIMARY KEY"))
      << after.value(0).toString().toStdString();
  EXPECT_EQ(after.value(1).toInt(), 0);
  EXPECT_EQ(after.value(2).toInt(), 12);
  const ImportOutcome more = ImportFile(archive, WriteLog("c.kss", 10, 14), "XQ0GND");
  ASSERT_TRUE(more.ok) << more.error.toStdString();
  EXPECT_EQ(more.newFrames, 2);
}

// Up to version 5 the digest alone was unique, in an index of random order; opened now, the
// frames are kept once by the identity index (own clock and digest) and nothing else changes.
TEST_P(ArchiveStore, FramesOfVersionFiveAreKeptOnceByTheirIdentity) {
  ASSERT_TRUE(ImportFile(archive, WriteLog("a.kss", 1, 8), "XQ0GND").ok);
  ASSERT_TRUE(ImportFile(archive, WriteLog("b.kss", 5, 12), "DL1ABC").ok);
  const std::string before = Export(archive);
  QStringList downgrade{"DROP INDEX frame_identity"};
  if (archive.IsPostgresql()) {
    downgrade << "ALTER TABLE frame ADD CONSTRAINT frame_digest_key UNIQUE (digest)";
  } else {
    QSqlQuery query(archive.Database());
    ASSERT_TRUE(query.exec("SELECT sql FROM sqlite_master WHERE name = 'frame'") && query.next());
    QString oldTable = query.value(0).toString();
    query.finish();
    oldTable.replace("CREATE TABLE frame (", "CREATE TABLE frame_v5 (")
        .replace("digest BLOB NOT NULL,", "digest BLOB NOT NULL UNIQUE,");
    downgrade << "DROP VIEW housekeeping" << oldTable << "INSERT INTO frame_v5 SELECT * FROM frame"
              << "DROP TABLE frame" << "ALTER TABLE frame_v5 RENAME TO frame"
              << "CREATE INDEX frame_time ON frame (time_utc)"
              << "CREATE INDEX frame_clock ON frame (clock_ms)" << HousekeepingViewStatement(false);
  }
  downgrade << "UPDATE archive_meta SET value = '5' WHERE key = 'schema_version'";
  ReopenAfter(downgrade);
  ASSERT_FALSE(HasFatalFailure());
  EXPECT_EQ(Export(archive), before);
  QSqlQuery after(archive.Database());
  const QString indexes = archive.IsPostgresql()
                              ? "SELECT indexname FROM pg_indexes WHERE tablename = 'frame'"
                              : "SELECT name FROM sqlite_master WHERE tbl_name = 'frame'"
                                " AND type = 'index'";
  ASSERT_TRUE(after.exec(indexes));
  QStringList names;
  while (after.next()) {
    names << after.value(0).toString();
  }
  names.sort();
  EXPECT_EQ(names.join(' ').toStdString(),
            archive.IsPostgresql() ? "frame_clock frame_identity frame_pkey frame_time"
                                   : "frame_clock frame_identity frame_time");
  if (!archive.IsPostgresql()) {
    // The old table is dropped after the upgrade, and at the next opening when that was cut off.
    const auto setAside = [&] {
      QSqlQuery query(archive.Database());
      return query.exec("SELECT count(*) FROM sqlite_master WHERE name = 'frame_v5'") &&
                     query.next()
                 ? query.value(0).toInt()
                 : -1;
    };
    EXPECT_EQ(setAside(), 0);
    ReopenAfter({"CREATE TABLE frame_v5 (id INTEGER PRIMARY KEY)"});
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(setAside(), 0);
  }
  const ImportOutcome again = ImportFile(archive, WriteLog("again.kss", 1, 12), "DK2XY");
  ASSERT_TRUE(again.ok) << again.error.toStdString();
  EXPECT_EQ(again.newFrames, 0);
  const ImportOutcome more = ImportFile(archive, WriteLog("c.kss", 10, 14), "XQ0GND");
  ASSERT_TRUE(more.ok) << more.error.toStdString();
  EXPECT_EQ(more.newFrames, 2);
}

// The identity index holds eight bytes of a digest. A frame that shares them and its clock
// with another archived frame is refused by the index without being that frame: the import
// stops and says so rather than keep receptions of a frame it did not store.
TEST_P(ArchiveStore, FrameSharingAnotherFramesIdentityStopsTheImport) {
  ASSERT_TRUE(ImportFile(archive, WriteLog("a.kss", 1, 8), "XQ0GND").ok);
  const std::string before = Export(archive);
  const auto setDigest = [&](const QString& where, const QByteArray& digest) {
    QSqlQuery update(archive.Database());
    update.prepare("UPDATE frame SET digest = ?" + where);
    update.addBindValue(digest);
    return update.exec();
  };
  for (const int number : {3, 4}) {  // without a clock of its own, and with one
    SCOPED_TRACE(number);
    // The archive made to hold, instead of this frame, another one of its identity.
    const QString where = QStringLiteral(" WHERE frame_number = %1").arg(number);
    QSqlQuery original(archive.Database());
    ASSERT_TRUE(original.exec("SELECT digest FROM frame" + where) && original.next());
    const QByteArray digest = original.value(0).toByteArray();
    original.finish();
    ASSERT_TRUE(setDigest(where, digest.left(8) + QByteArray(24, '\0')));
    const ImportOutcome outcome =
        ImportFile(archive, WriteLog(QStringLiteral("b%1.kss").arg(number), 2, 10), "DL1ABC");
    EXPECT_FALSE(outcome.ok);
    EXPECT_TRUE(outcome.error.contains("identity")) << outcome.error.toStdString();
    QSqlQuery count(archive.Database());
    ASSERT_TRUE(count.exec("SELECT (SELECT count(*) FROM frame), (SELECT count(*) FROM"
                           " reception), (SELECT count(*) FROM source)") &&
                count.next());
    EXPECT_EQ(count.value(0).toInt(), 8);
    EXPECT_EQ(count.value(1).toInt(), 8);
    EXPECT_EQ(count.value(2).toInt(), 1);
    count.finish();
    ASSERT_TRUE(setDigest(where, digest));
  }
  EXPECT_EQ(Export(archive), before);
}

// A web server LISTENs for added frames: an import that added some tells it as it commits; one
// that added none, or was rolled back, does not.
TEST_P(ArchiveStore, ImportsThatAddFramesNotifyListenersOnPostgresql) {
  if (!archive.IsPostgresql()) {
    GTEST_SKIP() << "SQLite has no notifications; readers look for new frames";
  }
  Archive listener;
  ASSERT_TRUE(listener.Open(location)) << listener.Error().toStdString();
  QSqlDriver* driver = listener.Database().driver();
  ASSERT_TRUE(driver->subscribeToNotification(QLatin1String(kFramesChannel)));
  int told = 0;
  QObject::connect(driver, &QSqlDriver::notification, [&] { ++told; });
  const auto toldWithin = [&](int ms) {
    QElapsedTimer waited;
    waited.start();
    while (told == 0 && waited.elapsed() < ms) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
      QThread::msleep(5);
    }
    const int seen = told;
    told = 0;
    return seen;
  };
  const QString log = WriteLog("a.kss", 1, 8);
  ASSERT_TRUE(ImportFile(archive, log, "XQ0GND").ok);
  EXPECT_EQ(toldWithin(5000), 1);
  ASSERT_TRUE(ImportFile(archive, WriteLog("again.kss", 1, 8), "DL1ABC").ok);  // known frames
  EXPECT_EQ(toldWithin(500), 0);
  const Bytes bytes = PassFrame(20);
  FrameBuffer frame{};
  std::copy_n(bytes.begin(), std::min(bytes.size(), frame.size()), frame.begin());
  ASSERT_TRUE(archive.BeginWrite());
  {
    FrameImporter importer(archive, 1);
    ASSERT_TRUE(importer.Add(frame, 0, "XQ0GND", std::nullopt) && importer.Finish())
        << archive.Error().toStdString();
    EXPECT_EQ(importer.NewFrames(), 1);
  }
  archive.Rollback();
  EXPECT_EQ(toldWithin(500), 0);
}

TEST_P(ArchiveStore, ImportKilledHalfwayAndRedoneEqualsOneCleanImport) {
  const QString log = WriteLog("big.kss", 0, 15000);
  const auto url = [](const ArchiveLocation& where) {
    return where.engine == ArchiveEngine::kSqlite
               ? where.path
               : "postgresql://postgres@/" + where.database + "?host=" + where.host;
  };
  // True when the import ran to its end; with killAfterMs, when it ended before the kill.
  const auto run = [&](const ArchiveLocation& where, int killAfterMs) {
    QProcess importer;
    importer.start(QUILMAR_ARCHIVE_EXE, {"--archive", url(where), "add", log});
    EXPECT_TRUE(importer.waitForStarted());
    if (killAfterMs > 0 && !importer.waitForFinished(killAfterMs)) {
      importer.kill();  // SIGKILL
    }
    importer.waitForFinished(120000);
    return importer.exitStatus() == QProcess::NormalExit && importer.exitCode() == 0;
  };
  QElapsedTimer clean;
  clean.start();
  ASSERT_TRUE(run(location, 0));
  const qint64 cleanMs = clean.elapsed();
  const std::string expected = Export(archive);

  // Halfway through the clean import's time, or sooner when a loaded machine made that one
  // slow and this one ends before it.
  ArchiveLocation killed;
  bool wasKilled = false;
  for (int killAfterMs = static_cast<int>(cleanMs / 2); !wasKilled && killAfterMs >= 20;
       killAfterMs /= 2) {
    killed = testing::FreshArchive(GetParam());
    wasKilled = !run(killed, killAfterMs);
  }
  ASSERT_TRUE(wasKilled) << "every import finished before its kill";
  ASSERT_TRUE(run(killed, 0));
  Archive redone;
  ASSERT_TRUE(redone.Open(killed));
  EXPECT_EQ(Export(redone), expected);
}

// Observers are received text: quotes, backslashes, braces and the word NULL must reach the
// archive as they are, on PostgreSQL inside the array literals a batch travels in.
TEST_P(ArchiveStore, ObserverNamesAreStoredAsReceived) {
  const QStringList observers{"DL1ABC-JO62",
                              "say \"hi\"",
                              "back\\slash",
                              "{a,b}",
                              "NULL",
                              "Ä ø ✓",
                              "'; DROP TABLE frame; --"};
  QJsonArray list;
  for (int n = 0; n < observers.size(); ++n) {
    const Bytes frame = PassFrame(n + 1);
    list.append(
        QJsonObject{{"frame", QString(QByteArray(reinterpret_cast<const char*>(frame.data()) + 1,
                                                 static_cast<qsizetype>(frame.size()) - 1)
                                          .toHex())},
                    {"timestamp", "2026-07-15T19:00:00Z"},
                    {"observer", observers[n]}});
  }
  QFile json(testing::TestFolder() + "/observers.json");
  ASSERT_TRUE(json.open(QIODevice::WriteOnly));
  json.write(QJsonDocument(list).toJson());
  json.close();
  const ImportOutcome outcome = ImportFile(archive, json.fileName(), "");
  ASSERT_TRUE(outcome.ok) << outcome.error.toStdString();
  EXPECT_EQ(outcome.newFrames, observers.size());
  QSqlQuery query(archive.Database());
  ASSERT_TRUE(query.exec("SELECT station FROM reception ORDER BY position"));
  QStringList stored;
  while (query.next()) {
    stored << query.value(0).toString();
  }
  EXPECT_EQ(stored, observers);
}

TEST_P(ArchiveStore, ArchiveOfANewerProgramIsRefusedAndLeftAlone) {
  ASSERT_TRUE(archive.Execute("UPDATE archive_meta SET value = '99' WHERE key = 'schema_version'"));
  archive.Close();
  for (int attempt = 0; attempt < 2; ++attempt) {
    Archive newer;
    EXPECT_FALSE(newer.Open(location));
    EXPECT_NE(newer.Error().indexOf("schema version 99"), -1) << newer.Error().toStdString();
  }
}

INSTANTIATE_TEST_SUITE_P(Engines, ArchiveStore,
                         ::testing::Values(ArchiveEngine::kSqlite, ArchiveEngine::kPostgresql),
                         [](const auto& info) {
                           return info.param == ArchiveEngine::kSqlite ? "Sqlite" : "Postgresql";
                         });

}  // namespace
}  // namespace quilmar
