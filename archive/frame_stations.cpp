// The stations of a housekeeping frame; see frame_stations.h.
#include "frame_stations.h"

#include <QDateTime>
#include <QSqlQuery>
#include <QVariant>

#include "archive.h"
#include "archive_time.h"

namespace quilmar {

std::optional<QStringList> HousekeepingStationsAt(Archive& archive, std::int64_t utcSeconds) {
  // The time index finds the frames of that second, the reception index their stations:
  // a lookup per hovered point, never a scan.
  QSqlQuery query(archive.Database());
  query.setForwardOnly(true);
  query.prepare(
      "SELECT DISTINCT r.station FROM frame f JOIN reception r ON r.frame_digest = f.digest"
      " WHERE f.time_utc = ? AND f.frame_type = 'S' ORDER BY r.station");
  query.addBindValue(UtcText(QDateTime::fromSecsSinceEpoch(utcSeconds, Qt::UTC)));
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

}  // namespace quilmar
