// Renderings of telemetry values as display texts.
#include "renderings.h"

#include <QDateTime>
#include <QLocale>
#include <QTimeZone>
#include <cmath>
#include <cstdint>
#include <cstdio>
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

Decimal DecimalDigits(double magnitude) {
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.14e", magnitude);
  const QByteArray text(buffer);
  const int e = text.indexOf('e');
  Decimal decimal;
  decimal.digits = text.left(1) + text.mid(2, e - 2);
  decimal.exponent = text.mid(e + 1).toInt();
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
  if (std::fabs(value) >= 1e14) {  // whole numbers at this size: nothing left to round
    return WithSeparator(QByteArray::number(value, 'f', 0), "0");
  }
  const Decimal decimal = DecimalDigits(std::fabs(value));
  const int kept = decimal.exponent + 2;  // digits down to the first decimal place
  std::int64_t tenths = 0;
  if (kept >= 0) {
    tenths = decimal.digits.left(kept).toLongLong();
    if (kept < decimal.digits.size() && decimal.digits[kept] >= '5') {
      ++tenths;  // half away from zero, on the decimal the user sees
    }
  }
  const QByteArray whole = QByteArray::number(tenths / 10);
  const QByteArray tenth = QByteArray::number(tenths % 10);
  // A value that rounds to zero shows no sign.
  const QString sign = value < 0 && tenths != 0 ? QStringLiteral("-") : QString();
  return sign + WithSeparator(whole, tenth);
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
  const std::optional<QString> percent = IntegerText((pointer - start) / 3072);
  if (!percent) {
    return std::nullopt;
  }
  return *percent + QLatin1Char('%');
}

std::optional<QString> J2000DateText(double days) {
  if (!std::isfinite(days)) {
    return std::nullopt;
  }
  const double whole = std::floor(days);
  const double seconds = whole * 86400 + 1 + std::nearbyint((days - whole) * 86400);
  // Keep the milliseconds since the epoch well inside 64 bits; QDateTime ends long before.
  if (std::fabs(seconds) > 9e15) {
    return std::nullopt;
  }
  const QDateTime base(QDate(2000, 1, 1), QTime(11, 58, 56), QTimeZone::utc());
  const QDateTime instant = base.addSecs(static_cast<qint64>(seconds));
  if (!instant.isValid() || !instant.date().isValid()) {
    return std::nullopt;
  }
  const QLocale locale;
  QString text = locale.toString(instant.date(), QLocale::ShortFormat);
  if (instant.time() != QTime(0, 0)) {
    // The regional long time format, without its time zone part: the zone is always UTC.
    QString format = locale.timeFormat(QLocale::LongFormat);
    format.remove(QLatin1Char('t'));
    text += QLatin1Char(' ') + instant.time().toString(format.trimmed());
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
