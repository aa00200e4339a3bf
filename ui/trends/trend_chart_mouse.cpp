// The Trends chart under the mouse: the wheel zooms about the pointer, dragging pans,
// Shift+dragging draws a rubber band and zooms to its time span, a double-click shows the
// whole range, hovering shows a point's text and a click on a point names its frame.
#include <QMouseEvent>
#include <QRubberBand>
#include <QToolTip>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <limits>

#include "trend_chart.h"

namespace quilmar {
namespace {

constexpr double kClickSlack = 3.0;  // pixels a click may move before it pans or draws a box
// A hover text's time on screen while the pointer rests on its point: as long as it rests.
constexpr int kShownWhilePointerRests = std::numeric_limits<int>::max();

}  // namespace

void TrendChart::wheelEvent(QWheelEvent* event) {
  const double steps = event->angleDelta().y() / 120.0;
  if (steps == 0.0) {
    return;
  }
  const double anchor = TimeAt(event->position().x());
  const double factor = std::pow(0.8, steps);
  const double longest = (fullTo - fullFrom) * 1.5;
  const double span = std::min((viewTo - viewFrom) * factor, longest);
  const double share = (anchor - viewFrom) / (viewTo - viewFrom);
  SetView(anchor - share * span, anchor - share * span + span);
  event->accept();
}

void TrendChart::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    return;
  }
  dragMoved = false;
  dragStartX = event->position().x();
  if (event->modifiers() & Qt::ShiftModifier) {
    boxZooming = true;
    setCursor(Qt::CrossCursor);
    return;
  }
  dragging = true;
  dragStartFrom = viewFrom;
  setCursor(Qt::ClosedHandCursor);
}

// The rubber band from where the drag began to x, over the plot's whole height: only its
// time span counts.
void TrendChart::ShowBox(double x) {
  if (!rubberBand) {
    rubberBand = new QRubberBand(QRubberBand::Rectangle, this);
    rubberBand->setObjectName(QStringLiteral("zoomBox"));
  }
  const QRect plot = PlotRect();
  const auto clamped = [&](double at) {
    return static_cast<int>(std::lround(std::clamp<double>(at, plot.left(), plot.right())));
  };
  const int left = clamped(std::min(dragStartX, x));
  const int right = clamped(std::max(dragStartX, x));
  rubberBand->setGeometry(QRect(QPoint(left, plot.top()), QPoint(right, plot.bottom())));
  rubberBand->show();
}

void TrendChart::mouseMoveEvent(QMouseEvent* event) {
  const double x = event->position().x();
  // A click that wanders a pixel or two is still a click on a point, not a pan or a box.
  dragMoved = dragMoved || std::abs(x - dragStartX) > kClickSlack;
  if (boxZooming) {
    if (dragMoved) {
      ShowBox(x);
    }
    return;
  }
  if (dragging) {
    const double span = viewTo - viewFrom;
    const double shift = (x - dragStartX) / std::max(1, PlotRect().width());
    SetView(dragStartFrom - shift * span, dragStartFrom - shift * span + span);
    return;
  }
  ShowHover(event->position(), event->globalPosition().toPoint());
}

void TrendChart::ShowHover(QPointF position, QPoint globalPosition) {
  const QString text = HoverText(position);
  if (text.isEmpty()) {
    QToolTip::hideText();
  } else {
    QToolTip::showText(globalPosition, text, this, QRect(), kShownWhilePointerRests);
  }
}

// The pointer resting on the chart asks for the hovered point's text again; answered here,
// the question never reaches a parent that might answer with none.
bool TrendChart::event(QEvent* event) {
  if (event->type() != QEvent::ToolTip) {
    return QWidget::event(event);
  }
  const auto* help = static_cast<QHelpEvent*>(event);
  if (!dragging && !boxZooming) {
    ShowHover(help->pos(), help->globalPos());
  }
  event->accept();
  return true;
}

void TrendChart::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    return;
  }
  unsetCursor();
  if (boxZooming) {
    boxZooming = false;
    if (rubberBand) {
      rubberBand->hide();
    }
    // A box a few pixels wide is a slip of the hand, not a wish for a one-minute view.
    const double x = event->position().x();
    if (std::abs(x - dragStartX) > kClickSlack) {
      const QRect plot = PlotRect();
      const auto inPlot = [&](double at) {
        return std::clamp<double>(at, plot.left(), plot.left() + plot.width());
      };
      SetView(TimeAt(inPlot(std::min(dragStartX, x))), TimeAt(inPlot(std::max(dragStartX, x))));
    }
    return;
  }
  dragging = false;
  if (!dragMoved) {
    if (const std::optional<NearPoint> near = PointNear(event->position())) {
      const DrawnPoint& drawn = near->point;
      TrendPointRef point;
      point.parameterRow = curves[static_cast<std::size_t>(near->curve)].data.parameterRow;
      point.time = drawn.time;
      point.key = drawn.key;
      point.hourHighest = near->high;
      if (drawn.bucketSeconds > 0) {
        // A column's extreme: the frame that carries it is looked for in the column's span.
        const auto from = static_cast<std::int64_t>(std::floor(drawn.time / drawn.bucketSeconds));
        point.bucketFrom = from * drawn.bucketSeconds;
        point.bucketTo = point.bucketFrom + drawn.bucketSeconds - 1;
      }
      if (point.key == 0 && extremeFinder) {
        extremeFinder(point);
      } else {
        emit pointClicked(point);
      }
    }
  }
}

void TrendChart::mouseDoubleClickEvent(QMouseEvent*) { SetView(fullFrom, fullTo); }

}  // namespace quilmar
