// The frame view's boxes in the application's style, with their sunken panel drawn once per
// size, state and palette and then copied: the style strokes the panel's rounded outline
// anew on every repaint, and a scroll step repaints dozens of boxes.
#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QPixmapCache>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOption>

#include "frame_view_controls.h"

namespace quilmar {
namespace {

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
    const QString key = QStringLiteral("quilmar-box-%1x%2-%3-%4-%5-%6")
                            .arg(option->rect.width())
                            .arg(option->rect.height())
                            .arg(static_cast<uint>(option->state))
                            .arg(option->palette.cacheKey())
                            .arg(frame->lineWidth)
                            .arg(ratio);
    QPixmap panel;
    if (!QPixmapCache::find(key, &panel)) {
      panel = QPixmap(option->rect.size() * ratio);
      panel.setDevicePixelRatio(ratio);
      panel.fill(Qt::transparent);
      QStyleOptionFrame atOrigin = *frame;
      atOrigin.rect.moveTo(0, 0);
      QPainter panelPainter(&panel);
      QProxyStyle::drawPrimitive(element, &atOrigin, &panelPainter, widget);
      panelPainter.end();
      QPixmapCache::insert(key, panel);
    }
    painter->drawPixmap(option->rect.topLeft(), panel);
  }
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
