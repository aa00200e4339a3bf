// Stepping through the table's frames: the frame scroll bar (HScroll1), the position text
// "#n / N" (Text2), and the frame view and hex dump (RichTextBox1) of the frame it stands on.
// It follows the table model: a reset puts it on the first frame of the new table, appended
// rows extend it, and while it stands on the last frame it follows the newest one.
#pragma once

#include <QObject>
#include <array>

class QLabel;
class QLineEdit;
class QScrollBar;
class QTextEdit;

namespace quilmar {

class FrameLimits;
class FrameTableModel;
class FrameView;

class FrameNavigator : public QObject {
  Q_OBJECT
 public:
  FrameNavigator(const FrameTableModel& model, FrameView& view, QScrollBar* frameScrollBar,
                 QLineEdit* positionText, QTextEdit* hexDumpView, QObject* parent = nullptr);

  // The 1-based frame the scroll bar stands on.
  int Current() const;
  // Moves to frame index; its change steps show the frame.
  void ShowFrameAt(int index);
  // The hex dump of frame index with characters first..last in red (none when 0, 0).
  void ShowHexDump(int index, int first, int last);
  // The charted row, whose bytes the hex dump marks red.
  void SetHighlightRow(int row);
  // True while the view shows the newest frame and follows the arriving ones.
  bool IsFollowing() const;
  // Where the age of the greyed latest values is written while a pass is followed.
  void SetLatestValuesNote(QLabel* note) { latestNote = note; }
  // Writes the ages of the latest values anew (they grow without a frame arriving).
  void WriteLatestValuesNote();
  // The states the frame view marks, each with the frame its value comes from; new limits
  // mark the frame on display anew.
  void SetLimits(const FrameLimits* frameLimits);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void TableReset();
  void RowsAppended(int first, int last);
  void OldestDropped(int count);
  void ScrollBarChanged();
  void WritePositionText();
  bool ScrollBarKey(int key);
  void ShowLatestValues(int index);
  void ShowLimitMarks(int index);

  const FrameTableModel& model;
  FrameView& view;
  QScrollBar* frameScrollBar;
  QLineEdit* positionText;
  QTextEdit* hexDumpView;
  int highlightRow = 0;
  int position = 1;  // the last frame shown, kept across an empty table
  QLabel* latestNote = nullptr;
  const FrameLimits* limits = nullptr;
  // The rows whose sections stand in for those the newest frame did not carry, per section.
  std::array<int, 4> latestRows{};
};

}  // namespace quilmar
