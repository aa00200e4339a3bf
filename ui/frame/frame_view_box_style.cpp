// The frame view's boxes in the application's style, with their sunken panel drawn once per
// size, state and palette and then copied: the style strokes the panel's rounded outline
// anew on every repaint, and a scroll step repaints dozens of boxes.
#include <QApplication>
#include <QHash>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOption>

#include "frame_view_controls.h"

namespace quilmar {
namespace {

// What the drawn panel depends on. The palette's cache key names its colours, so a box
// recoloured gets a panel of its own.
struct PanelKey {
  int width, height;
  uint state;
  qint64 palette;
  int lineWidth;
  qreal ratio;
  bool operator==(const PanelKey&) const = default;
};

size_t qHash(const PanelKey& key, size_t seed = 0) {
  return qHashMulti(seed, key.width, key.height, key.state, key.palette, key.lineWidth);
}

// Boxes times their states and colours: a few hundred panels of a few kilobytes at most; a
// cache grown past that (palettes replaced again and again) starts over.
constexpr qsizetype kMostPanels = 1024;

class BoxStyle : public QProxyStyle {
 public:
  using QProxyStyle::QProxyStyle;

  void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
    const auto* frame = qstyleoption_cast<const QStyleOptionFrame*>(option);
    if (element != PE_PanelLineEdit || frame == nullptr || option->rect.isEmpty()) {
      QProxyStyle::drawPrimitive(element, option, painter, widget);
      return;
    }
    const qreal ratio = painter->device()->devicePixelRatio();
    const PanelKey key{
        option->rect.width(),       option->rect.height(), static_cast<uint>(option->state),
        option->palette.cacheKey(), frame->lineWidth,      ratio};
    auto found = panels.constFind(key);
    if (found == panels.constEnd()) {
      if (panels.size() >= kMostPanels) {
        panels.clear();
      }
      found = panels.insert(key, DrawPanel(*frame, ratio, widget));
    }
    painter->drawPixmap(option->rect.topLeft(), *found);
  }

 private:
  QPixmap DrawPanel(const QStyleOptionFrame& frame, qreal ratio, const QWidget* widget) const {
    QPixmap panel(frame.rect.size() * ratio);
    panel.setDevicePixelRatio(ratio);
    panel.fill(Qt::transparent);
    QStyleOptionFrame atOrigin = frame;
    atOrigin.rect.moveTo(0, 0);
    QPainter painter(&panel);
    QProxyStyle::drawPrimitive(PE_PanelLineEdit, &atOrigin, &painter, widget);
    return panel;
  }

  mutable QHash<PanelKey, QPixmap> panels;
};

}  // namespace

QStyle* BoxStyle() {
  // One for the application, ended with it; widgets do not own a style set on them.
  static QPointer<QStyle> style;
  if (style.isNull()) {
    style = new class BoxStyle(QStyleFactory::create(QApplication::style()->name()));
    style->setParent(qApp);
  }
  return style.data();
}

}  // namespace quilmar
