// Stepping through the table's frames; see frame_navigator.h.
#include "frame_navigator.h"

#include <QDateTime>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTextEdit>
#include <algorithm>

#include "frame_view.h"
#include "hex_dump.h"
#include "ui/limits/frame_limits.h"
#include "ui/model/frame_table_model.h"

namespace quilmar {
namespace {

// The bar's own page step is one frame, as designed for clicks in the trough; from the
// keyboard PageUp and PageDown jump further so they do more than the arrow keys.
constexpr int kKeyboardPageFrames = 10;

}  // namespace

FrameNavigator::FrameNavigator(const FrameTableModel& model, FrameView& view,
                               QScrollBar* frameScrollBar, QLineEdit* positionText,
                               QTextEdit* hexDumpView, QObject* parent)
    : QObject(parent),
      model(model),
      view(view),
      frameScrollBar(frameScrollBar),
      positionText(positionText),
      hexDumpView(hexDumpView) {
  // Stepping through frames from the keyboard needs the bar to take focus.
  frameScrollBar->setFocusPolicy(Qt::StrongFocus);
  frameScrollBar->installEventFilter(this);
  connect(frameScrollBar, &QScrollBar::valueChanged, this, &FrameNavigator::ScrollBarChanged);
  connect(&model, &FrameTableModel::tableReset, this, &FrameNavigator::TableReset);
  connect(&model, &FrameTableModel::rowsAppended, this, &FrameNavigator::RowsAppended);
  connect(&model, &FrameTableModel::oldestDropped, this, &FrameNavigator::OldestDropped);
  // Once the pass has ended the frame on display is shown as it is, without latest values.
  connect(&model, &FrameTableModel::passEnded, this, &FrameNavigator::ScrollBarChanged);
}

int FrameNavigator::Current() const { return frameScrollBar->value(); }

void FrameNavigator::ShowFrameAt(int index) { frameScrollBar->setValue(index); }

bool FrameNavigator::IsFollowing() const {
  return model.RowCount() > 0 && Current() == model.RowCount();
}

void FrameNavigator::ShowHexDump(int index, int first, int last) {
  quilmar::ShowHexDump(*hexDumpView, model.Table(), index, first, last);
}

void FrameNavigator::SetHighlightRow(int row) { highlightRow = row; }

// A new table: the frame at the position the user had, as far as the new table reaches, and
// never a row of the table that went. An empty table shows no frame but keeps the position
// for the table that follows (the filled table at the end of a load), and leaves the hex
// dump as it was.
void FrameNavigator::TableReset() {
  const int count = model.RowCount();
  {
    const QSignalBlocker quiet(frameScrollBar);
    // The bar cannot go below its minimum 1, so an empty table leaves it at 1 of 1.
    frameScrollBar->setMaximum(std::max(1, count));
    frameScrollBar->setValue(std::clamp(position, 1, std::max(1, count)));
    frameScrollBar->setEnabled(true);
  }
  if (count > 0) {
    ScrollBarChanged();
  } else {
    WritePositionText();
    view.ClearFrame();
    latestRows.fill(0);
    WriteLatestValuesNote();
  }
}

// The view follows the newest frame only while it stands on the last one (or on nothing); a
// user looking at an older frame stays there.
void FrameNavigator::RowsAppended(int first, int last) {
  const bool following = Current() >= first - 1;
  frameScrollBar->setEnabled(true);
  frameScrollBar->setMaximum(std::max(1, model.RowCount()));
  if (following && Current() != last) {
    frameScrollBar->setValue(last);  // its change steps show the frame and its hex dump
  } else if (following) {
    ScrollBarChanged();
  } else {
    WritePositionText();
  }
}

// The frame on display stays on display under its new index; one that went gives way to the
// oldest frame kept. The view following the newest frame goes on following it.
void FrameNavigator::OldestDropped(int count) {
  const int index = std::max(1, Current() - count);
  {
    const QSignalBlocker quiet(frameScrollBar);
    frameScrollBar->setMaximum(std::max(1, model.RowCount()));
    frameScrollBar->setValue(index);
  }
  ScrollBarChanged();
}

void FrameNavigator::WritePositionText() {
  positionText->setText(QStringLiteral("#%1 / %2").arg(Current()).arg(model.RowCount()));
}

void FrameNavigator::ScrollBarChanged() {
  WritePositionText();
  const int index = Current();
  if (!model.Table().IsCurrent(index)) {
    return;
  }
  position = index;
  view.ShowFrame(model.Table(), index);
  ShowLatestValues(index);
  ShowLimitMarks(index);
  const HighlightRange range = HighlightFor(highlightRow);
  ShowHexDump(index, range.first, range.last);
}

// The spacecraft sends its sections in alternating pairs, so the newest frame of a pass lacks
// half of them, and a frame of another kind all of them. While the view follows the pass, each
// missing section shows the values of the last frame that carried it, greyed, with their age; an
// older frame is shown as it is.
void FrameNavigator::ShowLatestValues(int index) {
  latestRows.fill(0);
  const FrameTable& table = model.Table();
  const FrameRecord& shown = table.Record(index);
  // Whatever the newest frame is (image data and GPS dumps carry no housekeeping at all),
  // the latest values stay in view.
  if (model.Origin() == TableOrigin::kPass && index == model.RowCount()) {
    for (const SectionInfo& section : kSections) {
      if (shown.HasSection(section.section)) {
        continue;
      }
      for (int row = index - 1; row >= 1; --row) {
        if (table.Record(row).HasSection(section.section)) {
          view.ShowLatestSection(table.Record(row), section.section);
          latestRows[static_cast<std::size_t>(section.section)] = row;
          break;
        }
      }
    }
  }
  WriteLatestValuesNote();
}

void FrameNavigator::SetLimits(const FrameLimits* frameLimits) {
  limits = frameLimits;
  if (limits != nullptr) {
    connect(limits, &FrameLimits::limitsChanged, this, [this] {
      if (model.Table().IsCurrent(Current())) {
        ShowLimitMarks(Current());
      }
    });
  }
}

// A greyed section's values are marked as they stood in the frame they come from.
void FrameNavigator::ShowLimitMarks(int index) {
  if (limits == nullptr) {
    return;
  }
  for (int row = 0; row < kParameterCount; ++row) {
    const Section section = kParameterCatalogue[static_cast<std::size_t>(row)].section;
    const int latest = latestRows[static_cast<std::size_t>(section)];
    const int from = latest != 0 ? latest : index;
    const LimitState state = limits->StateAt(from, row);
    view.SetLimitMark(row, state.level, state.direction,
                      state.Normal() ? QString() : limits->SourceTextAt(from, row));
  }
}

// "Latest values in grey: ADCS 4 s ago, frame 65432; COM 2 s ago, frame 65431".
void FrameNavigator::WriteLatestValuesNote() {
  if (latestNote == nullptr) {
    return;
  }
  QStringList parts;
  const qint64 now = QDateTime::currentMSecsSinceEpoch();
  for (const SectionInfo& section : kSections) {
    const int row = latestRows[static_cast<std::size_t>(section.section)];
    if (row == 0 || row > model.RowCount()) {
      continue;
    }
    const qint64 age = std::max<qint64>(0, now - model.ArrivedAt(row)) / 1000;
    parts << QStringLiteral("%1 %2 s ago, frame %3")
                 .arg(QString::fromLatin1(section.name.data(),
                                          static_cast<qsizetype>(section.name.size())))
                 .arg(age)
                 .arg(model.Table().Record(row).frameNumber);
  }
  latestNote->setText(parts.isEmpty() ? QString()
                                      : QStringLiteral("Latest values in grey: ") +
                                            parts.join(QStringLiteral("; ")));
}

bool FrameNavigator::eventFilter(QObject* watched, QEvent* event) {
  if (watched == frameScrollBar && event->type() == QEvent::KeyPress) {
    return ScrollBarKey(static_cast<QKeyEvent*>(event)->key());
  }
  return QObject::eventFilter(watched, event);
}

// A scroll bar's arrow keys move the content, so Right would step back a frame; here they
// step the frame itself. Home and End (first and last frame) are the bar's own keys.
bool FrameNavigator::ScrollBarKey(int key) {
  int step = 0;
  switch (key) {
    case Qt::Key_Left:
    case Qt::Key_Up:
      step = -1;
      break;
    case Qt::Key_Right:
    case Qt::Key_Down:
      step = 1;
      break;
    case Qt::Key_PageUp:
      step = -kKeyboardPageFrames;
      break;
    case Qt::Key_PageDown:
      step = kKeyboardPageFrames;
      break;
    default:
      return false;
  }
  frameScrollBar->setValue(frameScrollBar->value() + step);
  return true;
}

}  // namespace quilmar
