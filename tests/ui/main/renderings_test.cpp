// Renderings of telemetry values: rounding rules, ranges, separators, status words.
#include "ui/frame/renderings.h"

#include <gtest/gtest.h>

#include <QDate>
#include <QLocale>
#include <cmath>
#include <limits>

namespace quilmar {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Runs a test in a locale and puts the previous default back afterwards.
class LocaleScope {
 public:
  explicit LocaleScope(const QLocale& locale) { QLocale::setDefault(locale); }
  ~LocaleScope() { QLocale::setDefault(previous); }

 private:
  QLocale previous;
};

const QLocale kEnglish(QLocale::English, QLocale::UnitedStates);
const QLocale kGerman(QLocale::German, QLocale::Germany);

struct OptionalCase {
  double value;
  std::optional<QString> text;
};

void ExpectTexts(std::optional<QString> (*render)(double),
                 std::initializer_list<OptionalCase> cases) {
  for (const OptionalCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "value " << QString::number(c.value, 'g', 17).toStdString());
    const std::optional<QString> text = render(c.value);
    ASSERT_EQ(text.has_value(), c.text.has_value());
    if (text) {
      EXPECT_EQ(text->toStdString(), c.text->toStdString());
    }
  }
}

TEST(Renderings, IntegerTextRoundsHalvesToEvenWithinInt32) {
  ExpectTexts(IntegerText, {{2.5, "2"},
                            {3.5, "4"},
                            {-2.5, "-2"},
                            {-0.5, "0"},
                            {41, "41"},
                            {1234567, "1234567"},
                            {2147483647, "2147483647"},
                            {2147483647.5, std::nullopt},
                            {-2147483648.0, "-2147483648"},
                            {-2147483648.5, "-2147483648"},
                            {-2147483649.0, std::nullopt},
                            {kNaN, std::nullopt},
                            {kInf, std::nullopt}});
}

TEST(Renderings, BitTextCoversOneByte) {
  ExpectTexts(BitText, {{5, "00000101"},
                        {190, "10111110"},
                        {191, "10111111"},
                        {255, "11111111"},
                        {254.5, "11111110"},
                        {255.5, std::nullopt},
                        {256, std::nullopt},
                        {-0.5, "00000000"},
                        {-1, std::nullopt},
                        {kNaN, std::nullopt}});
}

TEST(Renderings, HexTextCoversUnsignedPointers) {
  ExpectTexts(HexText, {{1455616, "163600"},
                        {0, "0"},
                        {255, "FF"},
                        {4294967295.0, "FFFFFFFF"},
                        {4294967295.5, std::nullopt},
                        {4294967296.0, std::nullopt},
                        {-1, "FFFFFFFF"},
                        {-2147483648.0, "80000000"},
                        {-2147483649.0, std::nullopt},
                        {kNaN, std::nullopt}});
}

TEST(Renderings, MemoryFillIsSixteenBitPercentHalvesToEven) {
  const auto gps = [](double pointer) { return MemoryFillText(pointer, kGpsMemoryStart); };
  const auto xhk = [](double pointer) { return MemoryFillText(pointer, kXhkMemoryStart); };
  EXPECT_EQ(gps(1455616), "0%");
  EXPECT_EQ(gps(1455616 + 1536), "0%");
  EXPECT_EQ(gps(1455616 + 4608), "2%");
  EXPECT_EQ(gps(0), "-474%");
  EXPECT_EQ(xhk(1769472 + 3072 * 50), "50%");
  // A garbage pointer gives a quotient beyond 16 bits: no percentage at all.
  EXPECT_EQ(gps(1455616 + 3072.0 * 32767), "32767%");
  EXPECT_EQ(gps(1455616 + 3072.0 * 32767.5), std::nullopt);  // rounds to 32768
  EXPECT_EQ(gps(1455616 - 3072.0 * 32768), "-32768%");
  EXPECT_EQ(gps(1455616 - 3072.0 * 32769), std::nullopt);
  EXPECT_EQ(gps(4294967295.0), std::nullopt);
  EXPECT_EQ(xhk(4294967295.0), std::nullopt);
  EXPECT_EQ(gps(kNaN), std::nullopt);
  EXPECT_EQ(gps(1e300), std::nullopt);
}

struct TextCase {
  double value;
  const char* english;
  const char* german;
};

void ExpectInBothLocales(QString (*render)(double), std::initializer_list<TextCase> cases) {
  for (const TextCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "value " << QString::number(c.value, 'g', 17).toStdString());
    {
      LocaleScope scope(kEnglish);
      EXPECT_EQ(render(c.value).toStdString(), c.english);
    }
    LocaleScope scope(kGerman);
    EXPECT_EQ(render(c.value).toStdString(), c.german);
    if (std::isfinite(c.value)) {  // a box is read back with the separator it was written with
      bool ok = false;
      QLocale().toDouble(render(c.value), &ok);
      EXPECT_TRUE(ok);
    }
  }
}

TEST(Renderings, OneDecimalTextRoundsHalvesAwayFromZero) {
  ExpectInBothLocales(OneDecimalText,
                      {{3, "3.0", "3,0"},
                       {0.25, "0.3", "0,3"},
                       {-0.25, "-0.3", "-0,3"},
                       {0.35, "0.4", "0,4"},  // as shown, not as stored
                       {0.04, "0.0", "0,0"},
                       {-0.04, "0.0", "0,0"},
                       {0.05, "0.1", "0,1"},
                       {9.96, "10.0", "10,0"},
                       {319.2156982421875, "319.2", "319,2"},
                       {1234567, "1234567.0", "1234567,0"},
                       {-40.5, "-40.5", "-40,5"},
                       {1e20, "100000000000000000000.0", "100000000000000000000,0"},
                       // 15 digits round up to the next power of ten
                       {99999999999999.96875, "100000000000000.0", "100000000000000,0"},
                       {kNaN, "NaN", "NaN"},
                       {kInf, "Infinity", "Infinity"},
                       {-kInf, "-Infinity", "-Infinity"}});
}

TEST(Renderings, FullTextHasFifteenDigitsAndExponentsAtTheEnds) {
  ExpectInBothLocales(FullText, {{0, "0", "0"},
                                 {0.5, "0.5", "0,5"},
                                 {-2.5, "-2.5", "-2,5"},
                                 {3366.25, "3366.25", "3366,25"},
                                 {1.0 / 3, "0.333333333333333", "0,333333333333333"},
                                 {0.1f, "0.100000001490116", "0,100000001490116"},
                                 {0.0001, "0.0001", "0,0001"},
                                 {0.00001, "1E-05", "1E-05"},
                                 {-0.000015, "-1.5E-05", "-1,5E-05"},
                                 {999999999999999, "999999999999999", "999999999999999"},
                                 {1e15, "1E+15", "1E+15"},
                                 {2.5e123, "2.5E+123", "2,5E+123"},
                                 {kNaN, "NaN", "NaN"},
                                 {-kInf, "-Infinity", "-Infinity"}});
}

TEST(Renderings, J2000DateCountsFromNoonOfTheFirstDayPlusOneSecond) {
  LocaleScope scope(kGerman);
  const QString day1 = kGerman.toString(QDate(2000, 1, 1), QLocale::ShortFormat);
  const QString day2 = kGerman.toString(QDate(2000, 1, 2), QLocale::ShortFormat);
  const QString eve = kGerman.toString(QDate(1999, 12, 31), QLocale::ShortFormat);
  const struct {
    double days;
    std::optional<QString> text;
  } cases[] = {
      {0, day1 + " 11:58:57 UTC"},
      {0.5, day1 + " 23:58:57 UTC"},
      {-0.5, eve + " 23:58:57 UTC"},
      {43263.0 / 86400, day2 + " UTC"},  // exactly midnight: no time
      {1, day2 + " 11:58:57 UTC"},
      // The added second is rounded with the fraction (1/256 day is exact): 1 + 337.5 s goes
      // to the even 338, 1 + 1012.5 s to 1014.
      {1.0 / 256, day1 + " 12:04:34 UTC"},
      {3.0 / 256, day1 + " 12:15:50 UTC"},
      {kNaN, std::nullopt},
      {kInf, std::nullopt},
      {-kInf, std::nullopt},
      {1e12, std::nullopt},
      {-1e300, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.days);
    EXPECT_EQ(J2000DateText(c.days), c.text);
  }
}

TEST(Renderings, J2000DateKeepsToFourDigitYears) {
  // A short date writes two-digit years in many regions: 1 Jan 10000 would read as 2000.
  LocaleScope scope(kGerman);
  const QDate base(2000, 1, 1);
  const struct {
    QDate date;
    bool shown;
  } cases[] = {{QDate(9999, 12, 31), true},
               {QDate(10000, 1, 1), false},
               {QDate(1, 1, 1), true},
               {QDate(1, 1, 1).addDays(-1), false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.date.toString(Qt::ISODate).toStdString());
    const std::optional<QString> text = J2000DateText(static_cast<double>(base.daysTo(c.date)));
    ASSERT_EQ(text.has_value(), c.shown);
    if (c.shown) {
      EXPECT_EQ(*text, kGerman.toString(c.date, QLocale::ShortFormat) + " 11:58:57 UTC");
    }
  }
}

TEST(Renderings, J2000DateShowsTheRegionalTimeWithoutItsZone) {
  const struct {
    QLocale locale;
    const char* time;
  } cases[] = {
      {kEnglish, "11:58:57 AM"},
      {QLocale(QLocale::Catalan, QLocale::Spain), "11:58:57"},  // "H:mm:ss (t)"
      {QLocale(QLocale::Basque, QLocale::Spain), "11:58:57"},
      {QLocale(QLocale::Belarusian, QLocale::Belarus), "11:58:57"},  // "HH:mm:ss, t"
      {QLocale(QLocale::NorwegianNynorsk, QLocale::Norway), "kl. 11:58:57"},
      {QLocale(QLocale::French, QLocale::Canada), "11 h 58 min 57 s"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.locale.name().toStdString());
    LocaleScope scope(c.locale);
    const QString day = c.locale.toString(QDate(2000, 1, 1), QLocale::ShortFormat);
    EXPECT_EQ(J2000DateText(0), day + " " + c.time + " UTC");
  }
}

TEST(Renderings, RowsShowTheirWordsAndUnlistedValuesAsIntegers) {
  const struct {
    int row;
    double value;
    std::optional<QString> text;
  } cases[] = {
      {1, 255, "BOOT"},    {1, 1, "TEST"},      {1, 0, "NOMINAL"},
      {1, 2, "2"},         {2, 1, "YES"},       {2, 0, "NO"},
      {2, 7, "7"},         {40, 1, "1"},        {4, 3, "CHARGE"},
      {4, 2, "EMERGENCY"}, {58, 255, "BOOT"},   {58, 4, "4"},
      {42, 0, "IDLE"},     {42, 2, "CW"},       {43, 0, "TRX OFF"},
      {44, 1, "TX ON"},    {45, 3, "4k8 MSK"},  {45, 1, "1k2 AFSK"},
      {45, 0, "0"},        {67, 0, "???"},      {68, 9, "SUN TEST"},
      {67, 10, "10"},      {1, 2.5, "2"},       {1, 1e10, std::nullopt},
      {0, 41, "41"},       {69, 5, "00000101"}, {81, 1455616, "163600"},
      {92, 0.5, "0.5"},    {46, 1, "1.0"},      {8, 3, "3.0"},
      {61, 24.5, "24.5"},
  };
  LocaleScope scope(kEnglish);
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "row " << c.row << " value " << c.value);
    EXPECT_EQ(RenderValue(RowRendering(c.row), c.value), c.text);
  }
}

}  // namespace
}  // namespace quilmar
