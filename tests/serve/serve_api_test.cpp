// Every endpoint of a real `serve` process against what the archive command reads from the
// same archive (the demo pass added to a fresh archive), on SQLite and PostgreSQL; bad
// parameters; and the WebSocket's message once another log is added.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonObject>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QSignalSpy>
#include <QThread>
#include <QWebSocket>
#include <algorithm>
#include <cmath>
#include <vector>

#include "../archive/test_archives.h"
#include "archive/archive_schema.h"
#include "core/parameter_catalogue.h"
#include "serve_harness.h"

namespace quilmar {
namespace {

using testing::Get;
using testing::HttpAnswer;

class ServeApi : public ::testing::TestWithParam<ArchiveEngine> {
 protected:
  void SetUp() override {
    const ArchiveLocation location = testing::FreshArchive(GetParam());
    ASSERT_FALSE(location.display.isEmpty());
    archive = testing::ArchiveArgument(location);
    const auto added = Archive({"add", QUILMAR_SAMPLES_DIR "/demo.kss"});
    ASSERT_EQ(added.exitCode, 0) << added.err.toStdString();
    ASSERT_TRUE(server.Start({"--archive", archive, "serve", "--listen", "127.0.0.1:0"}))
        << server.Output().toStdString();
    const auto exported = Archive({"export", "--format", "json"});
    ASSERT_EQ(exported.exitCode, 0);
    frames = QJsonDocument::fromJson(exported.out).object().value("frames").toArray();
    ASSERT_EQ(frames.size(), 242);
  }

  testing::CommandRun Archive(const QStringList& arguments) {
    return testing::RunArchiveCommand(QStringList{"--archive", archive} + arguments);
  }
  QJsonObject GetJson(const QByteArray& path) {
    const HttpAnswer answer = Get(server.Port(), path);
    EXPECT_EQ(answer.status, 200) << path.toStdString() << ": " << answer.body.toStdString();
    EXPECT_EQ(answer.Header("Content-Type"), "application/json");
    return answer.Json().object();
  }

  QString archive;
  testing::ServeProcess server;
  QJsonArray frames;  // the export's, in the archive's order
};

// A value of the API against the export's number (null for NaN).
void ExpectSameValue(const QJsonValue& api, double exported, const std::string& where) {
  if (std::isnan(exported)) {
    EXPECT_TRUE(api.toObject().value("value").isNull()) << where;
    EXPECT_EQ(api.toObject().value("text").toString(), "NaN") << where;
  } else {
    EXPECT_DOUBLE_EQ(api.toObject().value("value").toDouble(), exported) << where;
  }
}

double ExportedValue(const QJsonObject& frame, int row) {
  const QJsonValue value = frame.value("values").toArray().at(row);
  return value.isString() ? std::nan("") : value.toDouble();
}

TEST_P(ServeApi, LatestIsTheNewestFrameOfEachSection) {
  const QJsonObject latest = GetJson("/api/latest");
  EXPECT_EQ(latest.value("newest_frame").toInteger(), 242);
  EXPECT_TRUE(latest.value("now").toString().endsWith("Z"));
  const QJsonObject sections = latest.value("sections").toObject();
  for (const SectionInfo& info : kSections) {
    const QString name = QString::fromLatin1(info.name);
    SCOPED_TRACE(name.toStdString());
    // The export's last frame that carried the section (the export is in time order).
    QJsonObject expected;
    for (const QJsonValue& frame : frames) {
      if (ExportedValue(frame.toObject(), info.firstRow) == info.markerValue) {
        expected = frame.toObject();
      }
    }
    ASSERT_FALSE(expected.isEmpty());
    const QJsonObject section = sections.value(name).toObject();
    EXPECT_EQ(section.value("time").toString().left(19) + "Z",
              expected.value("timeUtc").toString());
    EXPECT_EQ(section.value("time_kind").toString(), expected.value("timeKind").toString());
    EXPECT_GT(section.value("age_s").toDouble(), 0);
    const QJsonObject values = section.value("values").toObject();
    EXPECT_EQ(values.size(), info.lastRow - info.firstRow + 1);
    for (int row = info.firstRow; row <= info.lastRow; ++row) {
      const std::string column = ParameterColumn(row);
      ExpectSameValue(values.value(QString::fromStdString(column)), ExportedValue(expected, row),
                      column);
    }
  }
}

TEST_P(ServeApi, LatestValuesAndStatesMatchTheExport) {
  const QJsonObject sections = GetJson("/api/latest").value("sections").toObject();
  const QJsonObject eps = sections.value("EPS/TCS").toObject();
  QJsonObject expected;
  for (const QJsonValue& frame : frames) {
    if (frame.toObject().value("timeUtc").toString() ==
            eps.value("time").toString().left(19) + "Z" &&
        ExportedValue(frame.toObject(), 0) != 0) {
      expected = frame.toObject();
    }
  }
  ASSERT_FALSE(expected.isEmpty());
  const QJsonObject values = eps.value("values").toObject();
  const QJsonObject volts = values.value("eps_tcs_battery_volts").toObject();
  ExpectSameValue(volts, ExportedValue(expected, 18), "battery volts");
  EXPECT_EQ(volts.value("unit").toString(), "V");
  EXPECT_EQ(volts.value("name").toString(), "Battery Volts");
  // The demo pass ends in EMERGENCY: red, a listed state, with the bound's text.
  const QJsonObject power = values.value("eps_tcs_power_level").toObject();
  EXPECT_EQ(power.value("text").toString(), "EMERGENCY");
  EXPECT_EQ(power.value("state").toString(), "red");
  EXPECT_EQ(power.value("direction").toString(), "state");
  EXPECT_TRUE(power.value("bound").toString().contains("EMERGENCY"));
  const QJsonObject reset = values.value("eps_tcs_reset_counter").toObject();
  EXPECT_EQ(reset.value("state").toString(), "normal");
  EXPECT_TRUE(reset.value("direction").isNull());
  EXPECT_TRUE(reset.value("bound").isNull());
}

TEST_P(ServeApi, EveryFrameByKeyMatchesTheExport) {
  QMap<QString, QJsonObject> byNumberAndTime;
  for (const QJsonValue& frame : frames) {
    const QJsonObject object = frame.toObject();
    byNumberAndTime.insert(QString::number(object.value("frameNumber").toInt()) + " " +
                               object.value("timeUtc").toString(),
                           object);
  }
  for (int key = 1; key <= 242; ++key) {
    SCOPED_TRACE(key);
    const QJsonObject frame = GetJson("/api/frame/" + QByteArray::number(key));
    EXPECT_EQ(frame.value("key").toInteger(), key);
    const QString id = QString::number(frame.value("frame_number").toInt()) + " " +
                       frame.value("time").toString().left(19) + "Z";
    ASSERT_TRUE(byNumberAndTime.contains(id)) << id.toStdString();
    const QJsonObject expected = byNumberAndTime.value(id);
    EXPECT_EQ(frame.value("frame_type").toString(), expected.value("frameTypeLetter").toString());
    EXPECT_EQ(frame.value("time_kind").toString(), expected.value("timeKind").toString());
    EXPECT_EQ(frame.value("stations").toArray(), expected.value("stations").toArray());
    // The hex is the AX.25 frame; the export's dump is its information field.
    const QByteArray dump = expected.value("hexDump").toString().remove(' ').toLatin1();
    EXPECT_TRUE(frame.value("hex").toString().toLatin1().contains(dump.left(200)));
    // The values of the sections the frame carried, and only those.
    const QJsonObject values = frame.value("values").toObject();
    for (int row = 0; row < kParameterCount; ++row) {
      const SectionInfo& info = SectionOfRow(row);
      const QString column = QString::fromStdString(ParameterColumn(row));
      const bool carried = ExportedValue(expected, info.firstRow) == info.markerValue;
      ASSERT_EQ(values.contains(column), carried) << column.toStdString();
      if (carried) {
        ExpectSameValue(values.value(column), ExportedValue(expected, row), column.toStdString());
      }
    }
  }
}

TEST_P(ServeApi, FrameNearATime) {
  const QJsonObject frame = GetJson("/api/frame?time=2026-06-12T16:41:20.400Z");
  EXPECT_EQ(frame.value("time").toString(), "2026-06-12T16:41:20.000Z");
  EXPECT_EQ(frame.value("frame_type").toString(), "S");
}

TEST_P(ServeApi, PassesAsThePassesCommandListsThem) {
  const auto listed = Archive({"passes"});
  ASSERT_EQ(listed.exitCode, 0);
  const QRegularExpression line(QStringLiteral(
      "^(\\S+) to (\\S+)\\s+frames (\\d+)\\s+missing (\\d+) \\(([^)]*)\\)\\s+stations (.*)$"));
  const auto match = line.match(QString::fromUtf8(listed.out).split(u'\n').front());
  ASSERT_TRUE(match.hasMatch()) << listed.out.toStdString();
  const QJsonArray passes = GetJson("/api/passes").value("passes").toArray();
  ASSERT_EQ(passes.size(), 1);
  const QJsonObject pass = passes[0].toObject();
  EXPECT_EQ(pass.value("start").toString().left(19) + "Z", match.captured(1));
  EXPECT_EQ(pass.value("end").toString().left(19) + "Z", match.captured(2));
  EXPECT_EQ(pass.value("frames").toInt(), match.captured(3).toInt());
  EXPECT_EQ(pass.value("missing").toInt(), match.captured(4).toInt());
  EXPECT_EQ(pass.value("missing_ranges").toString(), match.captured(5));
  EXPECT_EQ(pass.value("stations").toArray(), QJsonArray{match.captured(6)});
  EXPECT_TRUE(pass.value("clock_offset_s").isNull());
  EXPECT_GT(pass.value("id").toInteger(), 0);
  // A range that ends before the pass has none of it.
  EXPECT_TRUE(GetJson("/api/passes?from=2026-06-01&to=2026-06-12T16:41:06Z")
                  .value("passes")
                  .toArray()
                  .isEmpty());
  EXPECT_EQ(GetJson("/api/passes?from=2026-06-12T16:50:00Z").value("passes").toArray().size(), 1);
  EXPECT_TRUE(GetJson("/api/passes?from=2026-06-12T16:53:35Z").value("passes").toArray().isEmpty());
}

TEST_P(ServeApi, EventsAsTheEventsCommandListsThem) {
  struct Case {
    QByteArray query;
    QStringList range;
  };
  const Case cases[] = {
      {"", {}},
      {"?from=2026-06-12T16:50:00Z", {"--from", "2026-06-12T16:50:00Z"}},
      {"?from=2026-06-12T16:40:00Z&to=2026-06-12T16:49:00Z",
       {"--from", "2026-06-12T16:40:00Z", "--to", "2026-06-12T16:49:00Z"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.query.toStdString());
    const auto listed = Archive(QStringList{"events", "--format", "json"} + c.range);
    ASSERT_EQ(listed.exitCode, 0);
    const QJsonArray expected =
        QJsonDocument::fromJson(listed.out).object().value("episodes").toArray();
    EXPECT_FALSE(expected.isEmpty());
    EXPECT_EQ(GetJson("/api/events" + c.query).value("events").toArray(), expected);
  }
}

TEST_P(ServeApi, SeriesHoldTheExtremesOfTheFrames) {
  std::vector<double> volts;
  QSet<QString> seconds;  // frames of one second share a point
  for (const QJsonValue& frame : frames) {
    if (ExportedValue(frame.toObject(), 0) != 0) {
      volts.push_back(ExportedValue(frame.toObject(), 18));
      seconds.insert(frame.toObject().value("timeUtc").toString());
    }
  }
  const auto [lowest, highest] = std::minmax_element(volts.begin(), volts.end());
  struct Case {
    QByteArray query;
    const char* level;  // nullptr: any
    int mostPoints;
  };
  const Case cases[] = {
      {"&points=1", nullptr, 1},
      {"", nullptr, 1000},
      {"&points=4000", "frame", 4000},
      {"&points=999999", "frame", 4000},  // taken as the most
      {"&from=2026-06-12T16:00:00Z&to=2026-06-12T17:00:00Z&points=2", nullptr, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.query.toStdString());
    const QJsonObject series = GetJson("/api/series?parameter=eps_tcs_battery_volts" + c.query);
    EXPECT_EQ(series.value("parameter").toString(), "eps_tcs_battery_volts");
    EXPECT_EQ(series.value("unit").toString(), "V");
    if (c.level) {
      EXPECT_EQ(series.value("level").toString(), c.level);
    }
    const QJsonArray points = series.value("points").toArray();
    ASSERT_FALSE(points.isEmpty());
    EXPECT_LE(points.size(), c.mostPoints);
    double low = *highest;
    double high = *lowest;
    for (const QJsonValue& point : points) {
      const QJsonArray triple = point.toArray();
      ASSERT_EQ(triple.size(), 3);
      EXPECT_TRUE(triple[0].toString().endsWith("Z"));
      if (!triple[1].isNull()) {
        low = std::min(low, triple[1].toDouble());
        high = std::max(high, triple[2].toDouble());
      }
    }
    // Every frame's value lies in some point: the extremes are the frames' own.
    EXPECT_DOUBLE_EQ(low, *lowest);
    EXPECT_DOUBLE_EQ(high, *highest);
  }
  // At the frames' level, one point per time: as many points as times of frames carrying it.
  EXPECT_EQ(GetJson("/api/series?parameter=eps_tcs_battery_volts&points=4000")
                .value("points")
                .toArray()
                .size(),
            seconds.size());
  // A range before any frame has no points.
  EXPECT_TRUE(GetJson("/api/series?parameter=eps_tcs_battery_volts&from=2026-01-01&to=2026-01-02")
                  .value("points")
                  .toArray()
                  .isEmpty());
}

TEST_P(ServeApi, ParametersInCatalogueOrder) {
  const QJsonArray parameters = GetJson("/api/parameters").value("parameters").toArray();
  ASSERT_EQ(parameters.size(), kParameterCount);
  const QJsonObject volts = parameters[18].toObject();
  EXPECT_EQ(volts.value("column").toString(), "eps_tcs_battery_volts");
  EXPECT_EQ(volts.value("name").toString(), "Battery Volts");
  EXPECT_EQ(volts.value("unit").toString(), "V");
  EXPECT_EQ(volts.value("section").toString(), "EPS/TCS");
  EXPECT_EQ(parameters[75].toObject().value("column").toString(), "adcs_plus_x_panel_temp");
}

TEST_P(ServeApi, BadParametersAreRefused) {
  struct Case {
    QByteArray path;
    int status;
  };
  const Case cases[] = {
      {"/api/passes?from=yesterday", 400},
      {"/api/passes?from=2026-06-13&to=2026-06-12", 400},
      {"/api/events?to=12:00", 400},
      {"/api/frame/abc", 400},
      {"/api/frame/-3", 400},
      {"/api/frame/999999", 404},
      {"/api/frame?time=soon", 400},
      {"/api/nothing", 404},
      {"/api", 404},
      {"/api/series?parameter=eps_tcs_batery_volts", 400},
      {"/api/series", 400},
      {"/api/series?parameter=eps_tcs_battery_volts&points=0", 400},
      {"/api/series?parameter=eps_tcs_battery_volts&points=many", 400},
      {"/api/series?parameter=eps_tcs_battery_volts&from=2026-06-13&to=2026-06-12", 400},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path.toStdString());
    const HttpAnswer answer = Get(server.Port(), c.path);
    EXPECT_EQ(answer.status, c.status);
    EXPECT_FALSE(answer.Json().object().value("error").toString().isEmpty());
  }
}

TEST_P(ServeApi, NewFramesArePushedWithinTwoSeconds) {
  QWebSocket socket;
  QSignalSpy opened(&socket, &QWebSocket::connected);
  QSignalSpy messages(&socket, &QWebSocket::textMessageReceived);
  socket.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/api/live").arg(server.Port())));
  ASSERT_TRUE(opened.wait(10000));
  // Nothing was archived since: no message.
  EXPECT_FALSE(messages.wait(1500));
  const QString log = testing::TestFolder() + QStringLiteral("/day-%1.kss").arg(int(GetParam()));
  ASSERT_EQ(QProcess::execute(QUILMAR_MAKE_TREND_LOG, {log, "1"}), 0);
  const auto added = Archive({"add", log});
  ASSERT_EQ(added.exitCode, 0) << added.err.toStdString();
  const auto newest = GetJson("/api/latest").value("newest_frame").toInteger();
  ASSERT_GT(newest, 242);
  ASSERT_TRUE(messages.count() > 0 || messages.wait(2500));
  const QJsonObject message =
      QJsonDocument::fromJson(messages.last().at(0).toString().toUtf8()).object();
  EXPECT_EQ(message.value("type").toString(), "frame");
  EXPECT_EQ(message.value("key").toInteger(), newest);
  EXPECT_TRUE(message.value("time").toString().endsWith("Z"));
  // One import, one message (not one per frame).
  EXPECT_LE(messages.count(), 2);
}

// The latest values follow a newer pass added while the server runs (what it read before is not
// served again).
TEST(ServeLatest, FollowsANewerPassAdded) {
  for (const ArchiveEngine engine : {ArchiveEngine::kSqlite, ArchiveEngine::kPostgresql}) {
    SCOPED_TRACE(static_cast<int>(engine));
    const QString archive = testing::ArchiveArgument(testing::FreshArchive(engine));
    const QString log = testing::TestFolder() + QStringLiteral("/older-%1.kss").arg(int(engine));
    ASSERT_EQ(QProcess::execute(QUILMAR_MAKE_TREND_LOG, {log, "1"}), 0);
    ASSERT_EQ(testing::RunArchiveCommand({"--archive", archive, "add", log}).exitCode, 0);
    testing::ServeProcess server;
    ASSERT_TRUE(server.Start({"--archive", archive, "serve", "--listen", "127.0.0.1:0"}));
    const QJsonObject before = Get(server.Port(), "/api/latest").Json().object();
    EXPECT_EQ(before.value("sections")["EPS/TCS"]["time"].toString(), "2026-01-02T06:03:08.000Z");
    ASSERT_EQ(
        testing::RunArchiveCommand({"--archive", archive, "add", QUILMAR_SAMPLES_DIR "/demo.kss"})
            .exitCode,
        0);
    // What was read is used for a quarter of a second at most.
    QThread::msleep(300);
    const QJsonObject after = Get(server.Port(), "/api/latest").Json().object();
    EXPECT_EQ(after.value("sections")["EPS/TCS"]["time"].toString(), "2026-06-12T16:53:29.000Z");
    EXPECT_EQ(after.value("sections")["ADCS"]["time"].toString(), "2026-06-12T16:53:34.000Z");
    EXPECT_GT(after.value("newest_frame").toInteger(), before.value("newest_frame").toInteger());
  }
}

// A PostgreSQL server that restarts: the requests meanwhile are answered 503 with the reason,
// and once it is back the server reads again, by itself.
TEST(ServePostgresql, AnswersAgainOnceTheDatabaseIsBack) {
  const ArchiveLocation location = testing::FreshArchive(ArchiveEngine::kPostgresql);
  ASSERT_FALSE(location.display.isEmpty());
  const QString archive = testing::ArchiveArgument(location);
  ASSERT_EQ(
      testing::RunArchiveCommand({"--archive", archive, "add", QUILMAR_SAMPLES_DIR "/demo.kss"})
          .exitCode,
      0);
  testing::ServeProcess server;
  ASSERT_TRUE(server.Start({"--archive", archive, "serve", "--listen", "127.0.0.1:0"}));
  ASSERT_EQ(Get(server.Port(), "/api/latest").status, 200);
  ASSERT_TRUE(testing::StopPostgres());
  // (The latest values may come from what was read a moment before.)
  const HttpAnswer down = Get(server.Port(), "/api/passes");
  EXPECT_EQ(down.status, 503);
  EXPECT_FALSE(down.Json().object().value("error").toString().isEmpty());
  ASSERT_TRUE(testing::RestartPostgres());
  int status = 0;
  for (int attempt = 0; attempt < 20 && status != 200; ++attempt) {
    QThread::msleep(250);
    status = Get(server.Port(), "/api/passes").status;
  }
  EXPECT_EQ(status, 200);
  EXPECT_EQ(Get(server.Port(), "/api/events").status, 200);
}

INSTANTIATE_TEST_SUITE_P(Engines, ServeApi,
                         ::testing::Values(ArchiveEngine::kSqlite, ArchiveEngine::kPostgresql),
                         [](const auto& info) {
                           return info.param == ArchiveEngine::kSqlite ? "Sqlite" : "Postgresql";
                         });

}  // namespace
}  // namespace quilmar
