// The stations of a housekeeping frame; see frame_stations.h.
#include "frame_stations.h"

#include <QDateTime>
#include <QSqlQuery>
#include <QVariant>

#include "archive.h"
#include "archive_time.h"

namespace quilmar {

namespace {

// The stations of the frames `where` picks (one value bound), sorted and each once.
std::optional<QStringList> StationsWhere(Archive& archive, const char* where,
                                         const QVariant& value) {
  // The time or key index finds the frames, the reception index their stations: a lookup
  // per hovered point, never a scan.
  QSqlQuery query(archive.Database());
  query.setForwardOnly(true);
  query.prepare(QStringLiteral("SELECT DISTINCT r.station FROM frame f JOIN reception r"
                               " ON r.frame_id = f.id WHERE %1 AND f.frame_type = 'S'"
                               " ORDER BY r.station")
                    .arg(QLatin1String(where)));
  query.addBindValue(value);
  if (!query.exec()) {
    archive.Fail(query);
    return std::nullopt;
  }
  QStringList stations;
  while (query.next()) {
    stations << query.value(0).toString();
  }
  return stations;
}

}  // namespace

std::optional<QStringList> HousekeepingStationsAt(Archive& archive, std::int64_t utcSeconds) {
  return StationsWhere(archive, "f.time_utc = ?",
                       UtcText(QDateTime::fromSecsSinceEpoch(utcSeconds, Qt::UTC)));
}

std::optional<QStringList> FrameStations(Archive& archive, std::int64_t frameKey) {
  return StationsWhere(archive, "f.id = ?", QVariant::fromValue(static_cast<qint64>(frameKey)));
}

}  // namespace quilmar
