// The status bar's path label; see path_label.h.
#include "path_label.h"

#include <QPainter>

namespace quilmar {

PathLabel::PathLabel(QWidget* parent) : QLabel(parent) {
  setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void PathLabel::SetPath(const QString& path) {
  setText(path);
  setToolTip(path);
}

QString PathLabel::DisplayedText() const {
  return fontMetrics().elidedText(text(), Qt::ElideMiddle, contentsRect().width());
}

QSize PathLabel::sizeHint() const { return {0, QLabel::sizeHint().height()}; }

QSize PathLabel::minimumSizeHint() const { return {0, QLabel::minimumSizeHint().height()}; }

void PathLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setPen(palette().color(foregroundRole()));
  painter.drawText(contentsRect(), Qt::AlignLeft | Qt::AlignVCenter, DisplayedText());
}

}  // namespace quilmar
