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
#include "archive/trend_query.h"
#include "archive_read.h"
#include "archived_pass.h"
#include "passes_window.h"
#include "ui/limits/frame_limits.h"
#include "ui/live/archive_password.h"
#include "ui/live/live_archiving.h"
#include "ui/live/user_settings.h"
#include "ui/shell/main_window.h"
#include "ui/trends/no_archive_yet.h"
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

constexpr std::int64_t kHour = 3600;

// The pass whose frames span the time, if any.
std::optional<ArchivedPass> PassAt(Archive& archive, const QDateTime& time, bool& ok) {
  std::optional<ArchivedPass> found;
  ok = ForEachPass(archive, [&](const ArchivedPass& pass) {
    if (!found && pass.startTime <= time && time <= pass.endTime) {
      found = pass;
    }
  });
  return found;
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

QString ArchiveMenu::ArchiveText() const {
  const std::unique_ptr<QSettings> store = OpenStore();
  MovePasswordOutOf(*store);
  return ArchiveTextIn(*store);
}

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
  // The password stays in memory for the session; the settings file never holds it.
  OpenStore()->setValue(QLatin1String(kArchiveLocationKey), RememberArchiveText(text.trimmed()));
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
                     "postgresql://user@host:port/dbname (the password from ~/.pgpass, or\n"
                     "given as user:password@, kept for this session only and never saved):"));
  dialog.setTextValue(WithoutArchivePassword(ArchiveText()));
  dialog.resize(520, dialog.sizeHint().height());
  if (dialog.exec() == QDialog::Accepted) {
    UseArchive(dialog.textValue());
  }
}

void ArchiveMenu::StartRead(const ArchiveLocation& location, const QString& busyText, ReadWork work,
                            std::function<void()> apply) {
  if (reading) {
    reading->Cancel();
  }
  QWidget* over = &window;
  if (trendsWindow && trendsWindow->isActiveWindow()) {
    over = trendsWindow;
  } else if (passesWindow && passesWindow->isActiveWindow()) {
    over = passesWindow;
  }
  reading = new ArchiveRead(location, busyText, over, this);
  ArchiveRead* read = reading;
  connect(read, &ArchiveRead::finished, this,
          [this, read, apply = std::move(apply)](bool ok, const QString& error) {
            read->deleteLater();
            if (ok) {
              apply();
            } else {
              Report(error);
            }
          });
  connect(read, &ArchiveRead::cancelled, read, &QObject::deleteLater);
  read->Start(std::move(work));
}

bool ArchiveMenu::IsReading() const { return reading && !reading->IsCancelled(); }

void ArchiveMenu::OpenPasses() {
  const std::optional<ArchiveLocation> location = Location();
  if (!location) {
    return;
  }
  if (!ArchiveExistsYet(*location)) {
    window.Report(QMessageBox::Information, NoArchiveYetText(*location, false));
    return;
  }
  auto passes = std::make_shared<std::vector<ArchivedPass>>();
  StartRead(
      *location, tr("Reading the passes of %1...").arg(location->display),
      [passes](Archive& archive, const std::atomic<bool>& cancelled) {
        return ForEachPass(archive, [&](const ArchivedPass& pass) {
          if (!cancelled) {
            passes->push_back(pass);
          }
        });
      },
      [this, passes, name = location->display] { ShowPasses(name, std::move(*passes)); });
}

void ArchiveMenu::ShowPasses(const QString& archiveName, std::vector<ArchivedPass> passes) {
  if (!passesWindow) {
    passesWindow = new PassesWindow();
    passesWindow->setAttribute(Qt::WA_DeleteOnClose);
    // Over the main window's values, a little down and right, so both stay in reach.
    passesWindow->move(window.frameGeometry().topLeft() + QPoint(40, 60));
    connect(passesWindow, &PassesWindow::passOpened, this,
            [this](const ArchivedPass& pass) { OpenPass(pass); });
  }
  passesWindow->ShowPasses(archiveName, std::move(passes));
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
  QWidget* over = &window;
  if (trendsWindow && trendsWindow->isActiveWindow()) {
    over = trendsWindow;
  }
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
    connect(trendsWindow, &TrendsWindow::filesDropped, this, &ArchiveMenu::AddFiles);
    // A point clicked on the chart opens its pass in the main window, on that frame.
    connect(trendsWindow->Chart(), &TrendChart::pointClicked, this, &ArchiveMenu::OpenPoint);
    // Limits on the chart and the episodes in view judged as this window judges, reloaded too.
    trendsWindow->SetLimits(window.frameLimits().Limits());
    connect(&window.frameLimits(), &FrameLimits::limitsChanged, trendsWindow.data(),
            [this] { trendsWindow->SetLimits(window.frameLimits().Limits()); });
  }
  trendsWindow->show();
  trendsWindow->raise();
  trendsWindow->activateWindow();
}

// What a background read of a pass hands the window: the table filled in the reading
// thread, and the pass it is.
struct ArchiveMenu::PassRead {
  ArchivedPass pass;
  FrameTable table;
  ArchivedPassTable filled;
};

void ArchiveMenu::OpenPass(const ArchivedPass& pass, std::int64_t frameKey) {
  const std::optional<ArchiveLocation> location = Location();
  if (!location) {
    return;
  }
  auto read = std::make_shared<PassRead>();
  read->pass = pass;
  StartRead(
      *location, tr("Reading the pass of %1...").arg(pass.start),
      [read, frameKey](Archive& archive, const std::atomic<bool>& cancelled) {
        read->filled = FillFromArchivedPass(archive, read->pass, frameKey, read->table, &cancelled);
        return true;
      },
      [this, read, location = *location] { ShowReadPass(location, *read, false); });
}

void ArchiveMenu::OpenPoint(const TrendPointRef& point) {
  const std::optional<ArchiveLocation> location = Location();
  if (!location) {
    return;
  }
  auto read = std::make_shared<PassRead>();
  auto found = std::make_shared<bool>(false);
  const QString time =
      UtcText(QDateTime::fromSecsSinceEpoch(static_cast<qint64>(point.time), QTimeZone::utc()));
  StartRead(
      *location, tr("Reading the pass of the frame at %1...").arg(time),
      [read, found, point](Archive& archive, const std::atomic<bool>& cancelled) {
        TrendFrame frame{point.key, static_cast<std::int64_t>(point.time)};
        if (frame.key == 0) {
          // An hour's extreme: the frame of the hour that has that value.
          const std::int64_t hour = frame.utcSeconds - frame.utcSeconds % kHour;
          const std::optional<TrendFrame> extreme = FrameOfExtreme(
              archive, point.parameterRow, {hour, hour + kHour - 1}, point.hourHighest);
          if (!extreme) {
            return archive.Error().isEmpty();
          }
          frame = *extreme;
        }
        bool ok = true;
        const std::optional<ArchivedPass> pass =
            PassAt(archive, QDateTime::fromSecsSinceEpoch(frame.utcSeconds, QTimeZone::utc()), ok);
        if (!ok || !pass || cancelled) {
          return ok;
        }
        read->pass = *pass;
        read->filled = FillFromArchivedPass(archive, *pass, frame.key, read->table, &cancelled);
        *found = true;
        return true;
      },
      [this, read, found, time, location = *location] {
        if (!*found) {
          Report(tr("No pass of %1 holds a frame at %2.").arg(location.display, time));
          return;
        }
        ShowReadPass(location, *read, true);
      });
}

void ArchiveMenu::ShowReadPass(const ArchiveLocation& location, PassRead& read, bool toFront) {
  const bool shown = window.ShowFramesFrom(
      ArchivedPassLabel(location.display, read.pass), [&read](FrameTable& table) {
        std::swap(table.records, read.table.records);
        table.frameCount = read.table.frameCount;
        return MainWindow::FilledTable{read.filled.summary, read.filled.frameIndex};
      });
  if (shown && !read.filled.summary.error.empty()) {
    Report(QString::fromStdString(read.filled.summary.error));
  }
  if (shown && toFront) {
    window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
    window.show();
    window.raise();
    window.activateWindow();
  }
}

void ArchiveMenu::CloseAll() {
  if (reading) {
    reading->Cancel();
  }
  if (passesWindow) {
    passesWindow->close();
  }
  if (trendsWindow) {
    trendsWindow->close();
  }
}

void ArchiveMenu::Report(const QString& text) { window.Report(QMessageBox::Warning, text); }

}  // namespace quilmar
