// The settings file: reading lines as numbers, the written format and failures to write.
#include "ui/shell/settings_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QFile>
#include <QGuiApplication>
#include <QLocale>
#include <QScreen>
#include <QTemporaryDir>
#include <csignal>
#include <limits>
#include <optional>

namespace quilmar {
namespace {

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  ASSERT_EQ(file.write(bytes), bytes.size());
}

// Runs a check under another default locale and restores the previous one.
class LocaleScope {
 public:
  explicit LocaleScope(QLocale::Language language) { QLocale::setDefault(QLocale(language)); }
  ~LocaleScope() { QLocale::setDefault(previous); }

 private:
  QLocale previous;
};

TEST(SettingsNumberValue, ReadsTheLeadingDecimalNumber) {
  const struct {
    const char* line;
    double value;
  } cases[] = {
      {"", 0},         {" 600 ", 600}, {"-300", -300}, {"abc", 0},     {"1.5E3", 1500},
      {"1.5e3", 1500}, {"2E-2", 0.02}, {"\t12\n", 12}, {"1 2 3", 123}, {"12abc", 12},
      {".5", 0.5},     {"1.2.3", 1.2}, {"1E", 1},      {"1E+", 1},     {"+7", 7},
      {"- 4", -4},     {"E5", 0},      {"-", 0},       {"1e999", 0},   {"600,5", 600},
      {"--5", 0},      {"5.", 5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_DOUBLE_EQ(SettingsNumberValue(c.line), c.value);
  }
}

TEST(ReadSettingsFile, TakesTopThenLeftAndClampsNegatives) {
  const struct {
    const char* name;
    const char* bytes;  // nullptr: no file at all
    double top;
    double left;
  } cases[] = {
      {"missing file", nullptr, 0, 0},
      {"as written", " 600 \r\n 1200 \r\n", 600, 1200},
      {"negative top", "-300\r\n1200\r\n", 0, 1200},
      {"negative left", " 600 \r\n-15 \r\n", 600, 0},
      {"one line", "500\r\n", 500, 0},
      {"one line without end", "500", 500, 0},
      {"text line", "abc\r\n300\r\n", 0, 300},
      {"exponent, CR alone ends a line", "1.5E3\r1E2\r", 1500, 100},
      {"LF alone does not end a line", "100\n200\r\n7\r\n", 100200, 7},
      {"empty file", "", 0, 0},
      {"empty first line", "\r\n40\r\n", 0, 40},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    QTemporaryDir dir;
    const QString path = dir.filePath(QString::fromLatin1(kSettingsFileName));
    if (c.bytes != nullptr) {
      WriteAll(path, c.bytes);
    }
    const WindowPositionTwips position = ReadSettingsFile(path);
    EXPECT_DOUBLE_EQ(position.top, c.top);
    EXPECT_DOUBLE_EQ(position.left, c.left);
  }
}

TEST(FormatSettingsFile, WritesSignBlankNumberBlankPerLine) {
  const LocaleScope english(QLocale::English);
  const struct {
    WindowPositionTwips position;
    const char* bytes;
  } cases[] = {
      {{600, 1200}, " 600 \r\n 1200 \r\n"},
      {{0, 0}, " 0 \r\n 0 \r\n"},
      {{-15, 7}, "-15 \r\n 7 \r\n"},
      {{600.5, 1.0 / 3}, " 600.5 \r\n 0.3333333 \r\n"},
      {{123456789, -0.25}, " 123456789 \r\n-0.25 \r\n"},
      {{1234567.5, 0}, " 1234568 \r\n 0 \r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes);
    EXPECT_EQ(FormatSettingsFile(c.position), QByteArray(c.bytes));
  }
}

TEST(FormatSettingsFile, FractionsUseTheRegionalSeparator) {
  const LocaleScope german(QLocale::German);
  EXPECT_EQ(FormatSettingsFile({600.5, 12000}), QByteArray(" 600,5 \r\n 12000 \r\n"));
}

TEST(WriteSettingsFile, WritesTheBytesThatReadBack) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QString::fromLatin1(kSettingsFileName));
  WriteAll(path, "an older and much longer settings file\r\n\r\n\r\n");
  QString error;
  ASSERT_TRUE(WriteSettingsFile(path, {600, 1200}, &error)) << error.toStdString();
  EXPECT_EQ(ReadAll(path), QByteArray(" 600 \r\n 1200 \r\n"));
  const WindowPositionTwips position = ReadSettingsFile(path);
  EXPECT_EQ(position.top, 600);
  EXPECT_EQ(position.left, 1200);
}

TEST(WriteSettingsFile, ReportsAFolderThatCannotExist) {
  QTemporaryDir dir;
  // A regular file where the folder should be: no user, root included, can create below it.
  const QString plainFile = dir.filePath(QStringLiteral("not_a_folder"));
  WriteAll(plainFile, "x");
  QString error;
  EXPECT_FALSE(WriteSettingsFile(plainFile + QStringLiteral("/quilmar_hkc.ini"), {1, 2}, &error));
  EXPECT_FALSE(error.isEmpty());
  EXPECT_EQ(ReadAll(plainFile), QByteArray("x"));
}

TEST(WriteSettingsFile, KeepsTheOldFileWhenWritingFails) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QString::fromLatin1(kSettingsFileName));
  WriteAll(path, " 1 \r\n 2 \r\n");
  // A file size limit stops the write half-way, for root as well.
  rlimit previous{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previous), 0);
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit tight = previous;
  tight.rlim_cur = 4;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tight), 0);
  QString error;
  const bool written = WriteSettingsFile(path, {600, 1200}, &error);
  setrlimit(RLIMIT_FSIZE, &previous);
  std::signal(SIGXFSZ, previousHandler);
  EXPECT_FALSE(written);
  EXPECT_FALSE(error.isEmpty());
  EXPECT_EQ(ReadAll(path), QByteArray(" 1 \r\n 2 \r\n"));
}

TEST(WindowPixelsFromTwips, FifteenTwipsAPixelWithinWindowCoordinates) {
  const struct {
    double twips;
    std::optional<int> pixels;
  } cases[] = {
      {0, 0},
      {1200, 80},
      {7, 0},
      {8, 1},
      {22.5, 2},
      {37.5, 2},
      {1.5E3, 100},
      {-300, -20},
      {16777215.0 * 15, 16777215},
      {1E9, std::nullopt},
      {1E300, std::nullopt},
      {std::numeric_limits<double>::infinity(), std::nullopt},
      {std::numeric_limits<double>::quiet_NaN(), std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.twips);
    EXPECT_EQ(WindowPixelsFromTwips(c.twips), c.pixels);
  }
}

TEST(KeepOnScreen, MovesOnlyWindowsThatCannotBeReached) {
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  const QSize size(664, 480);
  const QPoint inside = area.topLeft() + QPoint(10, 20);
  EXPECT_EQ(KeepOnScreen(inside, size), inside);
  // Half the window hangs off the right edge: its title bar can still be grabbed.
  const QPoint hanging(area.right() - size.width() / 2, area.top() + 10);
  EXPECT_EQ(KeepOnScreen(hanging, size), hanging);

  const QPoint lost[] = {{area.right() + 5000, area.bottom() + 5000},
                         {area.left() - 5000, area.top() - 5000},
                         {area.left() + 10, area.bottom() + 10}};
  for (const QPoint& topLeft : lost) {
    SCOPED_TRACE(QStringLiteral("%1,%2").arg(topLeft.x()).arg(topLeft.y()).toStdString());
    const QPoint moved = KeepOnScreen(topLeft, size);
    EXPECT_TRUE(area.contains(QRect(moved, size)));
  }
}

}  // namespace
}  // namespace quilmar
