// The recently opened logs and their menu; see recent_logs.h.
#include "recent_logs.h"

#include <QAction>
#include <QFileInfo>
#include <QMenu>
#include <QSettings>

#include "ui/live/user_settings.h"

namespace quilmar {
namespace {

constexpr char kRecentLogsKey[] = "recentLogs";

QString Absolute(const QString& path) { return QFileInfo(path).absoluteFilePath(); }

}  // namespace

RecentLogs::RecentLogs(QMenu* menu) : QObject(menu), menu(menu) {
  menu->setObjectName(QStringLiteral("MenuFileOpenRecent"));
  Rebuild();
}

RecentLogs::~RecentLogs() = default;

void RecentLogs::UseSettingsFile(const QString& path) {
  settingsFile = path;
  Rebuild();
}

std::unique_ptr<QSettings> RecentLogs::OpenStore() const {
  if (!settingsFile.isEmpty()) {
    return std::make_unique<QSettings>(settingsFile, QSettings::IniFormat);
  }
  return OpenUserSettings();
}

QStringList RecentLogs::Paths() const {
  QStringList paths = OpenStore()->value(QLatin1String(kRecentLogsKey)).toStringList();
  // The store may have been edited by hand or by an older program.
  paths.removeAll(QString());
  paths.removeDuplicates();
  return paths.mid(0, kRecentLogCount);
}

void RecentLogs::Store(const QStringList& paths) {
  OpenStore()->setValue(QLatin1String(kRecentLogsKey), paths);
  Rebuild();
}

void RecentLogs::Add(const QString& path) {
  const QString entry = Absolute(path);
  QStringList paths = Paths();
  paths.removeAll(entry);
  paths.prepend(entry);
  Store(paths.mid(0, kRecentLogCount));
}

void RecentLogs::Remove(const QString& path) {
  QStringList paths = Paths();
  paths.removeAll(path);
  Store(paths);
}

void RecentLogs::LogLoaded(const QString& path, const LoadSummary& summary) {
  if (summary.error.empty() || summary.bytesRead > 0) {
    Add(path);
  }
}

void RecentLogs::SetLoading(bool on) {
  loading = on;
  menu->setEnabled(!on && !menu->isEmpty());
}

void RecentLogs::Rebuild() {
  // Later, not now: the entry being chosen may be the one whose signal is still running.
  for (QAction* old : menu->actions()) {
    menu->removeAction(old);
    old->deleteLater();
  }
  for (const QString& path : Paths()) {
    // A '&' in a file name would otherwise mark a shortcut letter.
    QString caption = path;
    caption.replace(QLatin1Char('&'), QStringLiteral("&&"));
    QAction* entry = menu->addAction(caption);
    connect(entry, &QAction::triggered, this, [this, path] { Choose(path); });
  }
  menu->setEnabled(!loading && !menu->isEmpty());
}

void RecentLogs::Choose(const QString& path) {
  if (loading) {
    return;
  }
  if (!QFileInfo(path).isFile()) {
    Remove(path);
    emit logMissing(path);
    return;
  }
  emit logChosen(path);
}

}  // namespace quilmar
