// Every endpoint of a real `serve` process against what the archive command reads from the
// same archive (the demo pass added to a fresh archive), on SQLite and PostgreSQL; bad
// parameters; and the WebSocket's message once another log is added.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonObject>
#include <QMap>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QWebSocket>
#include <cmath>

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

INSTANTIATE_TEST_SUITE_P(Engines, ServeApi,
                         ::testing::Values(ArchiveEngine::kSqlite, ArchiveEngine::kPostgresql),
                         [](const auto& info) {
                           return info.param == ArchiveEngine::kSqlite ? "Sqlite" : "Postgresql";
                         });

}  // namespace
}  // namespace quilmar
