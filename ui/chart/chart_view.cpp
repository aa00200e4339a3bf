// The view of the parameter chart; see chart_view.h.
#include "chart_view.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QRubberBand>
#include <algorithm>

namespace quilmar {
namespace {

// Travel in pixels below which a press and release count as a click, not a zoom drag.
constexpr int kDragThreshold = 4;

QString FirstLocalFile(const QMimeData* mime) {
  if (mime == nullptr || !mime->hasUrls()) {
    return {};
  }
  for (const QUrl& url : mime->urls()) {
    if (url.isLocalFile()) {
      return url.toLocalFile();
    }
  }
  return {};
}

}  // namespace

ChartView::ChartView(QChart* chart, QWidget* parent) : QChartView(chart, parent) {
  setAcceptDrops(true);
  setRenderHint(QPainter::Antialiasing);
  // Qt Charts under-reports what its markers, labels and grid lines cover when points and
  // ranges change, so a partial update leaves pieces of the earlier chart on screen; the
  // whole view is cheap to repaint.
  setViewportUpdateMode(QGraphicsView::FullViewportUpdate);
  setRubberBand(QChartView::NoRubberBand);  // our own band tells a click from a drag
  viewport()->setMouseTracking(true);
  band = new QRubberBand(QRubberBand::Rectangle, viewport());
  clickTimer.setSingleShot(true);
  connect(&clickTimer, &QTimer::timeout, this, [this] { emit clickedAt(clickPosition); });
}

void ChartView::dragEnterEvent(QDragEnterEvent* event) {
  if (FirstLocalFile(event->mimeData()).isEmpty()) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
}

void ChartView::dragMoveEvent(QDragMoveEvent* event) {
  if (FirstLocalFile(event->mimeData()).isEmpty()) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
}

void ChartView::dropEvent(QDropEvent* event) {
  const QString path = FirstLocalFile(event->mimeData());
  if (path.isEmpty()) {
    event->ignore();
    return;
  }
  event->acceptProposedAction();
  emit fileDropped(path);
}

void ChartView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QGraphicsView::mousePressEvent(event);
    return;
  }
  pressed = true;
  pressPosition = event->position().toPoint();
  event->accept();
}

void ChartView::mouseMoveEvent(QMouseEvent* event) {
  const QPoint position = event->position().toPoint();
  if (!pressed) {
    emit hoveredAt(position, event->globalPosition().toPoint());
    return;
  }
  if (std::abs(position.x() - pressPosition.x()) < kDragThreshold && !band->isVisible()) {
    return;
  }
  // Only the horizontal extent counts: the band spans the plot's full height.
  const QRect plot = mapFromScene(chart()->mapToScene(chart()->plotArea())).boundingRect();
  const int left = std::max(plot.left(), std::min(position.x(), pressPosition.x()));
  const int right = std::min(plot.right(), std::max(position.x(), pressPosition.x()));
  band->setGeometry(QRect(QPoint(left, plot.top()), QPoint(right, plot.bottom())));
  band->show();
}

void ChartView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !pressed) {
    QGraphicsView::mouseReleaseEvent(event);  // no zoom-out on the right button
    return;
  }
  pressed = false;
  event->accept();
  if (!band->isVisible()) {
    clickPosition = event->position().toPoint();
    clickTimer.start(QApplication::doubleClickInterval());
    return;
  }
  band->hide();
  const QRectF area = chart()->mapFromScene(mapToScene(band->geometry())).boundingRect();
  if (area.width() >= kDragThreshold) {
    chart()->zoomIn(
        QRectF(area.left(), chart()->plotArea().top(), area.width(), chart()->plotArea().height()));
  }
}

void ChartView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    clickTimer.stop();
    emit wholeChartRequested();
  }
  event->accept();
}

bool ChartView::viewportEvent(QEvent* event) {
  if (event->type() != QEvent::ToolTip) {
    return QChartView::viewportEvent(event);
  }
  const auto* help = static_cast<QHelpEvent*>(event);
  if (!pressed) {
    emit hoveredAt(help->pos(), help->globalPos());
  }
  event->accept();
  return true;
}

void ChartView::contextMenuEvent(QContextMenuEvent* event) {
  QMenu* menu = CreateContextMenu(this);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(event->globalPos());
  event->accept();
}

QImage ChartView::Picture() {
  // Drawn in device pixels throughout, so the title lines up with the chart at any scale.
  QImage plot = grab().toImage();
  plot.setDevicePixelRatio(1);
  QFont titleFont = font();
  titleFont.setBold(true);
  const QFontMetrics metrics(titleFont);
  const int titleHeight = pictureTitle.isEmpty() ? 0 : metrics.height() * 2;
  QImage picture(plot.width(), plot.height() + titleHeight, QImage::Format_RGB32);
  picture.fill(chart()->backgroundBrush().color());
  QPainter painter(&picture);
  painter.setFont(titleFont);
  painter.setPen(palette().color(QPalette::WindowText));
  painter.drawText(QRect(0, 0, plot.width(), titleHeight), Qt::AlignCenter,
                   metrics.elidedText(pictureTitle, Qt::ElideRight, plot.width() - 8));
  painter.drawImage(QPoint(0, titleHeight), plot);
  return picture;
}

bool ChartView::SaveAsPng(const QString& path) { return Picture().save(path, "PNG"); }

void ChartView::CopyToClipboard() { QApplication::clipboard()->setImage(Picture()); }

QMenu* ChartView::CreateContextMenu(QWidget* parent) {
  auto* menu = new QMenu(parent);
  menu->addAction(QStringLiteral("Save Chart as PNG…"), this, &ChartView::OfferSaveAsPng);
  menu->addAction(QStringLiteral("Copy Chart"), this, &ChartView::CopyToClipboard);
  QAction* whole =
      menu->addAction(QStringLiteral("Show Whole Chart"), this, &ChartView::wholeChartRequested);
  whole->setEnabled(chart()->isZoomed());
  return menu;
}

void ChartView::OfferSaveAsPng() {
  QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save Chart as PNG"),
                                              QStringLiteral("chart.png"),
                                              QStringLiteral("PNG images (*.png)"));
  if (path.isEmpty()) {
    return;
  }
  if (!path.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive)) {
    path += QStringLiteral(".png");
  }
  if (!SaveAsPng(path)) {
    QMessageBox::warning(this, QStringLiteral("Save Chart as PNG"),
                         QStringLiteral("The chart could not be saved as %1.").arg(path));
  }
}

}  // namespace quilmar
