// The main window: its frame, tabs, menus, frame scroll bar and hex dump, the load sequence
// around the KISS reader, the parameter choice, start-up and shutdown. It owns the frame
// table of the loaded log; the auxiliary windows get it handed in through frameTable().
#pragma once

#include <QMainWindow>
#include <QMessageBox>
#include <QPoint>
#include <QString>
#include <chrono>
#include <functional>
#include <optional>

#include "connect_dialog.h"
#include "core/frame_table.h"
#include "core/kiss_reader.h"

class QAction;
class QFileDialog;
class QLabel;
class QLineEdit;
class QMenu;
class QScrollBar;
class QShortcut;
class QTabWidget;
class QTextEdit;

namespace quilmar {

// File > Open's dialog: an empty file name and the choices "Log Files (*.kss)", "Text Files
// (*.txt)" and "All Files (*.*)" (every file), the first one selected.
void PrepareOpenLogDialog(QFileDialog& dialog);

class FrameExporter;
class FrameView;
class GraphRangeControls;
class LiveSession;
class LoadProgress;
class MissingFramesList;
class MissingFramesModel;
class ParameterGraph;
class PathLabel;
class RecentLogs;

// How often a load lets the window handle events, and when it starts showing progress.
struct LoadTiming {
  std::chrono::milliseconds eventPassInterval{15};
  std::chrono::milliseconds progressDelay{500};
};

class MainWindow : public QMainWindow {
  Q_OBJECT
 public:
  // Returns the chosen log's path, empty when the user cancelled.
  using FileChooser = std::function<QString(QWidget* parent)>;
  // Tells the user something; must not block, except for kCritical just before the end.
  using MessageReporter =
      std::function<void(QMessageBox::Icon icon, const QString& title, const QString& text)>;

  explicit MainWindow(QWidget* parent = nullptr);
  ~MainWindow() override;

  const FrameTable& frameTable() const { return table; }
  FrameView& frameView() { return *view; }
  ParameterGraph& parameterGraph() { return *graph; }
  GraphRangeControls& graphRangeControls() { return *rangeControls; }
  FrameExporter& frameExporter() { return *exporter; }
  RecentLogs& recentLogs() { return *recent; }
  int ChartedParameter() const { return chartedParameter; }
  QString CurrentLogPath() const { return currentLogPath; }
  bool IsLoading() const { return loading; }

  // Moves the frame scroll bar to frameNumber; its change steps show the frame.
  void ShowFrameAt(int frameNumber);
  // File > Open after the dialog: path label, captions, emptied lists, then the load.
  void OpenLog(const QString& path);
  // OpenLog from the event loop, once it runs: the log named on the command line. A load
  // begun before the loop could not end the program when the window is closed during it.
  void OpenLogWhenRunning(const QString& path);
  // Reads the log into the frame table and refreshes the window from it.
  void LoadKissLog(const QString& path);
  void ShowHexDump(int frameNumber, int first, int last);

  void SetFileChooser(FileChooser chooser) { chooseLogFile = std::move(chooser); }
  void SetMessageReporter(MessageReporter reporter) { report = std::move(reporter); }
  void SetLoadTiming(LoadTiming timing);
  // Where shutdown writes the window position; relative paths use the current directory
  // at that moment.
  void SetSettingsPath(const QString& path) { settingsPath = path; }

  // Live reception from a TNC (main_window_live.cpp). The chooser stands for the Connect
  // dialog: the TNC and the recording, or nothing when the user cancelled.
  using LiveChooser = std::function<std::optional<LiveChoice>(QWidget* parent)>;
  void SetLiveChooser(LiveChooser chooser) { chooseTnc = std::move(chooser); }
  // Opens the recording and starts a new table fed from the TNC; false when a load or a
  // session is running or the recording cannot be created (reported).
  bool ConnectToTnc(const LiveChoice& choice);
  // ConnectToTnc once the event loop runs: the address named on the command line.
  void ConnectWhenRunning(const LiveChoice& choice);
  // File > Disconnect: ends the session and keeps the table.
  void Disconnect();
  bool IsLive() const;
  LiveSession* liveSession() const { return session; }

 signals:
  // A live session added frames to the table.
  void framesAppended();
  void memoryDumpRequested();
  void infoRequested();
  void statusBitWindowRequested(int row);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildClientArea();
  QWidget* BuildTabs(QWidget* clientArea);
  void BuildMenus();
  // File > Open Recent and File > Export... (main_window_file_commands.cpp).
  void BuildFileCommands(QMenu* file);
  void BuildStatusBar();
  void ConnectParts();
  void StartUp();
  void PlaceFromSettings();

  void MenuFileOpenClick();
  void MenuFileExitClick();
  void ChartFileDropped(const QString& path);
  void ScrollBarChanged();
  void WritePositionText();
  bool ScrollBarKey(int key);
  void ParameterButtonClicked(int row);
  void MarkChartedParameter(int row);
  void RangeChosen(int from, int to);

  // The live session's window steps (main_window_live.cpp).
  void BuildLiveCommands(QMenu* file);
  void BuildLiveStatus();
  void MenuFileConnectClick();
  void StartLiveTable(const QString& recordingPath);
  void SetLive(bool on);
  void ShowArrivedFrames(int first, int last);
  void WriteLiveStatus();
  void LiveSessionFailed();

  // The load sequence's window steps (load_sequence.cpp).
  ReadHooks LoadHooks();
  void FinishLoad(const QString& path, LoadSummary summary);
  // What a log load and a live session both do to the window before a new table: the path
  // label, the captions, the emptied missing-frames list and range lists.
  void BeginNewTable(const QString& path);
  // The missing-frames list and its caption.
  void ShowMissingFrames(MissingFrames missing);
  void SetLoading(bool on);

  FrameTable table;
  int chartedParameter = 0;
  QString currentLogPath;
  QString settingsPath;
  bool loading = false;
  int exitCode = 0;  // 1 once the settings could not be saved
  LoadTiming timing;
  // Where the frame's top-left goes once the window manager has framed the window.
  std::optional<QPoint> framePlacement;

  FrameView* view = nullptr;
  ParameterGraph* graph = nullptr;
  GraphRangeControls* rangeControls = nullptr;
  QTabWidget* tabs = nullptr;
  QScrollBar* hScroll1 = nullptr;
  QLineEdit* text2 = nullptr;
  QTextEdit* richTextBox1 = nullptr;
  MissingFramesModel* missingModel = nullptr;
  MissingFramesList* list1 = nullptr;
  QLabel* label9 = nullptr;
  PathLabel* label10 = nullptr;
  QLabel* loadMessage = nullptr;
  LoadProgress* progress = nullptr;
  QAction* menuFileOpen = nullptr;
  FrameExporter* exporter = nullptr;
  RecentLogs* recent = nullptr;
  QShortcut* cancelShortcut = nullptr;
  QAction* menuFileConnect = nullptr;
  QAction* menuFileDisconnect = nullptr;
  QLabel* liveStatus = nullptr;
  LiveSession* session = nullptr;  // the last session, kept after Disconnect for its counts
  LiveChooser chooseTnc;

  FileChooser chooseLogFile;
  MessageReporter report;
};

}  // namespace quilmar
