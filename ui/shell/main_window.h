// The main window: the shell that builds the frame, tabs, menus and status bar and wires the
// parts. The frame table lives in the table model, which every view follows; the auxiliary
// windows get the model handed in through tableModel().
#pragma once

#include <QDBusConnection>
#include <QMainWindow>
#include <QMessageBox>
#include <QPoint>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "core/frame_table.h"
#include "core/kiss_reader.h"
#include "file_commands.h"
#include "live_steps.h"
#include "load_sequence.h"
#include "ui/limits/window_limits.h"
#include "ui/live/connect_dialog.h"
#include "ui/model/frame_table_model.h"

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QScrollBar;
class QShortcut;
class QTabWidget;
class QTextEdit;

namespace quilmar {

class ChartFollower;
struct LimitAlarm;
class AlarmWindow;
class DesktopNotifier;
class FrameExporter;
class FrameLimits;
class FrameNavigator;
class FrameView;
class GraphRangeControls;
class LimitAlarms;
class LiveSession;
class LoadProgress;
class MissingFramesList;
class MissingFramesModel;
class ParameterGraph;
class PathLabel;
class RecentLogs;

class MainWindow : public QMainWindow {
  Q_OBJECT
 public:
  // Returns the chosen log's path, empty when the user cancelled.
  using FileChooser = FileCommands::Chooser;
  // Tells the user something; must not block, except for kCritical just before the end.
  using MessageReporter =
      std::function<void(QMessageBox::Icon icon, const QString& title, const QString& text)>;

  explicit MainWindow(QWidget* parent = nullptr);
  ~MainWindow() override;

  const FrameTable& frameTable() const { return model->Table(); }
  FrameTableModel& tableModel() { return *model; }
  FrameView& frameView() { return *view; }
  ParameterGraph& parameterGraph() { return *graph; }
  GraphRangeControls& graphRangeControls() { return *rangeControls; }
  FrameExporter& frameExporter();
  RecentLogs& recentLogs();
  int ChartedParameter() const;
  QString CurrentLogPath() const { return currentLogPath; }
  bool IsLoading() const;

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
  // Frames that come from no log file, such as a pass from the mission archive: label names
  // them in the status bar, fill writes the new table and says what it read, and the view
  // then stands on the frame it names. Refused (reported, false) while a log loads or a
  // session runs, since either owns the table then.
  struct FilledTable {
    LoadSummary summary;
    int showIndex = 1;
  };
  using TableFiller = std::function<FilledTable(FrameTable& table)>;
  bool ShowFramesFrom(const QString& label, const TableFiller& fill);
  // Tells the user something, as the window's own messages do.
  void Report(QMessageBox::Icon icon, const QString& text) { report(icon, windowTitle(), text); }

  void SetFileChooser(FileChooser chooser);
  void SetMessageReporter(MessageReporter reporter) { report = std::move(reporter); }
  void SetLoadTiming(LoadTiming timing);
  // Where shutdown writes the window position; relative paths use the current directory
  // at that moment.
  void SetSettingsPath(const QString& path) { settingsPath = path; }

  // Live reception from a TNC (the live steps). The chooser stands for the Connect dialog:
  // the TNC and the recording, or nothing when the user cancelled.
  using LiveChooser = LiveSteps::Chooser;
  void SetLiveChooser(LiveChooser chooser);
  // Opens the recording and starts a new table fed from the TNC; false when a load or a
  // session is running or the recording cannot be created (reported).
  bool ConnectToTnc(const LiveChoice& choice);
  // ConnectToTnc once the event loop runs: the address named on the command line.
  void ConnectWhenRunning(const LiveChoice& choice);
  // File > Disconnect: ends the session and keeps the table.
  void Disconnect();
  bool IsLive() const;
  LiveSession* liveSession() const;
  // The limits the views judge values by, loaded from the file given (--limits FILE), else
  // the user's file, else the default file. A refused file is reported and said in the
  // status bar; the window goes on with the default limits.
  void LoadLimitsAtStart(const std::optional<std::string>& given);
  void SetLimitsFile(std::optional<std::string> given) { limitsFile = std::move(given); }
  // Settings > Reload Limits: the same file read again; a refused file keeps the limits in
  // use, and says so.
  void ReloadLimits();
  void UseLimits(const WindowLimitsLoad& load);
  FrameLimits& frameLimits() { return *limits; }

  // Alarms of a live pass (alarm_steps.cpp): a new red episode, or yellow too when Settings >
  // Alarm on Yellow Too is ticked, is said in the status bar, joins the alarm list (shown
  // without taking the focus) and, while the window is not the active one, goes to the
  // desktop's notifications. Nothing of it waits for the user or for the bus.
  LimitAlarms& limitAlarms() { return *alarms; }
  AlarmWindow& alarmWindow() { return *alarmList; }
  void SetAlarmOnYellow(bool on);
  // Where Alarm on Yellow Too is kept (the user's settings store); unset, it is not kept.
  void SetAlarmSettings(SettingsOpener opener);
  // The bus notifications go to; the session bus, asked for at the first notification, by
  // default.
  void SetNotificationBus(const QDBusConnection& bus);

  // Where the window's archive and the receiving station are kept, for the Connect dialog's
  // "Add received frames to the archive" (the Archive menu's store; the user's by default).
  void SetArchiveStore(SettingsOpener opener);

 signals:
  void memoryDumpRequested();
  void infoRequested();
  void statusBitWindowRequested(int row);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void moveEvent(QMoveEvent* event) override;

 private:
  void BuildClientArea();
  QWidget* BuildTabs(QWidget* clientArea);
  void BuildMenus();
  // File > Open Recent, File > Export... and the live steps' commands
  // (main_window_parts.cpp).
  void BuildFileCommands(QMenu* file);
  void BuildLiveSteps(QMenu* file);
  void BuildStatusBar();
  void BuildLimitsCommands(QMenu* settings);
  void BuildAlarms(QMenu* settings);
  void AlarmRaised(const LimitAlarm& alarm);
  void WriteAlarmStatus();
  void ConnectParts();
  void StartUp();
  void PlaceFromSettings();

  void MenuFileExitClick();
  void ParameterButtonClicked(int row);
  // The charted row's button on and its box light yellow (parameter_choice.cpp).
  void MarkChartedParameter(int row);

  // The path label and the captions of a new table; the views follow the model's reset.
  void BeginNewTable(const QString& path);
  void TableReset();
  void ShowMissingFrames();
  void SetLoading(bool on);

  FrameTableModel* model = nullptr;
  FrameLimits* limits = nullptr;  // follows the model before every view
  std::optional<std::string> limitsFile;
  QLabel* limitsStatus = nullptr;
  LimitAlarms* alarms = nullptr;
  AlarmWindow* alarmList = nullptr;
  QLabel* alarmStatus = nullptr;
  QAction* alarmOnYellow = nullptr;
  SettingsOpener alarmSettings;
  std::unique_ptr<DesktopNotifier> notifier;  // made at the first notification
  QString lastAlarm;
  QString currentLogPath;
  QString settingsPath;
  int exitCode = 0;  // 1 once the settings could not be saved
  // Where the frame's top-left goes once the window manager has framed the window.
  std::optional<QPoint> framePlacement;

  FrameView* view = nullptr;
  FrameNavigator* navigator = nullptr;
  ParameterGraph* graph = nullptr;
  GraphRangeControls* rangeControls = nullptr;
  ChartFollower* chartFollower = nullptr;
  QTabWidget* tabs = nullptr;            // Hexdump
  QScrollBar* frameScrollBar = nullptr;  // HScroll1
  QLineEdit* positionText = nullptr;     // Text2
  QTextEdit* hexDumpView = nullptr;      // RichTextBox1
  MissingFramesModel* missingModel = nullptr;
  MissingFramesList* missingFramesList = nullptr;  // List1
  QLabel* missingCountLabel = nullptr;             // Label9
  PathLabel* pathLabel = nullptr;                  // Label10
  QLabel* loadMessage = nullptr;
  LoadProgress* progress = nullptr;
  LoadSequence* loadSequence = nullptr;
  FileCommands* fileCommands = nullptr;
  QShortcut* cancelShortcut = nullptr;
  LiveSteps* liveSteps = nullptr;

  MessageReporter report;
};

}  // namespace quilmar
