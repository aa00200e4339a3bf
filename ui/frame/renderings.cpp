// Renderings of telemetry values as display texts.
#include "renderings.h"

#include <QDateTime>
#include <QLocale>
#include <QTimeZone>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

#include "core/conversions.h"

namespace quilmar {
namespace {

using enum Rendering;

// One entry per value row, in row order.
// clang-format off
constexpr std::array<Rendering, kParameterCount> kRowRenderings{{
    // EPS / TCS: counters and status words, then solar sides, battery and lines.
    /* 0*/ kInteger, kMode, kYesNo, kInteger, kPower, kInteger, kInteger, kInteger,
    /* 8*/ kOneDecimal, kOneDecimal, kOneDecimal, kOneDecimal, kOneDecimal, kOneDecimal,
    /*14*/ kOneDecimal, kOneDecimal, kOneDecimal, kOneDecimal, kOneDecimal, kOneDecimal,
    /*20*/ kOneDecimal, kOneDecimal, kOneDecimal, kYesNo, kInteger, kOneDecimal,
    // Temperatures and limits.
    /*26*/ kOneDecimal, kOneDecimal, kOneDecimal, kOneDecimal, kOneDecimal, kOneDecimal,
    /*32*/ kOneDecimal, kOneDecimal, kOneDecimal, kOneDecimal, kOneDecimal, kYesNo,
    // COM: its softstart (40) is a plain count, unlike those of EPS and CDHS.
    /*38*/ kInteger, kMode, kInteger, kInteger, kSendStatus, kReceiver, kTransmitter,
    /*45*/ kBaudRate, kOneDecimal, kYesNo, kInteger, kInteger, kInteger, kInteger,
    /*52*/ kYesNo, kYesNo,
    // CDHS.
    /*54*/ kInteger, kMode, kYesNo, kInteger, kPower, kInteger, kInteger, kOneDecimal,
    /*62*/ kInteger, kInteger, kInteger, kInteger,
    // ADCS: modes, the six status bytes, panel temperatures, memory pointers, orbit.
    /*66*/ kInteger, kAdcsMode, kAdcsMode, kBits, kBits, kBits, kBits, kBits, kBits,
    /*75*/ kOneDecimal, kOneDecimal, kOneDecimal, kOneDecimal, kOneDecimal, kOneDecimal,
    /*81*/ kHex, kHex, kInteger, kInteger,
    /*85*/ kOneDecimal, kOneDecimal, kOneDecimal, kOneDecimal, kOneDecimal, kOneDecimal,
    /*91*/ kOneDecimal, kFull,
}};
// clang-format on

// The default rounding mode rounds ties to the even neighbour.
std::optional<std::int64_t> RoundHalfEven(double value, double low, double high) {
  const double rounded = std::nearbyint(value);
  if (!(rounded >= low && rounded <= high)) {  // also rejects NaN
    return std::nullopt;
  }
  return static_cast<std::int64_t>(rounded);
}

std::optional<QString> NonFiniteText(double value) {
  if (std::isnan(value)) {
    return QStringLiteral("NaN");
  }
  if (std::isinf(value)) {
    return value > 0 ? QStringLiteral("Infinity") : QStringLiteral("-Infinity");
  }
  return std::nullopt;
}

// The value's 15 significant decimal digits and the decimal exponent of the first of them:
// 0.25 gives "250000000000000" and -1. Values are shown as their 15-digit decimal, so 0.35
// (stored a hair below) still rounds to 0.4 in one-decimal text.
struct Decimal {
  QByteArray digits;
  int exponent = 0;
};

// to_chars rounds exactly as printf's "%.14e" does ("2.50000000000000e-01") without parsing a
// format on every value of every frame.
Decimal DecimalDigits(double magnitude) {
  char buffer[40];
  const auto [end, error] =
      std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific, 14);
  const std::string_view text(buffer, error == std::errc() ? end : buffer);
  const std::size_t e = text.find('e');
  Decimal decimal;
  if (e == std::string_view::npos) {
    return decimal;
  }
  decimal.digits.reserve(15);
  decimal.digits.append(text[0]).append(text.substr(2, e - 2).data(),
                                        static_cast<qsizetype>(e - 2));
  std::from_chars(text.data() + e + (text[e + 1] == '+' ? 2 : 1), text.data() + text.size(),
                  decimal.exponent);
  return decimal;
}

QString WithSeparator(QByteArray integerDigits, const QByteArray& fraction) {
  if (integerDigits.isEmpty()) {
    integerDigits = "0";
  }
  QString text = QString::fromLatin1(integerDigits);
  if (!fraction.isEmpty()) {
    text += QLocale().decimalPoint() + QString::fromLatin1(fraction);
  }
  return text;
}

// Adds one to a run of decimal digits, carrying into a new leading digit: "99" gives "100".
void AddOne(QByteArray& digits) {
  for (qsizetype i = digits.size() - 1; i >= 0; --i) {
    if (digits[i] != '9') {
      ++digits[i];
      return;
    }
    digits[i] = '0';
  }
  digits.prepend('1');
}

QString ExponentText(const Decimal& decimal) {
  QByteArray mantissa = decimal.digits;
  while (mantissa.size() > 1 && mantissa.endsWith('0')) {
    mantissa.chop(1);
  }
  QString text = WithSeparator(mantissa.left(1), mantissa.mid(1));
  const int e = decimal.exponent;
  text += QStringLiteral("E%1%2").arg(e < 0 ? '-' : '+').arg(std::abs(e), 2, 10, QChar('0'));
  return text;
}

QString FixedText(const Decimal& decimal) {
  QByteArray digits = decimal.digits;
  const int integerCount = decimal.exponent + 1;  // digits before the point, may be <= 0
  if (integerCount <= 0) {
    digits.prepend(QByteArray(-integerCount, '0'));
  } else if (integerCount > digits.size()) {
    digits.append(QByteArray(integerCount - digits.size(), '0'));
  }
  const int split = std::max(integerCount, 0);
  QByteArray fraction = digits.mid(split);
  while (fraction.endsWith('0')) {
    fraction.chop(1);
  }
  return WithSeparator(digits.left(split), fraction);
}

// The regional long time format, the one with seconds, without its time zone field ('t'
// outside quotes) and the brackets or comma that set the zone apart, as in "H:mm:ss (t)" and
// "HH:mm:ss, t": the zone is always UTC and written after the time.
QString TimeWithSecondsFormat(const QLocale& locale) {
  QString format;
  bool quoted = false;
  for (const QChar c : locale.timeFormat(QLocale::LongFormat)) {
    if (c == QLatin1Char('\'')) {
      quoted = !quoted;
    }
    if (quoted || c != QLatin1Char('t')) {
      format += c;
    }
  }
  format.remove(QStringLiteral("()")).remove(QStringLiteral("[]"));
  const auto apart = [](QChar c) { return c.isSpace() || c == QLatin1Char(','); };
  while (!format.isEmpty() && apart(format.back())) {
    format.chop(1);
  }
  while (!format.isEmpty() && apart(format.front())) {
    format.remove(0, 1);
  }
  return format;
}

}  // namespace

Rendering RowRendering(int row) { return kRowRenderings[static_cast<std::size_t>(row)]; }

std::optional<QString> IntegerText(double value) {
  const auto n = RoundHalfEven(value, std::numeric_limits<std::int32_t>::min(),
                               std::numeric_limits<std::int32_t>::max());
  if (!n) {
    return std::nullopt;
  }
  return QString::number(*n);
}

QString OneDecimalText(double value) {
  if (auto text = NonFiniteText(value)) {
    return *text;
  }
  const Decimal decimal = DecimalDigits(std::fabs(value));
  // The value in tenths: its digits down to the first decimal place, with zeros where the 15
  // digits end before it.
  const int kept = decimal.exponent + 2;
  QByteArray tenths = decimal.digits.left(std::max(kept, 0));
  if (kept > decimal.digits.size()) {
    tenths.append(QByteArray(kept - decimal.digits.size(), '0'));
  } else if (kept >= 0 && kept < decimal.digits.size() && decimal.digits[kept] >= '5') {
    AddOne(tenths);  // half away from zero, on the decimal the user sees
  }
  if (tenths.isEmpty()) {
    tenths = "0";
  }
  // A value that rounds to zero shows no sign.
  const bool zero = tenths.count('0') == tenths.size();
  const QString sign = value < 0 && !zero ? QStringLiteral("-") : QString();
  return sign + WithSeparator(tenths.chopped(1), tenths.right(1));
}

QString FullText(double value) {
  if (auto text = NonFiniteText(value)) {
    return *text;
  }
  if (value == 0) {
    return QStringLiteral("0");
  }
  const Decimal decimal = DecimalDigits(std::fabs(value));
  const bool exponentForm = decimal.exponent < -4 || decimal.exponent >= 15;
  const QString text = exponentForm ? ExponentText(decimal) : FixedText(decimal);
  return value < 0 ? QStringLiteral("-") + text : text;
}

std::optional<QString> BitText(double value) {
  const auto n = RoundHalfEven(value, 0, 255);
  if (!n) {
    return std::nullopt;
  }
  return QString::fromStdString(ByteToBits(static_cast<std::uint8_t>(*n)));
}

std::optional<QString> HexText(double value) {
  const auto n = RoundHalfEven(value, std::numeric_limits<std::int32_t>::min(),
                               std::numeric_limits<std::uint32_t>::max());
  if (!n) {
    return std::nullopt;
  }
  return QString::number(static_cast<std::uint32_t>(*n), 16).toUpper();
}

std::optional<QString> MemoryFillText(double pointer, double start) {
  const auto percent =
      RoundHalfEven((pointer - start) / 3072, std::numeric_limits<std::int16_t>::min(),
                    std::numeric_limits<std::int16_t>::max());
  if (!percent) {
    return std::nullopt;
  }
  return QString::number(*percent) + QLatin1Char('%');
}

std::optional<QString> J2000DateText(double days) {
  // Far beyond the four-digit years either way, and NaN fails too.
  if (!(std::fabs(days) < 1e7)) {
    return std::nullopt;
  }
  const double whole = std::floor(days);
  // The extra second is added to the day fraction before the sum is rounded, so halves go to
  // the even second of the sum.
  const double seconds = std::nearbyint(1 + (days - whole) * 1440 * 60);
  const QDateTime base(QDate(2000, 1, 1), QTime(11, 58, 56), QTimeZone::utc());
  const QDateTime instant =
      base.addDays(static_cast<qint64>(whole)).addSecs(static_cast<qint64>(seconds));
  // Many regions write the year of a short date in two digits: a date outside the years 1 to
  // 9999 would pass for one inside them.
  const int year = instant.date().year();
  if (!instant.isValid() || year < 1 || year > 9999) {
    return std::nullopt;
  }
  const QLocale locale;
  QString text = locale.toString(instant.date(), QLocale::ShortFormat);
  if (instant.time() != QTime(0, 0)) {
    text += QLatin1Char(' ') + locale.toString(instant.time(), TimeWithSecondsFormat(locale));
  }
  return text + QStringLiteral(" UTC");
}

std::optional<QString> WordText(std::span<const WordEntry> words, double value) {
  for (const WordEntry& entry : words) {
    if (entry.value == value) {
      return QString::fromLatin1(entry.word.data(), static_cast<qsizetype>(entry.word.size()));
    }
  }
  return IntegerText(value);
}

std::optional<QString> RenderValue(Rendering rendering, double value) {
  switch (rendering) {
    case kInteger:
      return IntegerText(value);
    case kOneDecimal:
      return OneDecimalText(value);
    case kFull:
      return FullText(value);
    case kBits:
      return BitText(value);
    case kHex:
      return HexText(value);
    case kMode:
      return WordText(kModeWords, value);
    case kYesNo:
      return WordText(kYesNoWords, value);
    case kPower:
      return WordText(kPowerWords, value);
    case kSendStatus:
      return WordText(kSendStatusWords, value);
    case kReceiver:
      return WordText(kReceiverWords, value);
    case kTransmitter:
      return WordText(kTransmitterWords, value);
    case kBaudRate:
      return WordText(kBaudRateWords, value);
    case kAdcsMode:
      return WordText(kAdcsModeWords, value);
  }
  return std::nullopt;
}

}  // namespace quilmar
