// The Archive menu; see archive_menu.h.
#include "archive_menu.h"

#include <QAction>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTimeZone>

#include "add_logs.h"
#include "archive/archive.h"
#include "archive/archive_time.h"
#include "archived_pass.h"
#include "passes_window.h"
#include "ui/main/live_archiving.h"
#include "ui/main/main_window.h"
#include "ui/main/user_settings.h"
#include "ui/trends/trend_chart.h"
#include "ui/trends/trends_window.h"

namespace quilmar {
namespace {

// The file dialog for the logs, then the station's callsign (the last one offered).
ArchiveMenu::LogsToAdd AskForLogs(QWidget* parent, const QString& lastStation) {
  ArchiveMenu::LogsToAdd chosen;
  chosen.files = QFileDialog::getOpenFileNames(
      parent, QStringLiteral("Add Logs to the Archive"), QString(),
      QStringLiteral("KISS logs and SatNOGS downloads (*.kss *.KSS *.csv *.json);;All files (*)"));
  if (chosen.files.isEmpty()) {
    return chosen;
  }
  bool ok = false;
  chosen.station = QInputDialog::getText(
      parent, QStringLiteral("Add Logs to the Archive"),
      QStringLiteral("Callsign of the station that received them (empty: the observer a "
                     "SatNOGS download names):"),
      QLineEdit::Normal, lastStation, &ok);
  if (!ok) {
    chosen.files.clear();
  }
  return chosen;
}

// The Archive menu goes before the menu bar's own commands (Memory, Info).
void InsertBeforeCommands(QMenuBar* bar, QMenu* menu) {
  for (QAction* action : bar->actions()) {
    if (action->objectName() == QLatin1String("MnuMemory")) {
      bar->insertMenu(action, menu);
      return;
    }
  }
  bar->addMenu(menu);
}

}  // namespace

ArchiveMenu::ArchiveMenu(MainWindow& window) : QObject(&window), window(window) {
  auto* menu = new QMenu(QStringLiteral("Archive"), &window);
  menu->setObjectName(QStringLiteral("MnuArchive"));
  menu->addAction(QStringLiteral("Trends..."), this, &ArchiveMenu::OpenTrends)
      ->setObjectName(QStringLiteral("MenuArchiveTrends"));
  menu->addAction(QStringLiteral("Passes"), this, &ArchiveMenu::OpenPasses)
      ->setObjectName(QStringLiteral("MenuArchivePasses"));
  menu->addAction(QStringLiteral("Add Logs..."), this, &ArchiveMenu::ChooseLogsToAdd)
      ->setObjectName(QStringLiteral("MenuArchiveAdd"));
  menu->addSeparator();
  menu->addAction(QStringLiteral("Open Archive..."), this, &ArchiveMenu::ChooseArchive)
      ->setObjectName(QStringLiteral("MenuArchiveOpen"));
  InsertBeforeCommands(window.menuBar(), menu);
  // A live session adds its frames to this archive, received by the station Add Logs names.
  window.SetArchiveStore([menu = QPointer<ArchiveMenu>(this)] {
    return menu ? menu->OpenStore() : OpenUserSettings();
  });
}

ArchiveMenu::~ArchiveMenu() { CloseAll(); }

std::unique_ptr<QSettings> ArchiveMenu::OpenStore() const {
  if (!settingsFile.isEmpty()) {
    return std::make_unique<QSettings>(settingsFile, QSettings::IniFormat);
  }
  return OpenUserSettings();
}

QString ArchiveMenu::ArchiveText() const { return ArchiveTextIn(*OpenStore()); }

std::optional<ArchiveLocation> ArchiveMenu::Location() {
  QString error;
  std::optional<ArchiveLocation> location = ParseArchiveLocation(ArchiveText(), error);
  if (!location) {
    Report(error);
  }
  return location;
}

bool ArchiveMenu::UseArchive(const QString& text) {
  QString error;
  if (!ParseArchiveLocation(text.trimmed(), error)) {
    Report(error);
    return false;
  }
  OpenStore()->setValue(QLatin1String(kArchiveLocationKey), text.trimmed());
  // An open Trends window reads the archive it was opened on: the next one reads this one.
  if (trendsWindow) {
    trendsWindow->close();
  }
  emit archiveChanged();
  return true;
}

void ArchiveMenu::ChooseArchive() {
  QInputDialog dialog(&window);
  dialog.setWindowTitle(QStringLiteral("Open Archive"));
  dialog.setLabelText(
      QStringLiteral("A SQLite archive file, or a PostgreSQL archive as\n"
                     "postgresql://user@host:port/dbname (the password from ~/.pgpass):"));
  dialog.setTextValue(ArchiveText());
  dialog.resize(520, dialog.sizeHint().height());
  if (dialog.exec() == QDialog::Accepted) {
    UseArchive(dialog.textValue());
  }
}

std::optional<std::vector<ArchivedPass>> ArchiveMenu::ReadPasses(const ArchiveLocation& location) {
  Archive archive;
  std::vector<ArchivedPass> passes;
  if (!archive.Open(location, true) ||
      !ForEachPass(archive, [&](const ArchivedPass& pass) { passes.push_back(pass); })) {
    Report(archive.Error());
    return std::nullopt;
  }
  return passes;
}

void ArchiveMenu::OpenPasses() {
  const std::optional<ArchiveLocation> location = Location();
  if (!location) {
    return;
  }
  std::optional<std::vector<ArchivedPass>> passes = ReadPasses(*location);
  if (!passes) {
    return;
  }
  if (!passesWindow) {
    passesWindow = new PassesWindow();
    passesWindow->setAttribute(Qt::WA_DeleteOnClose);
    // Over the main window's values, a little down and right, so both stay in reach.
    passesWindow->move(window.frameGeometry().topLeft() + QPoint(40, 60));
    connect(passesWindow, &PassesWindow::passOpened, this,
            [this](const ArchivedPass& pass) { OpenPass(pass); });
  }
  passesWindow->ShowPasses(location->display, std::move(*passes));
  passesWindow->show();
  passesWindow->raise();
  passesWindow->activateWindow();
}

void ArchiveMenu::ChooseLogsToAdd() {
  const QString lastStation = OpenStore()->value(QLatin1String(kArchiveStationKey)).toString();
  const LogsToAdd chosen =
      logsChooser ? logsChooser(lastStation) : AskForLogs(&window, lastStation);
  if (chosen.files.isEmpty()) {
    return;
  }
  OpenStore()->setValue(QLatin1String(kArchiveStationKey), chosen.station.trimmed());
  AddFiles(chosen.files);
}

void ArchiveMenu::AddFiles(const QStringList& files) {
  if (adding) {
    Report(
        QStringLiteral("Logs are being added to the archive already; add these once "
                       "that is done."));
    return;
  }
  const std::optional<ArchiveLocation> location = Location();
  if (!location) {
    return;
  }
  const QString station = OpenStore()->value(QLatin1String(kArchiveStationKey)).toString();
  QWidget* over = trendsWindow && trendsWindow->isActiveWindow()
                      ? static_cast<QWidget*>(trendsWindow)
                      : &window;
  adding = new AddLogs(*location, files, station, over);
  connect(adding, &AddLogs::finished, this, [this](const QStringList& lines, bool ok) {
    window.Report(ok ? QMessageBox::Information : QMessageBox::Warning, lines.join('\n'));
    adding->deleteLater();
    if (passesWindow && passesWindow->isVisible()) {
      OpenPasses();
    }
  });
  adding->Start();
}

void ArchiveMenu::OpenTrends() {
  if (!trendsWindow) {
    const std::optional<ArchiveLocation> location = Location();
    if (!location) {
      return;
    }
    trendsWindow = new TrendsWindow(*location);
    trendsWindow->setAttribute(Qt::WA_DeleteOnClose);
    // A point clicked on the chart opens its pass in the main window, on that frame.
    connect(trendsWindow, &TrendsWindow::filesDropped, this, &ArchiveMenu::AddFiles);
    connect(trendsWindow->Chart(), &TrendChart::pointClicked, this, [this](double time) {
      OpenPassAt(
          UtcText(QDateTime::fromSecsSinceEpoch(static_cast<qint64>(time), QTimeZone::utc())));
    });
  }
  trendsWindow->show();
  trendsWindow->raise();
  trendsWindow->activateWindow();
}

bool ArchiveMenu::OpenPass(const ArchivedPass& pass, const QString& frameTime) {
  const std::optional<ArchiveLocation> location = Location();
  if (!location) {
    return false;
  }
  Archive archive;
  if (!archive.Open(*location, true)) {
    Report(archive.Error());
    return false;
  }
  std::string error;
  const bool shown =
      window.ShowFramesFrom(ArchivedPassLabel(location->display, pass), [&](FrameTable& table) {
        const ArchivedPassTable filled = FillFromArchivedPass(archive, pass, frameTime, table);
        error = filled.summary.error;
        return MainWindow::FilledTable{filled.summary, filled.frameIndex};
      });
  if (shown && !error.empty()) {
    Report(QString::fromStdString(error));
  }
  return shown && error.empty();
}

bool ArchiveMenu::OpenPassAt(const QString& frameTime) {
  const std::optional<ArchiveLocation> location = Location();
  if (!location) {
    return false;
  }
  const std::optional<std::vector<ArchivedPass>> passes = ReadPasses(*location);
  if (!passes) {
    return false;
  }
  for (const ArchivedPass& pass : *passes) {
    if (pass.start <= frameTime && frameTime <= pass.end) {
      return OpenPass(pass, frameTime);
    }
  }
  Report(QStringLiteral("No pass of %1 holds a frame at %2.").arg(location->display, frameTime));
  return false;
}

void ArchiveMenu::CloseAll() {
  if (passesWindow) {
    passesWindow->close();
  }
  if (trendsWindow) {
    trendsWindow->close();
  }
}

void ArchiveMenu::Report(const QString& text) { window.Report(QMessageBox::Warning, text); }

}  // namespace quilmar
