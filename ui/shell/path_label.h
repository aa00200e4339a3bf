// The status bar's path label (Label10): a long path is shortened in the middle, where the
// folders matter least, so the start of the path and the file's name stay readable; the
// whole path stays the label's text and shows in its tooltip.
#pragma once

#include <QLabel>

namespace quilmar {

class PathLabel : public QLabel {
  Q_OBJECT
 public:
  explicit PathLabel(QWidget* parent = nullptr);

  void SetPath(const QString& path);
  // What the label shows in its present width.
  QString DisplayedText() const;

  // The label takes what room is left: it never widens the status bar or squeezes the load
  // report beside it.
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace quilmar
