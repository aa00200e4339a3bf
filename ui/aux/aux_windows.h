// Opens and keeps track of the auxiliary windows: the six status-bit windows, Memory Dump
// and Info. At most one window of each kind exists; opening an open one brings it to front.
// The windows are parentless so they stay usable after the main window has closed; a new one
// appears beside the main window, cascading down its right side.
#pragma once

#include <QObject>
#include <QPointer>
#include <array>
#include <functional>

#include "limits/limit_set.h"

class QLineEdit;
class QWidget;

namespace quilmar {

class FrameTableModel;
class FrameLimits;
class InfoWindow;
class MemoryDumpWindow;
class StatusBitWindow;

class AuxWindows : public QObject {
  Q_OBJECT

 public:
  // The main window's value box of a catalogue row (nullptr if there is none).
  using ValueBoxLookup = std::function<const QLineEdit*(int row)>;
  // Shows the frame with the given 1-based index in the main window.
  using ShowFrame = std::function<void(int frameIndex)>;

  // An open Memory Dump window follows the table model: a new table or new frames redraw it.
  AuxWindows(ValueBoxLookup lookup, const FrameTableModel& tableModel, ShowFrame show,
             QObject* parent = nullptr);
  ~AuxWindows() override;

  // The worst limit state of a frame of the table: the Memory Dump window marks such frames
  // when it draws them.
  void SetFrameLevels(std::function<LimitLevel(int frameIndex)> levelOf) {
    frameLevel = std::move(levelOf);
  }
  // The frame levels of the limits in use; new limits (Reload Limits) redraw an open Memory
  // Dump and the open status-bit windows at once, not at their next frame or tick.
  void FollowLimits(const FrameLimits& limits);

  // Row 69..74: the status-bit window that explains that row's status byte. Other rows are
  // ignored.
  void OpenStatusBitWindow(int row);
  void OpenMemoryDump();
  // The open status-bit windows explain their value boxes now, as at their timer's tick.
  void RefreshStatusBitWindows();
  void OpenInfo();
  // Closes every open auxiliary window, as when the program exits.
  void CloseAll();

  // The open window of a kind, nullptr while it is closed.
  StatusBitWindow* statusBitWindow(int row) const;
  MemoryDumpWindow* memoryDumpWindow() const;
  InfoWindow* infoWindow() const;

 private:
  // Kinds of window in the order of their cascade places: the six status-bit windows by row,
  // then Memory Dump and Info.
  static constexpr int kKindCount = 8;
  static constexpr int kMemoryDumpKind = 6;
  static constexpr int kInfoKind = 7;

  // The main window: the window that holds the value boxes, nullptr when there are none.
  const QWidget* Anchor() const;
  // Puts a window of a kind that is about to be shown for the first time on the first free
  // place of a cascade down the right side of the main window.
  void PlaceNewWindow(QWidget* window, int kind);
  bool IsOpen(int kind) const;
  void TableChanged();

  ValueBoxLookup valueBox;
  const FrameTableModel& model;
  ShowFrame showFrame;
  std::function<LimitLevel(int)> frameLevel;
  std::array<QPointer<StatusBitWindow>, 6> statusWindows;
  QPointer<MemoryDumpWindow> memoryDump;
  QPointer<InfoWindow> info;
  std::array<int, kKindCount> places{};  // cascade place of each open kind
};

}  // namespace quilmar
