// The recording: what a session that received nothing leaves behind, a second session on the
// same file, and a recording name that is a symlink.
#include "live/kiss_recording.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace quilmar {
namespace {

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

void WriteFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  ASSERT_EQ(file.write(bytes), bytes.size());
}

// Only a file the session created itself and never wrote to is removed at the end.
TEST(KissRecordingTest, SessionThatReceivedNothingLeavesOnlyWhatWasThere) {
  struct Case {
    const char* name;
    std::optional<QByteArray> before;  // the file's bytes before the session, if it existed
    QByteArray received;
    bool existsAfter;
    QByteArray after;
  };
  const QByteArray frame("\xC0\x10\x20\xC0", 4);
  const Case cases[] = {
      {"new, nothing received", std::nullopt, {}, false, {}},
      {"new, a frame received", std::nullopt, frame, true, frame},
      {"existing empty file", QByteArray(), {}, true, {}},
      {"existing log", frame, {}, true, frame},
  };
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const QString path = folder.filePath(QString::fromUtf8(c.name) + QStringLiteral(".kss"));
    if (c.before) {
      WriteFile(path, *c.before);
    }
    KissRecording recording;
    ASSERT_TRUE(recording.Open(path)) << recording.Error().toStdString();
    if (!c.received.isEmpty()) {
      ASSERT_TRUE(recording.Append(c.received));
    }
    ASSERT_TRUE(recording.Close()) << recording.Error().toStdString();
    ASSERT_EQ(QFileInfo::exists(path), c.existsAfter);
    if (c.existsAfter) {
      EXPECT_EQ(ReadAll(path), c.after);
    }
  }
}

// A log an earlier session left with bytes after its last FEND gets one FEND, so the next
// session's first bytes are not read as the rest of the cut frame; any other log is
// continued as it is.
TEST(KissRecordingTest, ContinuedLogLeftInsideAFrameGetsOneFend) {
  struct Case {
    const char* name;
    QByteArray before;
    bool fendAdded;
  };
  const Case cases[] = {
      {"closed frame", QByteArray("\xC0\x01\xC0", 3), false},
      {"shared FENDs, last one closed", QByteArray("\xC0\x01\xC0\x02\xC0", 5), false},
      {"shared FEND, cut frame", QByteArray("\xC0\x01\xC0\x02", 4), true},
      {"paired FENDs, cut frame", QByteArray("\xC0\x01\xC0\xC0\x02", 5), true},
      {"noise, no FEND at all", QByteArray("\x01\x02", 2), false},
      {"cut frame across the read chunk", QByteArray(1, '\xC0') + QByteArray(70000, 'x'), true},
  };
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const QString path = folder.filePath(QString::fromUtf8(c.name) + QStringLiteral(".kss"));
    WriteFile(path, c.before);
    KissRecording recording;
    ASSERT_TRUE(recording.Open(path)) << recording.Error().toStdString();
    ASSERT_TRUE(recording.Close()) << recording.Error().toStdString();
    EXPECT_EQ(ReadAll(path), c.fendAdded ? c.before + kKissFend : c.before);
  }
}

TEST(KissRecordingTest, SecondSessionOnOneFileIsRefusedUntilTheFirstEnds) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  const QString path = folder.filePath(QStringLiteral("pass.kss"));
  KissRecording first;
  ASSERT_TRUE(first.Open(path));
  ASSERT_TRUE(first.Append(QByteArray("\xC0\x01\xC0", 3)));
  KissRecording second;
  EXPECT_FALSE(second.Open(path));
  EXPECT_TRUE(second.LockedByAnother());
  EXPECT_TRUE(second.Error().contains(QStringLiteral("another session")))
      << second.Error().toStdString();
  ASSERT_TRUE(first.Close());
  EXPECT_TRUE(second.Open(path)) << second.Error().toStdString();
  EXPECT_FALSE(second.LockedByAnother());
  ASSERT_TRUE(second.Close());
  EXPECT_EQ(ReadAll(path), QByteArray("\xC0\x01\xC0", 3));
}

TEST(KissRecordingTest, SymlinkIsNeverFollowed) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  const QString target = folder.filePath(QStringLiteral("someone else's"));
  const QString link = folder.filePath(QStringLiteral("pass.kss"));
  WriteFile(target, "theirs");
  ASSERT_TRUE(QFile::link(target, link));
  KissRecording recording;
  EXPECT_FALSE(recording.Open(link));
  EXPECT_TRUE(recording.Error().contains(QStringLiteral("symbolic link")))
      << recording.Error().toStdString();
  EXPECT_EQ(ReadAll(target), QByteArray("theirs"));
}

TEST(KissRecordingTest, FreeNameIsTakenBesideATakenOne) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  const QString path = folder.filePath(QStringLiteral("QUILMAR-1 2026-12-07 214500Z.kss"));
  EXPECT_EQ(FreeRecordingPath(path), path);
  WriteFile(path, {});
  const QString second = folder.filePath(QStringLiteral("QUILMAR-1 2026-12-07 214500Z (2).kss"));
  EXPECT_EQ(FreeRecordingPath(path), second);
  WriteFile(second, {});
  EXPECT_EQ(FreeRecordingPath(path),
            folder.filePath(QStringLiteral("QUILMAR-1 2026-12-07 214500Z (3).kss")));
}

}  // namespace
}  // namespace quilmar
