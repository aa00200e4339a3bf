// Opens and keeps track of the auxiliary windows: the six status-bit windows, Memory Dump
// and Info. At most one window of each kind exists; opening an open one brings it to front.
// The windows are parentless so they stay usable after the main window has closed.
#pragma once

#include <QObject>
#include <QPointer>
#include <array>
#include <functional>

class QLineEdit;

namespace quilmar {

struct FrameTable;
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

  AuxWindows(ValueBoxLookup lookup, const FrameTable& frameTable, ShowFrame show,
             QObject* parent = nullptr);
  ~AuxWindows() override;

  // Row 69..74: the status-bit window that explains that row's status byte. Other rows are
  // ignored.
  void OpenStatusBitWindow(int row);
  void OpenMemoryDump();
  void OpenInfo();
  // Closes every open auxiliary window, as when the program exits.
  void CloseAll();

  // The open window of a kind, nullptr while it is closed.
  StatusBitWindow* statusBitWindow(int row) const;
  MemoryDumpWindow* memoryDumpWindow() const;
  InfoWindow* infoWindow() const;

 private:
  ValueBoxLookup valueBox;
  const FrameTable& table;
  ShowFrame showFrame;
  std::array<QPointer<StatusBitWindow>, 6> statusWindows;
  QPointer<MemoryDumpWindow> memoryDump;
  QPointer<InfoWindow> info;
};

}  // namespace quilmar
