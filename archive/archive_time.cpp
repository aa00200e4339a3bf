// Time in the archive; see archive_time.h.
#include "archive_time.h"

#include <QTimeZone>
#include <array>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <limits>

namespace quilmar {
namespace {

// The spacecraft clock's zone: its readings are Pacific time, daylight saving included.
const QTimeZone& PacificZone() {
  static const QTimeZone zone("America/Los_Angeles");
  return zone;
}

std::optional<int> Field(std::string_view text) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
    return std::nullopt;
  }
  return value;
}

// "dd.MM.yyyy hh:mm:ss" split at its separators; fields may have any number of digits.
std::optional<std::array<int, 6>> ClockFields(std::string_view text) {
  constexpr std::array<char, 5> kSeparators{'.', '.', ' ', ':', ':'};
  std::array<int, 6> fields{};
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const std::size_t end = i < kSeparators.size() ? text.find(kSeparators[i]) : text.size();
    if (end == std::string_view::npos) {
      return std::nullopt;
    }
    const std::optional<int> value = Field(text.substr(0, end));
    if (!value) {
      return std::nullopt;
    }
    fields[i] = *value;
    text.remove_prefix(i < kSeparators.size() ? end + 1 : end);
  }
  return fields;
}

// The zone's offset from UTC, in seconds, for a wall-clock reading given as if it were UTC.
// Of the offsets the zone can have that day, one is right when the zone, at the resulting
// instant, has that offset itself; the daylight one is tried first.
int PacificOffsetOfWallClock(const QDateTime& wall) {
  const int standard = PacificZone().standardTimeOffset(wall);
  for (const int offset : {standard + 3600, standard}) {
    if (PacificZone().offsetFromUtc(wall.addSecs(-offset)) == offset) {
      return offset;
    }
  }
  return standard;
}

}  // namespace

std::optional<std::int64_t> SpacecraftClockToUtcMs(std::string_view dateTime) {
  const auto fields = ClockFields(dateTime);
  if (!fields) {
    return std::nullopt;
  }
  const auto [day, month, year, hours, minutes, seconds] = *fields;
  const QDate date(year, month, day);
  const QTime time(hours, minutes, seconds);
  if (!date.isValid() || !time.isValid()) {
    return std::nullopt;
  }
  // The wall-clock reading as if it were UTC; subtracting the zone's offset gives UTC.
  constexpr std::int64_t kUnixEpochJulianDay = 2440588;
  const std::int64_t wall =
      (date.toJulianDay() - kUnixEpochJulianDay) * 86400 + time.msecsSinceStartOfDay() / 1000;
  // The zone changes its offset only on the hour, so a whole wall-clock hour has one; an
  // import reads a clock in every frame, mostly in the same hour as the frame before.
  thread_local std::int64_t cachedHour = std::numeric_limits<std::int64_t>::min();
  thread_local int cachedOffset = 0;
  const std::int64_t hour = wall >= 0 ? wall / 3600 : (wall - 3599) / 3600;
  if (hour != cachedHour) {
    cachedOffset = PacificOffsetOfWallClock(QDateTime(date, time, Qt::UTC));
    cachedHour = hour;
  }
  return (wall - cachedOffset) * 1000;
}

std::optional<QDateTime> SpacecraftClockToUtc(std::string_view dateTime) {
  const auto ms = SpacecraftClockToUtcMs(dateTime);
  if (!ms) {
    return std::nullopt;
  }
  return QDateTime::fromMSecsSinceEpoch(*ms, Qt::UTC);
}

QString UtcTextOfMs(std::int64_t ms) {
  using namespace std::chrono;
  const sys_seconds at{duration_cast<seconds>(milliseconds{ms} - milliseconds{(ms % 1000 + 1000) % 1000})};
  const sys_days day = floor<days>(at);
  const year_month_day date{day};
  const hh_mm_ss clock{at - day};
  const int year = static_cast<int>(date.year());
  if (year < 0 || year > 9999) {
    char text[40];
    const int length = std::snprintf(
        text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", year,
        static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
        static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
        static_cast<int>(clock.seconds().count()));
    return QString::fromLatin1(text, length);
  }
  // Digit by digit: an import and a read of a large range make one for every frame.
  char text[] = "0000-00-00T00:00:00Z";
  const auto put = [&](int at, int value, int digits) {
    for (int i = at + digits - 1; i >= at; --i, value /= 10) {
      text[i] = static_cast<char>('0' + value % 10);
    }
  };
  put(0, year, 4);
  put(5, static_cast<int>(static_cast<unsigned>(date.month())), 2);
  put(8, static_cast<int>(static_cast<unsigned>(date.day())), 2);
  put(11, static_cast<int>(clock.hours().count()), 2);
  put(14, static_cast<int>(clock.minutes().count()), 2);
  put(17, static_cast<int>(clock.seconds().count()), 2);
  return QString::fromLatin1(text, sizeof text - 1);
}

QString UtcText(const QDateTime& utc) {
  return utc.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ssZ"));
}

std::optional<QDateTime> ParseUtcText(const QString& text) {
  QDateTime parsed = QDateTime::fromString(text, Qt::ISODate);
  if (!parsed.isValid()) {
    return std::nullopt;
  }
  return parsed.toUTC();
}

std::optional<QDateTime> StoredTime(const QVariant& value) {
  if (value.isNull()) {
    return std::nullopt;
  }
  if (value.typeId() == QMetaType::QDateTime) {
    const QDateTime time = value.toDateTime();
    return time.isValid() ? std::optional(time.toUTC()) : std::nullopt;
  }
  return ParseUtcText(value.toString());
}

QString StoredTimeText(const QVariant& value) {
  const std::optional<QDateTime> time = StoredTime(value);
  return time ? UtcText(*time) : QString();
}

std::optional<QDateTime> ParseUserTime(const QString& text) {
  QString iso = text.trimmed();
  if (iso.size() > 10 && iso[10] == QLatin1Char(' ')) {
    iso[10] = QLatin1Char('T');
  }
  QDateTime parsed = QDateTime::fromString(iso, Qt::ISODateWithMs);
  if (!parsed.isValid()) {
    const QDate date = QDate::fromString(iso, Qt::ISODate);
    if (!date.isValid()) {
      return std::nullopt;
    }
    parsed = QDateTime(date, QTime(0, 0), Qt::UTC);
  }
  if (parsed.timeSpec() == Qt::LocalTime) {
    parsed.setTimeSpec(Qt::UTC);
  }
  return parsed.toUTC();
}

}  // namespace quilmar
