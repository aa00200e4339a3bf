// Loading the window's limits; see window_limits.h.
#include "window_limits.h"

#include <QFileInfo>

#include "limits/limits_file.h"

namespace quilmar {
namespace {

QString OriginName(const LimitSet& limits) {
  const QString origin = QString::fromStdString(limits.Origin());
  return origin == QString::fromLatin1(kDefaultLimitsName) ? QStringLiteral("default")
                                                           : QFileInfo(origin).fileName();
}

QString Refused(const LimitsLoad& load) {
  return QStringLiteral("The limits file was refused:\n%1")
      .arg(QString::fromStdString(load.error.Text()));
}

QString RefusedFileName(const LimitsLoad& load) {
  return QFileInfo(QString::fromStdString(load.error.file)).fileName();
}

// A file that loaded: its limits, named in the status bar.
WindowLimitsLoad Accepted(LimitSet limits) {
  WindowLimitsLoad result;
  result.limits = std::move(limits);
  result.summary = QStringLiteral("Limits: %1").arg(OriginName(result.limits));
  return result;
}

}  // namespace

WindowLimitsLoad LoadWindowLimits(const std::optional<std::string>& given) {
  LimitsLoad load = LoadLimits(given);
  if (load.limits) {
    return Accepted(std::move(*load.limits));
  }
  WindowLimitsLoad result;
  LimitsLoad fallback = LoadDefaultLimits();
  result.limits = fallback.limits ? std::move(*fallback.limits) : LimitSet();
  result.problem = Refused(load) + QStringLiteral("\n\nThe window uses the default limits.");
  result.summary = QStringLiteral("Limits: default (%1 refused)").arg(RefusedFileName(load));
  return result;
}

WindowLimitsLoad ReloadWindowLimits(const std::optional<std::string>& given,
                                    const LimitSet& current) {
  LimitsLoad load = LoadLimits(given);
  if (load.limits) {
    return Accepted(std::move(*load.limits));
  }
  WindowLimitsLoad result;
  result.limits = current;
  result.problem = Refused(load) + QStringLiteral("\n\nThe window keeps the limits it had (%1).")
                                       .arg(QString::fromStdString(current.Origin()));
  result.summary = QStringLiteral("Limits: %1 kept (%2 refused)")
                       .arg(OriginName(current), RefusedFileName(load));
  return result;
}

}  // namespace quilmar
