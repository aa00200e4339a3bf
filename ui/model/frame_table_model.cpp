// The window's frame table model; see frame_table_model.h.
#include "ui/model/frame_table_model.h"

#include <QDateTime>
#include <algorithm>
#include <utility>

namespace quilmar {

FrameTableModel::FrameTableModel(QObject* parent) : QObject(parent) {}

void FrameTableModel::Clear(const QString& newSource, TableOrigin newOrigin) {
  table.frameCount = 0;
  missing.Clear();
  source = newSource;
  origin = newOrigin;
  arrivals.clear();
  emit tableReset();
}

void FrameTableModel::Refilled(MissingFrames newMissing) {
  missing = std::move(newMissing);
  arrivals.clear();
  emit tableReset();
}

void FrameTableModel::Appended(int first, int last) {
  first = std::max(first, 1);
  last = std::min(last, table.frameCount);
  if (first > last) {
    return;
  }
  for (int i = std::max(first, 2); i <= last; ++i) {
    missing.AddStep(table.Record(i - 1).frameNumber, table.Record(i).frameNumber);
  }
  arrivals.resize(static_cast<std::size_t>(last), QDateTime::currentMSecsSinceEpoch());
  emit rowsAppended(first, last);
}

void FrameTableModel::EndPass() {
  if (origin == TableOrigin::kPass) {
    origin = TableOrigin::kLog;
    emit passEnded();
  }
}

qint64 FrameTableModel::ArrivedAt(int row) const {
  const auto index = static_cast<std::size_t>(row - 1);
  return row >= 1 && index < arrivals.size() ? arrivals[index] : 0;
}

void FrameTableModel::DropOldest(int count) {
  count = std::clamp(count, 0, table.frameCount);
  if (count == 0) {
    return;
  }
  // Records are moved, not copied: their texts change hands without allocating.
  std::move(table.records.begin() + count, table.records.begin() + table.frameCount,
            table.records.begin());
  table.frameCount -= count;
  const auto gone = std::min(arrivals.size(), static_cast<std::size_t>(count));
  arrivals.erase(arrivals.begin(), arrivals.begin() + static_cast<std::ptrdiff_t>(gone));
  missing = FindMissingFrames(table);
  emit oldestDropped(count);
}

}  // namespace quilmar
