// Opens and keeps track of the auxiliary windows.
#include "ui/aux/aux_windows.h"

#include <QLineEdit>

#include "ui/aux/info_window.h"
#include "ui/aux/memory_dump_window.h"
#include "ui/aux/status_bit_members.h"
#include "ui/aux/status_bit_window.h"

namespace quilmar {

namespace {

template <typename Window>
void CloseWindow(QPointer<Window>& window) {
  if (!window.isNull()) {
    window->close();
  }
}

}  // namespace

AuxWindows::AuxWindows(ValueBoxLookup valueBox, const FrameTable& table, ShowFrame showFrame,
                       QObject* parent)
    : QObject(parent),
      valueBox_(std::move(valueBox)),
      table_(table),
      showFrame_(std::move(showFrame)) {}

AuxWindows::~AuxWindows() {
  // Windows still open when the program ends have no parent to delete them.
  for (QPointer<StatusBitWindow>& window : statusWindows_) {
    delete window.data();
  }
  delete memoryDump_.data();
  delete info_.data();
}

void AuxWindows::OpenStatusBitWindow(int row) {
  const StatusBitMember* member = StatusBitMemberForRow(row);
  if (member == nullptr) {
    return;
  }
  QPointer<StatusBitWindow>& window =
      statusWindows_[static_cast<std::size_t>(row - kFirstStatusRow)];
  if (window.isNull()) {
    const QLineEdit* source = valueBox_ ? valueBox_(row) : nullptr;
    const QLineEdit* mode = valueBox_ ? valueBox_(kAdcsModeRow) : nullptr;
    window = new StatusBitWindow(*member, source, mode);
  }
  window->Open();
}

void AuxWindows::OpenMemoryDump() {
  if (memoryDump_.isNull()) {
    memoryDump_ = new MemoryDumpWindow(table_, showFrame_);
  }
  memoryDump_->Open();
}

void AuxWindows::OpenInfo() {
  if (info_.isNull()) {
    info_ = new InfoWindow();
  }
  info_->Open();
}

void AuxWindows::CloseAll() {
  for (QPointer<StatusBitWindow>& window : statusWindows_) {
    CloseWindow(window);
  }
  CloseWindow(memoryDump_);
  CloseWindow(info_);
}

StatusBitWindow* AuxWindows::statusBitWindow(int row) const {
  if (row < kFirstStatusRow || row > kLastStatusRow) {
    return nullptr;
  }
  return statusWindows_[static_cast<std::size_t>(row - kFirstStatusRow)];
}

MemoryDumpWindow* AuxWindows::memoryDumpWindow() const { return memoryDump_; }

InfoWindow* AuxWindows::infoWindow() const { return info_; }

}  // namespace quilmar
