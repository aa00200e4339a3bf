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

AuxWindows::AuxWindows(ValueBoxLookup lookup, const FrameTable& frameTable, ShowFrame show,
                       QObject* parent)
    : QObject(parent), valueBox(std::move(lookup)), table(frameTable), showFrame(std::move(show)) {}

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
    window = new StatusBitWindow(*member, source, mode);
  }
  window->Open();
}

void AuxWindows::OpenMemoryDump() {
  if (memoryDump.isNull()) {
    memoryDump = new MemoryDumpWindow(table, showFrame);
  }
  memoryDump->Open();
}

void AuxWindows::OpenInfo() {
  if (info.isNull()) {
    info = new InfoWindow();
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

StatusBitWindow* AuxWindows::statusBitWindow(int row) const {
  if (row < kFirstStatusRow || row > kLastStatusRow) {
    return nullptr;
  }
  return statusWindows[static_cast<std::size_t>(row - kFirstStatusRow)];
}

MemoryDumpWindow* AuxWindows::memoryDumpWindow() const { return memoryDump; }

InfoWindow* AuxWindows::infoWindow() const { return info; }

}  // namespace quilmar
