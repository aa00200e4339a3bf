// File > Open Recent: the last ten logs opened, most recent first, kept in the platform's
// settings store (never in the two-line window-position file of the current directory).
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

#include "core/kiss_reader.h"

class QMenu;
class QSettings;

namespace quilmar {

inline constexpr int kRecentLogCount = 10;

class RecentLogs : public QObject {
  Q_OBJECT
 public:
  // Fills menu with one entry per remembered log.
  explicit RecentLogs(QMenu* menu);
  ~RecentLogs() override;

  // Keeps the list in an INI file at path instead of the user's settings (tests, portable use).
  void UseSettingsFile(const QString& path);

  QStringList Paths() const;
  // Puts the log first, dropping an older entry of the same path and any beyond ten.
  void Add(const QString& path);
  void Remove(const QString& path);

  // A log that could be opened is remembered, even when it was cut short.
  void LogLoaded(const QString& path, const LoadSummary& summary);
  void SetLoading(bool on);

 signals:
  void logChosen(const QString& path);
  // The chosen log is gone; it has been dropped from the list.
  void logMissing(const QString& path);

 private:
  std::unique_ptr<QSettings> OpenStore() const;
  void Store(const QStringList& paths);
  void Rebuild();
  void Choose(const QString& path);

  QMenu* menu;
  QString settingsFile;
  bool loading = false;
};

}  // namespace quilmar
