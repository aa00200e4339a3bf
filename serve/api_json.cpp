// The JSON of the web API; see api_json.h.
#include "api_json.h"

#include <QTimeZone>
#include <cmath>

#include "archive/archive_schema.h"
#include "archive/archive_time.h"
#include "limits/value_names.h"

namespace quilmar {
namespace {

constexpr int kShownDecimals = 3;

QJsonValue TextOrNull(const std::string& text) {
  return text.empty() ? QJsonValue() : QJsonValue(QString::fromStdString(text));
}

QJsonObject ValueJson(int row, double value, const LimitCheck& check) {
  const ParameterInfo& info = kParameterCatalogue[row];
  QJsonObject entry;
  entry[QStringLiteral("value")] = std::isfinite(value) ? QJsonValue(value) : QJsonValue();
  entry[QStringLiteral("unit")] = QString::fromLatin1(info.unit);
  entry[QStringLiteral("name")] = QString::fromLatin1(info.name);
  entry[QStringLiteral("text")] = ValueText(row, value);
  entry[QStringLiteral("state")] = QString::fromLatin1(LevelText(check.level));
  entry[QStringLiteral("direction")] =
      check.direction == LimitDirection::kNone
          ? QJsonValue()
          : QJsonValue(QString::fromLatin1(DirectionText(check.direction)));
  entry[QStringLiteral("bound")] = TextOrNull(LimitSourceText(check, value));
  return entry;
}

}  // namespace

QString IsoTimeOfMs(std::int64_t ms) {
  return QDateTime::fromMSecsSinceEpoch(ms, QTimeZone::utc())
      .toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ"));
}

std::optional<QDateTime> ParseQueryTime(const QString& text) {
  if (text.trimmed().isEmpty()) {
    return std::nullopt;
  }
  return ParseUserTime(text);
}

QString ValueText(int row, double value) {
  if (std::isnan(value)) {
    return QStringLiteral("NaN");
  }
  if (std::isinf(value)) {
    return value > 0 ? QStringLiteral("Infinity") : QStringLiteral("-Infinity");
  }
  if (ShowsStateWords(row)) {
    if (const auto word = ShownStateText(row, value)) {
      return QString::fromStdString(*word);
    }
  }
  if (kParameterCatalogue[row].unit.empty() && value == std::trunc(value) &&
      std::fabs(value) < 1e15) {
    return QString::number(static_cast<qint64>(value));
  }
  QString text = QString::number(value, 'f', kShownDecimals);
  while (text.endsWith(u'0')) {
    text.chop(1);
  }
  if (text.endsWith(u'.')) {
    text.chop(1);
  }
  return text == QLatin1String("-0") ? QStringLiteral("0") : text;
}

QJsonObject SectionValuesJson(const FrameRecord& record, Section section, const LimitSet& limits) {
  const SectionInfo& info = SectionInfoOf(section);
  const auto checks = limits.CheckFrame(record);
  QJsonObject values;
  for (int row = info.firstRow; row <= info.lastRow; ++row) {
    const double value = record.values[static_cast<std::size_t>(row)];
    values[QString::fromStdString(ParameterColumn(row))] =
        ValueJson(row, value, checks[static_cast<std::size_t>(row)]);
  }
  return values;
}

QJsonObject FrameValuesJson(const FrameRecord& record, const LimitSet& limits) {
  QJsonObject values;
  for (const SectionInfo& info : kSections) {
    if (record.HasSection(info.section)) {
      const QJsonObject section = SectionValuesJson(record, info.section, limits);
      for (auto it = section.begin(); it != section.end(); ++it) {
        values[it.key()] = it.value();
      }
    }
  }
  return values;
}

QJsonObject PassJson(const ArchivedPass& pass) {
  QJsonObject object;
  object[QStringLiteral("id")] = static_cast<qint64>(pass.id);
  object[QStringLiteral("start")] = IsoTimeOfMs(pass.startTime.toMSecsSinceEpoch());
  object[QStringLiteral("end")] = IsoTimeOfMs(pass.endTime.toMSecsSinceEpoch());
  object[QStringLiteral("frames")] = static_cast<qint64>(pass.frames);
  object[QStringLiteral("missing")] = static_cast<qint64>(pass.missing.count);
  object[QStringLiteral("missing_ranges")] = pass.missing.ranges;
  object[QStringLiteral("stations")] = QJsonArray::fromStringList(pass.stations);
  object[QStringLiteral("clock_offset_s")] =
      pass.clockOffsetSeconds ? QJsonValue(*pass.clockOffsetSeconds) : QJsonValue();
  return object;
}

QJsonArray ParametersJson() {
  QJsonArray parameters;
  for (int row = 0; row < kParameterCount; ++row) {
    const ParameterInfo& info = kParameterCatalogue[row];
    parameters.append(QJsonObject{
        {QStringLiteral("column"), QString::fromStdString(ParameterColumn(row))},
        {QStringLiteral("name"), QString::fromLatin1(info.name)},
        {QStringLiteral("unit"), QString::fromLatin1(info.unit)},
        {QStringLiteral("section"), QString::fromLatin1(SectionOfRow(row).name)},
        {QStringLiteral("row"), row},
    });
  }
  return parameters;
}

QJsonObject FrameJson(const StoredFrame& frame) {
  QJsonObject object;
  object[QStringLiteral("key")] = static_cast<qint64>(frame.key);
  object[QStringLiteral("time")] =
      frame.timeMs ? QJsonValue(IsoTimeOfMs(*frame.timeMs)) : QJsonValue();
  object[QStringLiteral("time_kind")] = frame.timeKind;
  object[QStringLiteral("frame_number")] = frame.frameNumber;
  object[QStringLiteral("frame_type")] = frame.frameType;
  object[QStringLiteral("hex")] = QString::fromLatin1(frame.bytes.toHex().toUpper());
  return object;
}

}  // namespace quilmar
