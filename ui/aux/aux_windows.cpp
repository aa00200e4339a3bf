// Opens and keeps track of the auxiliary windows.
#include "ui/aux/aux_windows.h"

#include <QLineEdit>
#include <QScreen>
#include <algorithm>

#include "ui/aux/info_window.h"
#include "ui/aux/memory_dump_window.h"
#include "ui/aux/status_bit_members.h"
#include "ui/aux/status_bit_window.h"
#include "ui/limits/frame_limits.h"
#include "ui/model/frame_table_model.h"

namespace quilmar {

namespace {

// Each further window of the cascade sits one title bar lower and a little to the right, so
// every title stays in reach; the first keeps a small gap from the main window's edge.
constexpr int kCascadeGapPixels = 8;
constexpr int kCascadeStepPixels = 28;

template <typename Window>
void CloseWindow(QPointer<Window>& window) {
  if (!window.isNull()) {
    window->close();
  }
}

}  // namespace

AuxWindows::AuxWindows(ValueBoxLookup lookup, const FrameTableModel& tableModel, ShowFrame show,
                       QObject* parent)
    : QObject(parent), valueBox(std::move(lookup)), model(tableModel), showFrame(std::move(show)) {
  // A log's strip stays as it was drawn until the window is opened again; a pass's strip
  // follows the pass, from its empty start on.
  connect(&model, &FrameTableModel::tableReset, this, [this] {
    if (model.Origin() == TableOrigin::kPass) {
      TableChanged();
    }
  });
  connect(&model, &FrameTableModel::rowsAppended, this, &AuxWindows::TableChanged);
  connect(&model, &FrameTableModel::oldestDropped, this, &AuxWindows::TableChanged);
  // The status-bit windows explain the main window's value boxes, which the frame view has
  // rewritten by now: they follow a new table or frame at once, not at their next tick.
  for (const auto signal : {&FrameTableModel::tableReset, &FrameTableModel::passEnded}) {
    connect(&model, signal, this, &AuxWindows::RefreshStatusBitWindows);
  }
  connect(&model, &FrameTableModel::rowsAppended, this, &AuxWindows::RefreshStatusBitWindows);
  connect(&model, &FrameTableModel::oldestDropped, this, &AuxWindows::RefreshStatusBitWindows);
}

void AuxWindows::RefreshStatusBitWindows() {
  for (const QPointer<StatusBitWindow>& window : statusWindows) {
    if (window && window->isVisible()) {
      window->Refresh();
    }
  }
}

AuxWindows::~AuxWindows() {
  // Windows still open when the program ends have no parent to delete them.
  for (QPointer<StatusBitWindow>& window : statusWindows) {
    delete window.data();
  }
  delete memoryDump.data();
  delete info.data();
}

void AuxWindows::OpenStatusBitWindow(int row) {
  const StatusBitMember* member = StatusBitMemberForRow(row);
  if (member == nullptr) {
    return;
  }
  QPointer<StatusBitWindow>& window =
      statusWindows[static_cast<std::size_t>(row - kFirstStatusRow)];
  if (window.isNull()) {
    const QLineEdit* source = valueBox ? valueBox(row) : nullptr;
    const QLineEdit* mode = valueBox ? valueBox(kAdcsModeRow) : nullptr;
    // The frame view's frame number box (Text3(2)), which names the frame the bits belong to.
    const QLineEdit* frame =
        Anchor() ? Anchor()->findChild<const QLineEdit*>(QStringLiteral("Text3_2")) : nullptr;
    window = new StatusBitWindow(*member, source, mode, frame);
    PlaceNewWindow(window, row - kFirstStatusRow);
  }
  window->Open();
}

void AuxWindows::FollowLimits(const FrameLimits& limits) {
  SetFrameLevels([&limits](int frameIndex) { return limits.WorstAt(frameIndex); });
  connect(&limits, &FrameLimits::limitsChanged, this, [this] {
    TableChanged();
    RefreshStatusBitWindows();
  });
}

void AuxWindows::OpenMemoryDump() {
  if (memoryDump.isNull()) {
    memoryDump = new MemoryDumpWindow(model.Table(), showFrame);
    if (frameLevel) {
      memoryDump->SetFrameLevels(frameLevel);
    }
    PlaceNewWindow(memoryDump, kMemoryDumpKind);
  }
  memoryDump->Open();
}

void AuxWindows::TableChanged() {
  if (!memoryDump.isNull()) {
    memoryDump->Redraw();
  }
}

void AuxWindows::OpenInfo() {
  if (info.isNull()) {
    info = new InfoWindow();
    PlaceNewWindow(info, kInfoKind);
  }
  info->Open();
}

void AuxWindows::CloseAll() {
  for (QPointer<StatusBitWindow>& window : statusWindows) {
    CloseWindow(window);
  }
  CloseWindow(memoryDump);
  CloseWindow(info);
}

const QWidget* AuxWindows::Anchor() const {
  const QLineEdit* box = valueBox ? valueBox(kAdcsModeRow) : nullptr;
  return box != nullptr ? box->window() : nullptr;
}

bool AuxWindows::IsOpen(int kind) const {
  if (kind == kMemoryDumpKind) {
    return !memoryDump.isNull();
  }
  if (kind == kInfoKind) {
    return !info.isNull();
  }
  return !statusWindows[static_cast<std::size_t>(kind)].isNull();
}

void AuxWindows::PlaceNewWindow(QWidget* window, int kind) {
  const QWidget* anchor = Anchor();
  const QScreen* screen = anchor != nullptr ? anchor->screen() : nullptr;
  if (screen == nullptr) {
    return;  // nothing to stand beside: the window manager chooses
  }
  // At most seven other windows are open, so one of the eight places is always free.
  std::array<bool, kKindCount> taken{};
  for (int other = 0; other < kKindCount; ++other) {
    if (other != kind && IsOpen(other)) {
      taken[static_cast<std::size_t>(places[static_cast<std::size_t>(other)])] = true;
    }
  }
  const int place = static_cast<int>(std::find(taken.begin(), taken.end(), false) - taken.begin());
  places[static_cast<std::size_t>(kind)] = place;

  const QRect mainFrame = anchor->frameGeometry();
  const QRect area = screen->availableGeometry();
  const QPoint wanted(mainFrame.right() + 1 + kCascadeGapPixels + place * kCascadeStepPixels,
                      mainFrame.top() + place * kCascadeStepPixels);
  // Kept whole on the screen, even if that means covering part of the main window. Until it
  // is shown the window's frame is unknown; the main window's frame is a fair guess.
  const QSize frame = window->size() + mainFrame.size() - anchor->size();
  window->move(std::max(area.left(), std::min(wanted.x(), area.right() + 1 - frame.width())),
               std::max(area.top(), std::min(wanted.y(), area.bottom() + 1 - frame.height())));
}

StatusBitWindow* AuxWindows::statusBitWindow(int row) const {
  if (row < kFirstStatusRow || row > kLastStatusRow) {
    return nullptr;
  }
  return statusWindows[static_cast<std::size_t>(row - kFirstStatusRow)];
}

MemoryDumpWindow* AuxWindows::memoryDumpWindow() const { return memoryDump; }

InfoWindow* AuxWindows::infoWindow() const { return info; }

}  // namespace quilmar
