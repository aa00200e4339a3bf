// Reading SatNOGS DB downloads; see satnogs_reader.h.
#include "satnogs_reader.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <limits>
#include <utility>

namespace quilmar {
namespace {

constexpr qint64 kChunkBytes = 64 * 1024;
constexpr QByteArrayView kBom = "\xEF\xBB\xBF";

std::optional<QByteArray> HexBytes(QByteArrayView hex, QString& reason) {
  const QByteArrayView trimmed = hex.trimmed();
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
  return QByteArray::fromHex(trimmed.toByteArray());
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

// The value of count decimal digits at the position; -1 when one of them is no digit.
int Digits(QByteArrayView text, qsizetype at, qsizetype count) {
  if (at + count > text.size()) {
    return -1;
  }
  int value = 0;
  for (qsizetype i = at; i < at + count; ++i) {
    if (text[i] < '0' || text[i] > '9') {
      return -1;
    }
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

// The zone part after the seconds: nothing (UTC), "Z", "+HH:MM", "+HHMM" or "+HH"; the offset
// east of UTC in seconds, nullopt when the text is something else.
std::optional<int> ZoneOffset(QByteArrayView zone) {
  if (zone.isEmpty() || zone == "Z" || zone == "z") {
    return 0;
  }
  if (zone[0] != '+' && zone[0] != '-') {
    return std::nullopt;
  }
  const int hours = Digits(zone, 1, 2);
  int minutes = 0;
  if (zone.size() == 6 && zone[3] == ':') {
    minutes = Digits(zone, 4, 2);
  } else if (zone.size() == 5) {
    minutes = Digits(zone, 3, 2);
  } else if (zone.size() != 3) {
    return std::nullopt;
  }
  if (hours < 0 || hours > 23 || minutes < 0 || minutes > 59) {
    return std::nullopt;
  }
  const int offset = (hours * 60 + minutes) * 60;
  return zone[0] == '-' ? -offset : offset;
}

// Keeps the first kMostSatnogsWarnings warnings of a read and counts the others, so that a
// file of nothing but bad lines cannot fill the memory with them.
class WarningList {
 public:
  explicit WarningList(QStringList& warnings) : warnings(warnings) {}
  ~WarningList() {
    if (notListed > 0) {
      warnings << QStringLiteral("%1 more warnings not listed").arg(notListed);
    }
  }
  void Add(const QString& text) {
    if (listed < kMostSatnogsWarnings) {
      warnings << text;
      ++listed;
    } else {
      ++notListed;
    }
  }

 private:
  QStringList& warnings;
  qsizetype listed = 0;
  std::int64_t notListed = 0;
};

// A time no station can have received at is a warning, and the frame is kept without it.
void KeepTimeInRange(SatnogsFrame& frame, const ReceptionTimeRange& range, const char* unit,
                     WarningList& warnings) {
  if (frame.receivedAt && !range.Contains(*frame.receivedAt)) {
    warnings.Add(QStringLiteral("%1 %2: timestamp %3 out of range, reception time not used")
                     .arg(QLatin1String(unit))
                     .arg(frame.position)
                     .arg(frame.receivedAt->toString(Qt::ISODateWithMs)));
    frame.receivedAt.reset();
  }
}

// The lines of a device, split at LF, CR LF or CR, read in pieces of kChunkBytes. A line
// longer than kLongestSatnogsLine is reported as overlong, its bytes dropped as they come.
class LineReader {
 public:
  enum class Step { kLine, kOverlong, kNulByte, kEnd, kReadError };

  explicit LineReader(QIODevice& device) : device(device), chunk(kChunkBytes, Qt::Uninitialized) {}

  Step Next();
  QByteArrayView Line() const { return line; }
  std::int64_t Number() const { return number; }

 private:
  bool Refill();
  void Keep(const char* from, const char* to);

  QIODevice& device;
  QByteArray chunk;
  qsizetype at = 0;
  qsizetype filled = 0;
  QByteArray line;
  bool started = false;  // a byte of the line was seen
  bool overlong = false;
  bool afterCr = false;  // an LF next belongs to the CR that ended the last line
  bool failed = false;
  std::int64_t number = 0;
};

LineReader::Step LineReader::Next() {
  line.truncate(0);
  started = false;
  overlong = false;
  for (;;) {
    if (at == filled && !Refill()) {
      if (failed) {
        return Step::kReadError;
      }
      if (!started) {
        return Step::kEnd;
      }
      ++number;  // the last line, without a line end
      return overlong ? Step::kOverlong : Step::kLine;
    }
    const char* const base = chunk.constData();
    if (std::exchange(afterCr, false) && base[at] == '\n') {
      ++at;
      continue;
    }
    const char* const end = base + filled;
    const char* const stop =
        std::find_if(base + at, end, [](char c) { return c == '\n' || c == '\r' || c == '\0'; });
    Keep(base + at, stop);
    at = stop - base;
    if (stop == end) {
      continue;
    }
    ++at;
    ++number;
    if (*stop == '\0') {
      return Step::kNulByte;
    }
    afterCr = *stop == '\r';
    return overlong ? Step::kOverlong : Step::kLine;
  }
}

bool LineReader::Refill() {
  at = 0;
  filled = 0;
  const qint64 got = device.read(chunk.data(), kChunkBytes);
  failed = got < 0;
  filled = std::max<qint64>(got, 0);
  return got > 0;
}

void LineReader::Keep(const char* from, const char* to) {
  if (from == to) {
    return;
  }
  started = true;
  if (overlong) {
    return;
  }
  if (line.size() + (to - from) > kLongestSatnogsLine) {
    overlong = true;
    line.truncate(0);
    return;
  }
  line.append(from, to - from);
}

// A line that holds no frame: a warning, unless it is the column header of the file's first
// line.
void WarnOfLine(const LineReader& lines, QByteArrayView line, const QString& reason, bool firstLine,
                WarningList& warnings) {
  if (!(firstLine && IsSatnogsCsvHeader(line))) {
    warnings.Add(QStringLiteral("line %1: %2, skipped").arg(lines.Number()).arg(reason));
  }
}

// The whole JSON download, at most kLargestSatnogsJson bytes; nullopt with the reason when it
// is larger, cannot be read or does not begin as JSON does (so that a stream of zeros ends at
// once).
std::optional<QByteArray> ReadJsonText(QIODevice& device, QString& error) {
  const QString tooLarge =
      QStringLiteral("larger than %1 MiB, too large for a SatNOGS JSON download")
          .arg(kLargestSatnogsJson >> 20);
  QByteArray text;
  if (!device.isSequential()) {
    const qint64 size = device.size() - device.pos();
    if (size > kLargestSatnogsJson) {
      error = tooLarge;
      return std::nullopt;
    }
    text.reserve(size);
  }
  bool begun = false;
  for (;;) {
    const qsizetype before = text.size();
    text.resize(before + kChunkBytes);
    const qint64 got = device.read(text.data() + before, kChunkBytes);
    text.resize(before + std::max<qint64>(got, 0));
    if (got < 0) {
      error = QStringLiteral("cannot be read: %1").arg(device.errorString());
      return std::nullopt;
    }
    if (got == 0) {
      return text;
    }
    if (text.size() > kLargestSatnogsJson) {
      error = tooLarge;
      return std::nullopt;
    }
    if (!begun) {
      const QByteArrayView body = QByteArrayView(text).startsWith(kBom)
                                      ? QByteArrayView(text).sliced(kBom.size())
                                      : QByteArrayView(text);
      const QByteArrayView start = body.trimmed();
      begun = !start.isEmpty();
      if (begun && start[0] != '[' && start[0] != '{') {
        error = QStringLiteral("not readable JSON: it begins with neither [ nor {");
        return std::nullopt;
      }
    }
  }
}

QJsonDocument ReadJsonDocument(QIODevice& device, QString& error) {
  std::optional<QByteArray> text = ReadJsonText(device, error);
  if (!text) {
    return {};
  }
  if (text->startsWith(kBom)) {
    text->remove(0, kBom.size());
  }
  QJsonParseError parseError;
  const QJsonDocument document = QJsonDocument::fromJson(*text, &parseError);
  if (document.isNull()) {
    error = QStringLiteral("not readable JSON: %1 at byte %2")
                .arg(parseError.errorString())
                .arg(parseError.offset);
  }
  return document;
}

// The frames' objects: the list itself, the paged answer's "results", or one object alone.
std::optional<QJsonArray> JsonElements(const QJsonDocument& document, QString& error) {
  if (document.isArray()) {
    return document.array();
  }
  const QJsonObject object = document.object();
  if (object.contains(QLatin1String("results"))) {
    const QJsonValue results = object.value(QLatin1String("results"));
    if (results.isArray()) {
      return results.toArray();
    }
    error = QStringLiteral("\"results\" is not a list of frames");
    return std::nullopt;
  }
  if (object.contains(QLatin1String("frame"))) {
    return QJsonArray{object};
  }
  error = QStringLiteral(
      "a JSON object with neither \"results\" nor \"frame\", not a SatNOGS telemetry download");
  return std::nullopt;
}

// An identifier the API gives as a number or as text, as text; empty when absent.
QString IdText(const QJsonValue& value) {
  if (value.isString()) {
    return CleanText(value.toString());
  }
  if (!value.isDouble()) {
    return {};
  }
  constexpr qint64 kNotWhole = std::numeric_limits<qint64>::min();
  const qint64 whole = value.toInteger(kNotWhole);
  return whole != kNotWhole ? QString::number(whole) : QString::number(value.toDouble(), 'g', 17);
}

std::optional<SatnogsFrame> JsonFrame(const QJsonValue& value, QString& reason) {
  if (!value.isObject()) {
    reason = QStringLiteral("not an object");
    return std::nullopt;
  }
  const QJsonObject object = value.toObject();
  const QString hex = object.value(QLatin1String("frame")).toString();
  if (hex.size() > kLongestSatnogsLine) {
    // As a CSV line that long: no frame, and its copies would cost the most memory.
    reason = QStringLiteral("frame longer than %1 KiB").arg(kLongestSatnogsLine / 1024);
    return std::nullopt;
  }
  const auto bytes = HexBytes(hex.toLatin1(), reason);
  if (!bytes) {
    return std::nullopt;
  }
  const std::optional<QDateTime> time =
      ParseSatnogsTime(object.value(QLatin1String("timestamp")).toString().toLatin1());
  if (!time) {
    reason = QStringLiteral("no valid timestamp");
    return std::nullopt;
  }
  return SatnogsFrame{*bytes,
                      time,
                      CleanText(object.value(QLatin1String("observer")).toString()),
                      0,
                      IdText(object.value(QLatin1String("station_id"))),
                      IdText(object.value(QLatin1String("observation_id")))};
}

}  // namespace

ReceptionTimeRange::ReceptionTimeRange()
    : earliestMs(QDateTime(QDate(2000, 1, 1), QTime(0, 0), Qt::UTC).toMSecsSinceEpoch()),
      latestMs(QDateTime::currentDateTimeUtc().addDays(1).toMSecsSinceEpoch()) {}

bool ReceptionTimeRange::Contains(const QDateTime& utc) const {
  const qint64 ms = utc.toMSecsSinceEpoch();
  return utc.isValid() && ms >= earliestMs && ms <= latestMs;
}

std::optional<QDateTime> ParseSatnogsTime(QByteArrayView text) {
  text = text.trimmed();
  // YYYY-MM-DD?HH:MM:SS, the date and time parted by a blank or a T.
  constexpr qsizetype kSecondsEnd = 19;
  if (text.size() < kSecondsEnd || text[4] != '-' || text[7] != '-' ||
      (text[10] != ' ' && text[10] != 'T') || text[13] != ':' || text[16] != ':') {
    return std::nullopt;
  }
  const int year = Digits(text, 0, 4);
  const QDate date(year, Digits(text, 5, 2), Digits(text, 8, 2));
  qsizetype at = kSecondsEnd;
  int milliseconds = 0;
  if (at < text.size() && text[at] == '.') {
    // Microseconds and finer, as the API gives them, are cut to milliseconds.
    const qsizetype first = ++at;
    for (int scale = 100; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
      milliseconds += (text[at] - '0') * scale;
      scale /= 10;
    }
    if (at == first) {
      return std::nullopt;
    }
  }
  const QTime clock(Digits(text, 11, 2), Digits(text, 14, 2), Digits(text, 17, 2), milliseconds);
  const std::optional<int> offset = ZoneOffset(text.sliced(at));
  if (year < 0 || !date.isValid() || !clock.isValid() || !offset) {
    return std::nullopt;
  }
  return QDateTime(date, clock, Qt::UTC).addSecs(-*offset);
}

qsizetype SatnogsCsvSeparator(QByteArrayView line) {
  const auto at =
      std::find_if(line.begin(), line.end(), [](char c) { return c == '|' || c == ','; });
  return at == line.end() ? -1 : at - line.begin();
}

bool IsSatnogsCsvHeader(QByteArrayView line) {
  const qsizetype separator = SatnogsCsvSeparator(line);
  if (separator < 0) {
    return false;
  }
  const auto isName = [](QByteArrayView name) {
    name = name.trimmed();
    return !name.isEmpty() && std::all_of(name.begin(), name.end(), [](char c) {
      return std::isalpha(static_cast<unsigned char>(c)) || c == '_' || c == ' ';
    });
  };
  return isName(line.first(separator)) && isName(line.sliced(separator + 1));
}

std::optional<SatnogsFrame> ParseSatnogsCsvLine(QByteArrayView line, QString& reason) {
  const qsizetype separator = SatnogsCsvSeparator(line);
  if (separator < 0) {
    reason = QStringLiteral("no timestamp (expected \"YYYY-MM-DD HH:MM:SS|HEX\")");
    return std::nullopt;
  }
  const std::optional<QDateTime> time = ParseSatnogsTime(line.first(separator));
  if (!time) {
    reason = QStringLiteral("no valid timestamp");
    return std::nullopt;
  }
  const auto bytes = HexBytes(line.sliced(separator + 1), reason);
  if (!bytes) {
    return std::nullopt;
  }
  return SatnogsFrame{*bytes, time, QString(), 0, QString(), QString()};
}

bool ReadSatnogsCsv(QIODevice& device, const SatnogsVisitor& visit, QStringList& warnings,
                    QString& error) {
  WarningList warned(warnings);
  const ReceptionTimeRange range;
  LineReader lines(device);
  bool firstLine = true;
  for (;;) {
    switch (lines.Next()) {
      case LineReader::Step::kEnd:
        return true;
      case LineReader::Step::kReadError:
        error = QStringLiteral("cannot be read: %1").arg(device.errorString());
        return false;
      case LineReader::Step::kNulByte:
        error = QStringLiteral("line %1: a NUL byte, not a text file").arg(lines.Number());
        return false;
      case LineReader::Step::kOverlong:
        warned.Add(QStringLiteral("line %1: longer than %2 KiB, skipped")
                       .arg(lines.Number())
                       .arg(kLongestSatnogsLine / 1024));
        firstLine = false;
        continue;
      case LineReader::Step::kLine:
        break;
    }
    QByteArrayView line = lines.Line();
    if (lines.Number() == 1 && line.startsWith(kBom)) {
      line = line.sliced(kBom.size());
    }
    line = line.trimmed();
    if (line.isEmpty()) {
      continue;
    }
    QString reason;
    std::optional<SatnogsFrame> frame = ParseSatnogsCsvLine(line, reason);
    if (!frame) {
      WarnOfLine(lines, line, reason, std::exchange(firstLine, false), warned);
      continue;
    }
    firstLine = false;
    frame->position = lines.Number();
    KeepTimeInRange(*frame, range, "line", warned);
    if (!visit(*frame)) {
      return false;
    }
  }
}

bool ReadSatnogsJson(QIODevice& device, const SatnogsVisitor& visit, QStringList& warnings,
                     QString& error) {
  std::optional<QJsonArray> elements;
  {
    // The document goes once its list is taken out: the list shares its data.
    const QJsonDocument document = ReadJsonDocument(device, error);
    if (document.isNull() || !(elements = JsonElements(document, error))) {
      return false;
    }
  }
  WarningList warned(warnings);
  const ReceptionTimeRange range;
  std::int64_t element = 0;
  for (const QJsonValue& value : *elements) {
    ++element;
    QString reason;
    std::optional<SatnogsFrame> frame = JsonFrame(value, reason);
    if (!frame) {
      warned.Add(QStringLiteral("element %1: %2, skipped").arg(element).arg(reason));
      continue;
    }
    frame->position = element;
    KeepTimeInRange(*frame, range, "element", warned);
    if (!visit(*frame)) {
      return false;
    }
  }
  return true;
}

}  // namespace quilmar
