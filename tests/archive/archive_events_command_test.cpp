// quilmar-hk-archive events end to end on the demo pass: the default limits, the user's file
// replacing them and --limits replacing that, a bad file refused with status 2 and its
// place, and --from/--to read as UTC (or the offset given) in any local time zone.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>

#include "test_archives.h"

namespace quilmar {
namespace {

using ::testing::HasSubstr;

struct EventsRun {
  int exitCode = -1;
  std::string out;
  std::string err;
};

class EventsCommand : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder = new QString(testing::TestFolder() + "/events-command");
    QDir().mkpath(*folder + "/config/quilmar-hk");
    const EventsRun added = Run({"add", QUILMAR_SAMPLES_DIR "/demo.kss"});
    ASSERT_EQ(added.exitCode, 0) << added.err;
  }
  static void TearDownTestSuite() {
    delete folder;
    folder = nullptr;
  }
  void TearDown() override { QFile::remove(UserFile()); }

  static QString UserFile() { return *folder + "/config/quilmar-hk/limits.toml"; }
  static void Write(const QString& path, const QByteArray& text) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
  }

  // The command on the test's archive, with the user's configuration in the test's folder.
  static EventsRun Run(const QStringList& arguments, const QString& timeZone = {}) {
    QProcess command;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", *folder + "/config");
    if (!timeZone.isEmpty()) {
      environment.insert("TZ", timeZone);
    }
    command.setProcessEnvironment(environment);
    command.start(QUILMAR_ARCHIVE_EXE,
                  QStringList{"--archive", *folder + "/archive.sqlite"} + arguments);
    EventsRun run;
    if (!command.waitForFinished(60000)) {
      command.kill();
      command.waitForFinished();
      return run;
    }
    run.exitCode = command.exitStatus() == QProcess::NormalExit ? command.exitCode() : -1;
    run.out = command.readAllStandardOutput().toStdString();
    run.err = command.readAllStandardError().toStdString();
    return run;
  }

  static QString* folder;
};

QString* EventsCommand::folder = nullptr;

constexpr char kHeader[] =
    "parameter,direction,worst,first_utc,last_utc,frames,worst_value,stations\r\n";
// The demo pass: both power levels read EMERGENCY in every frame that carries them.
constexpr char kEpsEmergency[] =
    "eps_tcs_power_level,state,red,2026-06-12T16:48:32Z,2026-06-12T16:53:29Z,43,EMERGENCY,"
    "unknown\r\n";
constexpr char kCdhsEmergency[] =
    "cdhs_powerlevel,state,red,2026-06-12T16:48:37Z,2026-06-12T16:53:34Z,43,EMERGENCY,"
    "unknown\r\n";

TEST_F(EventsCommand, DefaultLimitsThenTheUsersFileThenTheGivenOne) {
  const EventsRun byDefault = Run({"events"});
  ASSERT_EQ(byDefault.exitCode, 0) << byDefault.err;
  EXPECT_EQ(byDefault.out, std::string(kHeader) + kEpsEmergency + kCdhsEmergency);

  Write(UserFile(), "[cdhs_powerlevel]\nred = [\"EMERGENCY\"]\n");
  const EventsRun byUser = Run({"events"});
  ASSERT_EQ(byUser.exitCode, 0) << byUser.err;
  EXPECT_EQ(byUser.out, std::string(kHeader) + kCdhsEmergency);

  const QString given = *folder + "/given.toml";
  Write(given, "[eps_tcs_power_level]\nyellow = [\"EMERGENCY\"]\n");
  const EventsRun byGiven = Run({"events", "--limits", given});
  ASSERT_EQ(byGiven.exitCode, 0) << byGiven.err;
  EXPECT_EQ(byGiven.out, std::string(kHeader) +
                             "eps_tcs_power_level,state,yellow,2026-06-12T16:48:32Z,"
                             "2026-06-12T16:53:29Z,43,EMERGENCY,unknown\r\n");

  const EventsRun json = Run({"events", "--format", "json", "--limits", given});
  ASSERT_EQ(json.exitCode, 0) << json.err;
  EXPECT_THAT(json.out, HasSubstr("\"limits\": \"" + given.toStdString() + "\""));
  EXPECT_THAT(json.out,
              HasSubstr("{\"parameter\": \"eps_tcs_power_level\", \"direction\": \"state\", "
                        "\"worst\": \"yellow\", \"firstUtc\": \"2026-06-12T16:48:32Z\", "
                        "\"lastUtc\": \"2026-06-12T16:53:29Z\", \"frames\": 43, "
                        "\"worstValue\": \"EMERGENCY\", \"stations\": [\"unknown\"]}"));
  EXPECT_THAT(json.out, HasSubstr("\"episodeCount\": 1\n}\n"));
}

TEST_F(EventsCommand, ABadLimitsFileIsRefusedWithStatus2AndItsPlace) {
  const QString given = *folder + "/bad.toml";
  Write(given, "[eps_tcs_battery_volts]\nyellow_low = 3.5\nred_low = 3.6\n");
  const EventsRun refused = Run({"events", "--limits", given});
  EXPECT_EQ(refused.exitCode, 2);
  EXPECT_THAT(refused.err, HasSubstr(given.toStdString() + ":3:11: red inside yellow"));
  EXPECT_EQ(refused.out, "");

  Write(UserFile(), "[eps_tcs_power_level]\nred = [\"EMERGENCY\"\n");
  const EventsRun userRefused = Run({"events"});
  EXPECT_EQ(userRefused.exitCode, 2);
  EXPECT_THAT(userRefused.err, HasSubstr(UserFile().toStdString() + ":2:"));

  QFile::remove(UserFile());
  ASSERT_TRUE(QDir().mkdir(UserFile()));  // there, but no file to read
  const EventsRun unreadable = Run({"events"});
  QDir().rmdir(UserFile());
  EXPECT_EQ(unreadable.exitCode, 2);
  EXPECT_THAT(unreadable.err, HasSubstr(UserFile().toStdString() + ": cannot be read"));

  const EventsRun elsewhere = Run({"export", "--limits", given});
  EXPECT_EQ(elsewhere.exitCode, 2);
  EXPECT_THAT(elsewhere.err, HasSubstr("--limits belongs to events"));
}

// The range cuts the pass: the episodes begin and end inside it, the same in every zone
// (the export of the range has 18 EPS/TCS and 17 CDHS frames, the first a CDHS frame); both
// ends are included, to the second.
TEST_F(EventsCommand, RangeIsUtcUnlessAnOffsetIsGivenInEveryZone) {
  const std::string expected =
      std::string(kHeader) +
      "cdhs_powerlevel,state,red,2026-06-12T16:50:01Z,2026-06-12T16:51:56Z,17,EMERGENCY,"
      "unknown\r\n"
      "eps_tcs_power_level,state,red,2026-06-12T16:50:01Z,2026-06-12T16:51:56Z,18,EMERGENCY,"
      "unknown\r\n";
  for (const char* zone : {"UTC", "Europe/Berlin", "America/Los_Angeles"}) {
    SCOPED_TRACE(zone);
    const EventsRun utc = Run({"events", "--from", "2026-06-12T16:50", "--to", "2026-06-12T16:51"},
                              QString::fromLatin1(zone));
    ASSERT_EQ(utc.exitCode, 0) << utc.err;
    EXPECT_EQ(utc.out, expected);
    const EventsRun offset =
        Run({"events", "--from", "2026-06-12T18:50:01+02:00", "--to", "2026-06-12T09:51:56-07:00"},
            QString::fromLatin1(zone));
    EXPECT_EQ(offset.out, expected);
  }
}

}  // namespace
}  // namespace quilmar
