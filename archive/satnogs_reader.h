// SatNOGS DB downloads: the CSV download (one frame a line, "TIME|HEX" or "TIME,HEX", an
// optional header line such as "timestamp|frame") and the telemetry API's JSON (a list of
// objects with frame, timestamp, observer, station_id, observation_id; the paged answer's
// object with "results"; or one such object alone). Each frame is the AX.25 frame as hex,
// without the KISS command byte. TIME is "YYYY-MM-DD HH:MM:SS" or ISO 8601
// "YYYY-MM-DDTHH:MM:SS[.fff]" with "Z" or an offset; a time without an offset is UTC, as
// SatNOGS keeps its times.
//
// Memory stays bounded whatever the file holds: lines are read in pieces, a line longer than
// kLongestSatnogsLine is skipped with a warning, a JSON download larger than
// kLargestSatnogsJson is refused, and after kMostSatnogsWarnings warnings only their number
// is kept.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QIODevice>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>

namespace quilmar {

inline constexpr qsizetype kLongestSatnogsLine = 64 * 1024;
// Reading JSON holds the text and the parsed document, about two and a half times the file:
// 64 MiB keeps a read under some 160 MB. The API's pages are far smaller, and the CSV
// download, read line by line, has no such bound.
inline constexpr qint64 kLargestSatnogsJson = 64 * 1024 * 1024;
inline constexpr qsizetype kMostSatnogsWarnings = 200;

struct SatnogsFrame {
  QByteArray ax25;  // the frame's bytes, from the hex text
  // UTC; empty when the time lies outside ReceptionTimeRange (a warning said so).
  std::optional<QDateTime> receivedAt;
  QString observer;       // empty when the source does not name one
  std::int64_t position;  // line (CSV) or element (JSON), from 1
  QString stationId;      // the API's station_id as text; empty when absent
  QString observationId;  // the API's observation_id as text; empty when absent
};

// Called per frame; returning false stops the read (a database error).
using SatnogsVisitor = std::function<bool(const SatnogsFrame& frame)>;

// The span a ground station's reception time can lie in: 2000-01-01 00:00 UTC up to a day
// after the moment the range was made (a station clock a little ahead). A time outside it
// is a wrong clock, not a reception.
class ReceptionTimeRange {
 public:
  ReceptionTimeRange();
  bool Contains(const QDateTime& utc) const;

 private:
  qint64 earliestMs;
  qint64 latestMs;
};

// A SatNOGS time in either form, as UTC; nullopt when it is not one.
std::optional<QDateTime> ParseSatnogsTime(QByteArrayView text);

// The index of the line's separator, the first '|' or ','; -1 when it has none.
qsizetype SatnogsCsvSeparator(QByteArrayView line);

// True for a column header line: two names of letters (and '_' or blanks) around the
// separator, "timestamp|frame", "Timestamp,Frame".
bool IsSatnogsCsvHeader(QByteArrayView line);

// One CSV line, its end stripped; nullopt with the reason when it is malformed. The time is
// kept as read, in range or not.
std::optional<SatnogsFrame> ParseSatnogsCsvLine(QByteArrayView line, QString& reason);

// Reads the whole device. A malformed line or element is a warning ("line N: reason,
// skipped"); a time out of range is a warning and the frame is kept without it. False when
// the visitor stopped, or with the reason in error when the device is no such download (a
// NUL byte in CSV, JSON that is unreadable, too large or of another shape) or cannot be read.
bool ReadSatnogsCsv(QIODevice& device, const SatnogsVisitor& visit, QStringList& warnings,
                    QString& error);
bool ReadSatnogsJson(QIODevice& device, const SatnogsVisitor& visit, QStringList& warnings,
                     QString& error);

}  // namespace quilmar
