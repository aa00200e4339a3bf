// The main window's "Archive" menu: which archive the window reads ("Open Archive...", a
// SQLite file or a postgresql:// URL, remembered in the desktop's settings store without its
// password, which stays in memory for the session), the "Passes" list, and "Trends...". A
// pass chosen in the list, or a point clicked in the Trends window, is shown in the main
// window as a log would be. Every read of the archive runs in a thread of its own (see
// archive_read.h): the window never waits for the database, and a slow read can be cancelled.
#pragma once

#include <QObject>
#include <QPointer>
#include <QSettings>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

#include "archive/archive_location.h"
#include "archive/archive_passes.h"

namespace quilmar {

class Archive;
class MainWindow;
class AddLogs;
class ArchiveRead;
class PassesWindow;
class TrendsWindow;
struct TrendPointRef;

class ArchiveMenu : public QObject {
  Q_OBJECT
 public:
  explicit ArchiveMenu(MainWindow& window);
  ~ArchiveMenu() override;

  // Keeps the chosen archive in this INI file instead of the desktop's settings store.
  void UseSettingsFile(const QString& path) { settingsFile = path; }
  // The archive the window reads: the one chosen last, else the default one; a password given
  // in this session is part of it, one that was in the settings store is moved out of it.
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
  // Reads the pass in the background and shows it in the main window, standing on the frame
  // with key frameKey (the first frame for 0); a failure is reported.
  void OpenPass(const ArchivedPass& pass, std::int64_t frameKey = 0);
  // Shows the pass of the frame behind a point of the Trends chart, on that frame (for an
  // hour's extreme, the frame with that value in that hour), and brings the window to the front.
  void OpenPoint(const TrendPointRef& point);
  // A read of the archive is under way (its busy dialog may show).
  bool IsReading() const;
  void CloseAll();

 signals:
  void archiveChanged();

 private:
  void Report(const QString& text);
  // Starts a read of the archive in the background: a read still under way is dropped, as
  // the newest request is the one the user waits for; apply runs once it succeeded.
  using ReadWork = std::function<bool(Archive& archive, const std::atomic<bool>& cancelled)>;
  void StartRead(const ArchiveLocation& location, const QString& busyText, ReadWork work,
                 std::function<void()> apply);
  void ShowPasses(const QString& archiveName, std::vector<ArchivedPass> passes);
  struct PassRead;
  void ShowReadPass(const ArchiveLocation& location, PassRead& read, bool toFront);

  std::unique_ptr<QSettings> OpenStore() const;

  MainWindow& window;
  QString settingsFile;
  QPointer<PassesWindow> passesWindow;
  QPointer<TrendsWindow> trendsWindow;
  QPointer<AddLogs> adding;
  QPointer<ArchiveRead> reading;
  LogsChooser logsChooser;
};

}  // namespace quilmar
