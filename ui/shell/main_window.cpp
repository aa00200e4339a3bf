// The main window's frame: controls placed from the twip table, menus, status bar, start-up,
// shutdown; the parts are built here and wired in main_window_parts.cpp.
#include "main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QIcon>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QScrollBar>
#include <QShortcut>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextEdit>
#include <string_view>

#include "core/version.h"
#include "load_progress.h"
#include "path_label.h"
#include "settings_file.h"
#include "ui/chart/chart_follower.h"
#include "ui/chart/parameter_graph.h"
#include "ui/frame/frame_navigator.h"
#include "ui/frame/frame_view.h"
#include "ui/frame/hex_dump.h"
#include "ui/frame/missing_frames_model.h"
#include "ui/limits/frame_limits.h"
#include "ui/live/alarm_window.h"
#include "ui/live/desktop_notifier.h"
#include "ui/live/limit_alarms.h"
#include "ui/look/look.h"
#include "ui/look/twips.h"
#include "ui/model/frame_table_model.h"

namespace quilmar {
namespace {

struct ShellPlace {
  std::string_view name;
  int left;
  int top;
  int width;
  int height;
};

// Twips within the client area, or within the tab for RichTextBox1. The client area is
// widened past the designed 9960 twips so the missing-frames list, the range selection and
// the frame-type boxes, designed out of view on the right, can be seen and used.
constexpr int kClientWidth = 16575;
constexpr int kClientHeight = 6795;
constexpr ShellPlace kShellPlaces[] = {
    {"Hexdump", 120, 120, 9735, 5535},
    {"HScroll1", 8520, 5760, 1335, 495},
    {"Text2", 8400, 6360, 1455, 195},
    {"RichTextBox1", 240, 720, 9255, 4575},
    {"List1", 14880, 1920, 1575, 1425},
    {"Label9", 14880, 3480, 1335, 495},
    {"LatestValuesNote", 10320, 4200, 6135, 1095},
};

template <typename Widget>
Widget* Placed(Widget* widget, std::string_view name) {
  widget->setObjectName(QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
  for (const ShellPlace& place : kShellPlaces) {
    if (place.name == name) {
      PlaceInTwips(widget, place.left, place.top, place.width, place.height);
    }
  }
  return widget;
}

// Controls on a tab were designed relative to the whole tab control, tab strip included,
// while a Qt page starts below the strip. A canvas the size of the tab control, shifted back
// by the page's offset, gives them their designed places.
class TabPage : public QWidget {
 public:
  explicit TabPage(QTabWidget* tabs) : tabs(tabs), canvas(new QWidget(this)) {
    canvas->resize(tabs->size());
  }
  QWidget* Canvas() const { return canvas; }

 protected:
  void resizeEvent(QResizeEvent*) override { Align(); }
  void showEvent(QShowEvent*) override { Align(); }

 private:
  void Align() {
    if (tabs->isAncestorOf(this)) {
      canvas->setGeometry(QRect(-mapTo(tabs, QPoint(0, 0)), tabs->size()));
    }
  }
  QTabWidget* tabs;
  QWidget* canvas;
};

}  // namespace

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent), settingsPath(QString::fromLatin1(kSettingsFileName)) {
  report = [this](QMessageBox::Icon icon, const QString& title, const QString& text) {
    auto* box = new QMessageBox(icon, title, text, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    // Only the last word before the program ends waits for the user; loads never block.
    if (icon == QMessageBox::Critical) {
      box->exec();
    } else {
      box->open();
    }
  };
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
  setWindowIcon(QIcon(QStringLiteral(":/quilmar/icon.svg")));
  BuildClientArea();
  // The load sequence lives in the status bar, and the File menu's commands use it.
  BuildStatusBar();
  BuildMenus();
  ConnectParts();
  // The layout keeps the window at least as large as the controls placed by their twips; it
  // may be made larger (or maximised), which gives the status bar's lines more room.
  StartUp();
}

MainWindow::~MainWindow() = default;

void MainWindow::BuildClientArea() {
  model = new FrameTableModel(this);
  limits = new FrameLimits(*model, this);
  auto* clientArea = new QWidget(this);
  clientArea->setFixedSize(Px(kClientWidth), Px(kClientHeight));
  setCentralWidget(clientArea);
  QWidget* graphTab = BuildTabs(clientArea);
  graph = new ParameterGraph(graphTab);
  graph->SetLimits(limits);
  rangeControls = new GraphRangeControls(clientArea);

  frameScrollBar = Placed(new QScrollBar(Qt::Horizontal, clientArea), "HScroll1");
  frameScrollBar->setRange(1, 1);
  frameScrollBar->setValue(1);
  frameScrollBar->setSingleStep(1);
  frameScrollBar->setPageStep(1);
  frameScrollBar->setEnabled(false);

  positionText = Placed(new QLineEdit(clientArea), "Text2");
  positionText->setReadOnly(true);
  positionText->setFrame(false);
  positionText->setFocusPolicy(Qt::NoFocus);
  QPalette look = positionText->palette();
  look.setColor(QPalette::Base, look.color(QPalette::Button));
  look.setColor(QPalette::Text, look.color(QPalette::WindowText));
  positionText->setPalette(look);
  navigator = new FrameNavigator(*model, *view, frameScrollBar, positionText, hexDumpView, this);
  navigator->SetLimits(limits);
  chartFollower = new ChartFollower(*model, *graph, *rangeControls, this);
  auto* latestNote = Placed(new QLabel(clientArea), "LatestValuesNote");
  latestNote->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  latestNote->setWordWrap(true);
  SetPaletteColour(latestNote, QPalette::WindowText, kCaptionGrey);
  navigator->SetLatestValuesNote(latestNote);

  missingModel = new MissingFramesModel(this);
  missingFramesList = Placed(new MissingFramesList(clientArea), "List1");
  missingFramesList->SetModel(missingModel);
  missingCountLabel = Placed(new QLabel(clientArea), "Label9");
  missingCountLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  // A log whose frame numbers jump far misses millions: the count then takes a line of its
  // own, as the two-line box allows.
  missingCountLabel->setWordWrap(true);
  SetPaletteColour(missingCountLabel, QPalette::WindowText, kCaptionGrey);
}

QWidget* MainWindow::BuildTabs(QWidget* clientArea) {
  tabs = Placed(new QTabWidget(clientArea), "Hexdump");
  QWidget* canvases[5] = {};
  const char* captions[5] = {"EPS / TCS", "COM / CDHS", "ADCS", "Graph", "Hexdump"};
  for (int i = 0; i < 5; ++i) {
    auto* page = new TabPage(tabs);
    tabs->addTab(page, QString::fromLatin1(captions[i]));
    canvases[i] = page->Canvas();
  }
  tabs->setCurrentIndex(0);
  view = new FrameView(canvases[0], canvases[1], canvases[2], clientArea);
  hexDumpView = Placed(new QTextEdit(canvases[4]), "RichTextBox1");
  SetUpHexDumpArea(*hexDumpView);
  return canvases[3];
}

void MainWindow::BuildMenus() {
  QMenu* file = menuBar()->addMenu(QStringLiteral("File"));
  file->setObjectName(QStringLiteral("MnuFile"));
  BuildFileCommands(file);
  file->addSeparator();
  BuildLiveSteps(file);
  file->addSeparator();
  QAction* exit = file->addAction(QStringLiteral("Exit"), this, &MainWindow::MenuFileExitClick);
  exit->setObjectName(QStringLiteral("MenuFileExit"));

  QMenu* settings = menuBar()->addMenu(QStringLiteral("Settings"));
  settings->setObjectName(QStringLiteral("MnuSettings"));
  // Only the check mark toggles; nothing reads it.
  QAction* writeTlm = settings->addAction(QStringLiteral("Write TLM File"));
  writeTlm->setObjectName(QStringLiteral("WriteTLMFile"));
  writeTlm->setCheckable(true);
  writeTlm->setChecked(true);
  BuildLimitsCommands(settings);

  // Commands on the menu bar itself, without a drop-down.
  QAction* memory = menuBar()->addAction(QStringLiteral("Memory"));
  memory->setObjectName(QStringLiteral("MnuMemory"));
  connect(memory, &QAction::triggered, this, &MainWindow::memoryDumpRequested);
  QAction* info = menuBar()->addAction(QStringLiteral("Info"));
  info->setObjectName(QStringLiteral("MnuInfo"));
  connect(info, &QAction::triggered, this, &MainWindow::infoRequested);
  BuildAlarms(settings);
}

void MainWindow::BuildStatusBar() {
  pathLabel = new PathLabel(this);
  pathLabel->setObjectName(QStringLiteral("Label10"));
  pathLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
  loadMessage = new QLabel(this);
  loadMessage->setObjectName(QStringLiteral("LoadMessage"));
  progress = new LoadProgress(this);
  loadSequence = new LoadSequence(*model, *this, *progress, *loadMessage, this);
  connect(loadSequence, &LoadSequence::loadingChanged, this, &MainWindow::SetLoading);
  // The path first, then the session's line the live steps put there.
  statusBar()->insertWidget(0, pathLabel, 1);
  statusBar()->addPermanentWidget(loadMessage);
  limitsStatus = new QLabel(this);
  limitsStatus->setObjectName(QStringLiteral("LimitsStatus"));
  statusBar()->addPermanentWidget(limitsStatus);
  statusBar()->addPermanentWidget(progress);
  // Room for the progress bar from the start, so the window does not grow when a long load
  // shows it.
  statusBar()->setMinimumHeight(progress->sizeHint().height() + 4);
  cancelShortcut = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  cancelShortcut->setEnabled(false);
  connect(cancelShortcut, &QShortcut::activated, progress, &LoadProgress::RequestCancel);
}

void MainWindow::ConnectParts() {
  connect(model, &FrameTableModel::tableReset, this, &MainWindow::TableReset);
  connect(model, &FrameTableModel::oldestDropped, this, &MainWindow::TableReset);
  connect(model, &FrameTableModel::rowsAppended, this, &MainWindow::ShowMissingFrames);
  connect(view, &FrameView::parameterButtonClicked, this, &MainWindow::ParameterButtonClicked);
  connect(view, &FrameView::statusBitWindowRequested, this, &MainWindow::statusBitWindowRequested);
  connect(graph, &ParameterGraph::fileDropped, fileCommands, &FileCommands::FileDropped);
}

void MainWindow::StartUp() {
  setWindowTitle(QStringLiteral("QUILMAR-1 Housekeeping Telemetry Decoder  Ver. ") +
                 QString::fromLatin1(kVersionText));
  view->InitCaptions();
  PlaceFromSettings();
  rangeControls->ApplyCheckBoxRule(false);
}

void MainWindow::PlaceFromSettings() {
  const WindowPositionTwips saved = ReadSettingsFile(settingsPath);
  QPoint topLeft = pos();
  if (const std::optional<int> top = WindowPixelsFromTwips(saved.top)) {
    topLeft.setY(*top);
  }
  if (const std::optional<int> left = WindowPixelsFromTwips(saved.left)) {
    topLeft.setX(*left);
  }
  // The saved edges are the frame's, title bar included. Before the window is shown it has
  // no frame, so it is placed by its laid-out size now and again by its frame once the
  // window manager has put one around it. Sized now: a window that may grow would otherwise
  // be sized again as it is shown, and a size set then takes the saved edges for the client's.
  layout()->activate();
  adjustSize();
  move(KeepOnScreen(topLeft, frameSize()));
  framePlacement = topLeft;
}

void MainWindow::moveEvent(QMoveEvent* event) {
  QMainWindow::moveEvent(event);
  if (!framePlacement || !isVisible() || frameGeometry() == geometry()) {
    return;
  }
  // The frame is known now: its top-left goes where the settings file said, so that a start
  // and a close without moving write back the same numbers.
  const QPoint target = KeepOnScreen(*framePlacement, frameSize());
  framePlacement.reset();
  if (pos() != target) {
    move(target);
  }
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // A load still running ends at its next frame, keeping what it has read; a live session
  // syncs and closes its recording.
  progress->RequestCancel();
  Disconnect();
  const QPoint topLeft = pos();
  const WindowPositionTwips position{static_cast<double>(topLeft.y()) * kTwipsPerPixel,
                                     static_cast<double>(topLeft.x()) * kTwipsPerPixel};
  QString error;
  if (!WriteSettingsFile(settingsPath, position, &error)) {
    report(QMessageBox::Critical, windowTitle(),
           QStringLiteral("The window position could not be saved to %1:\n%2")
               .arg(settingsPath, error));
    exitCode = 1;
    QCoreApplication::exit(exitCode);
  }
  event->accept();
}

void MainWindow::MenuFileExitClick() {
  close();
  QCoreApplication::exit(exitCode);
}

bool MainWindow::IsLoading() const { return loadSequence->IsLoading(); }

}  // namespace quilmar
