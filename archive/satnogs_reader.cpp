// Reading SatNOGS DB downloads; see satnogs_reader.h.
#include "satnogs_reader.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace quilmar {
namespace {

constexpr qsizetype kTimestampLength = 19;  // "YYYY-MM-DD HH:MM:SS"

std::optional<QByteArray> HexBytes(QByteArrayView hex, QString& reason) {
  const QByteArray trimmed = hex.toByteArray().trimmed();
  if (trimmed.isEmpty()) {
    reason = QStringLiteral("no frame");
    return std::nullopt;
  }
  if (trimmed.size() % 2 != 0) {
    reason = QStringLiteral("odd number of hex digits");
    return std::nullopt;
  }
  for (const char c : trimmed) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) {
      reason = QStringLiteral("not hex");
      return std::nullopt;
    }
  }
  return QByteArray::fromHex(trimmed);
}

// A text the station column keeps: no control characters.
QString CleanText(const QString& text) {
  QString clean;
  for (const QChar c : text) {
    if (!c.isNull() && c.category() != QChar::Other_Control) {
      clean += c;
    }
  }
  return clean.trimmed();
}

}  // namespace

std::optional<SatnogsFrame> ParseSatnogsCsvLine(QByteArrayView line, QString& reason) {
  const qsizetype bar = line.indexOf('|');
  if (bar < 0) {
    reason = QStringLiteral("no timestamp (expected \"YYYY-MM-DD HH:MM:SS|HEX\")");
    return std::nullopt;
  }
  const QByteArray stamp = line.first(bar).toByteArray().trimmed();
  const QString text = QString::fromLatin1(stamp);
  const QDate date = QDate::fromString(text.first(qMin(text.size(), 10)), Qt::ISODate);
  const QTime clock = QTime::fromString(text.mid(11), QStringLiteral("HH:mm:ss"));
  const QDateTime time(date, clock, Qt::UTC);
  if (stamp.size() != kTimestampLength || stamp[10] != ' ' || !date.isValid() || !clock.isValid()) {
    reason = QStringLiteral("no valid timestamp");
    return std::nullopt;
  }
  const auto bytes = HexBytes(line.sliced(bar + 1), reason);
  if (!bytes) {
    return std::nullopt;
  }
  return SatnogsFrame{*bytes, time, QString(), 0};
}

bool ReadSatnogsCsv(QIODevice& device, const SatnogsVisitor& visit, QStringList& warnings,
                    QString& error) {
  std::int64_t number = 0;
  while (!device.atEnd()) {
    QByteArray line = device.readLine();
    ++number;
    while (line.endsWith('\n') || line.endsWith('\r')) {
      line.chop(1);
    }
    if (line.trimmed().isEmpty()) {
      continue;
    }
    QString reason;
    std::optional<SatnogsFrame> frame = ParseSatnogsCsvLine(line, reason);
    if (!frame) {
      warnings << QStringLiteral("line %1: %2, skipped").arg(number).arg(reason);
      continue;
    }
    frame->position = number;
    if (!visit(*frame)) {
      return false;
    }
  }
  (void)error;
  return true;
}

bool ReadSatnogsJson(QIODevice& device, const SatnogsVisitor& visit, QStringList& warnings,
                     QString& error) {
  QJsonParseError parseError;
  const QJsonDocument document = QJsonDocument::fromJson(device.readAll(), &parseError);
  if (document.isNull()) {
    error = QStringLiteral("not readable JSON: %1 at byte %2")
                .arg(parseError.errorString())
                .arg(parseError.offset);
    return false;
  }
  // The API's paged answer wraps the list in an object's "results".
  const QJsonArray list =
      document.isArray() ? document.array() : document.object().value("results").toArray();
  std::int64_t element = 0;
  for (const QJsonValue& value : list) {
    ++element;
    const QJsonObject object = value.toObject();
    QString reason;
    const auto bytes = HexBytes(object.value("frame").toString().toLatin1(), reason);
    const QString stamp = object.value("timestamp").toString();
    std::optional<QDateTime> time;
    if (QDateTime parsed = QDateTime::fromString(stamp, Qt::ISODateWithMs); parsed.isValid()) {
      time = parsed.toUTC();
    } else if (bytes) {
      reason = QStringLiteral("no valid timestamp");
    }
    if (!bytes || !time) {
      warnings << QStringLiteral("element %1: %2, skipped").arg(element).arg(reason);
      continue;
    }
    const SatnogsFrame frame{*bytes, time, CleanText(object.value("observer").toString()), element};
    if (!visit(frame)) {
      return false;
    }
  }
  return true;
}

}  // namespace quilmar
