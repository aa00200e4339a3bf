// The main window's "Archive" menu: which archive the window reads ("Open Archive...", a
// SQLite file or a postgresql:// URL, remembered in the desktop's settings store), the
// "Passes" list, and "Trends...". A pass chosen in the list, or a point clicked in the
// Trends window, is shown in the main window as a log would be.
#pragma once

#include <QObject>
#include <QPointer>
#include <QSettings>
#include <functional>
#include <memory>
#include <optional>

#include "archive/archive_location.h"
#include "archive/archive_passes.h"

namespace quilmar {

class MainWindow;
class AddLogs;
class PassesWindow;
class TrendsWindow;

class ArchiveMenu : public QObject {
  Q_OBJECT
 public:
  explicit ArchiveMenu(MainWindow& window);
  ~ArchiveMenu() override;

  // Keeps the chosen archive in this INI file instead of the desktop's settings store.
  void UseSettingsFile(const QString& path) { settingsFile = path; }
  // The archive the window reads: the one chosen last, else the default one.
  QString ArchiveText() const;
  std::optional<ArchiveLocation> Location();
  // Remembers text as the window's archive; false (reported) when it names no archive.
  bool UseArchive(const QString& text);

  void ChooseArchive();
  void OpenPasses();
  // The Trends window on the window's archive; an open one is brought to the front.
  void OpenTrends();
  // Archive > Add Logs...: the files and the receiving station asked for, then AddFiles.
  void ChooseLogsToAdd();
  // Adds KISS logs or SatNOGS downloads to the archive in the background (one at a time).
  void AddFiles(const QStringList& files);
  // The chooser of Add Logs...: the files, and the station (empty files when cancelled).
  struct LogsToAdd {
    QStringList files;
    QString station;
  };
  using LogsChooser = std::function<LogsToAdd(const QString& lastStation)>;
  void SetLogsChooser(LogsChooser chooser) { logsChooser = std::move(chooser); }
  // Shows the pass in the main window, standing on the frame timed frameTime (UTC text as
  // stored; the first frame when none matches). False (reported) on failure.
  bool OpenPass(const ArchivedPass& pass, const QString& frameTime = {});
  // Shows the pass holding the frame timed frameTime.
  bool OpenPassAt(const QString& frameTime);
  void CloseAll();

 signals:
  void archiveChanged();

 private:
  void Report(const QString& text);
  std::optional<std::vector<ArchivedPass>> ReadPasses(const ArchiveLocation& location);

  std::unique_ptr<QSettings> OpenStore() const;

  MainWindow& window;
  QString settingsFile;
  QPointer<PassesWindow> passesWindow;
  QPointer<TrendsWindow> trendsWindow;
  QPointer<AddLogs> adding;
  LogsChooser logsChooser;
};

}  // namespace quilmar
