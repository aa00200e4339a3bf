// Window frame, artwork and label helpers shared by the auxiliary windows.
#include "ui/aux/aux_look.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QSvgRenderer>
#include <QWidget>

#include "ui/look/look.h"
#include "ui/look/twips.h"

namespace quilmar {

void SetUpFixedWindow(QWidget* window, const QString& name, const QString& title,
                      int clientWidthTwips, int clientHeightTwips, const QColor& background) {
  window->setObjectName(name);
  window->setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                         Qt::MSWindowsFixedSizeDialogHint);
  window->setWindowTitle(title);
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->setFixedSize(Px(clientWidthTwips), Px(clientHeightTwips));
  SetPaletteColour(window, QPalette::Window, background);
  window->setAutoFillBackground(true);
}

QPixmap RenderArtwork(const QString& path, QSize size) {
  const qreal ratio = qGuiApp != nullptr ? qGuiApp->devicePixelRatio() : 1.0;
  QPixmap pixmap(size * ratio);
  pixmap.fill(Qt::transparent);
  QSvgRenderer renderer(path);
  if (renderer.isValid()) {
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
  }
  pixmap.setDevicePixelRatio(ratio);
  return pixmap;
}

QIcon ProgramIcon() {
  QIcon icon;
  for (const int side : {16, 24, 32, 48, 64, 128}) {
    icon.addPixmap(RenderArtwork(QString::fromLatin1(kProgramIconPath), QSize(side, side)));
  }
  return icon;
}

QIcon NoWindowIcon() {
  QPixmap blank(16, 16);
  blank.fill(Qt::transparent);
  return QIcon(blank);
}

void BringToFront(QWidget* window) {
  if (!window->isVisible()) {
    window->show();  // a new window comes up in front by itself
    return;
  }
  window->raise();
  window->activateWindow();
}

QLabel* AddLabel(QWidget* parent, const QString& name, const QString& text, int left, int top,
                 int width, int height, const QFont& font, const QColor& background) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  label->setFont(font);
  // Captions and bit texts carry raw status characters; never let them read as markup.
  label->setTextFormat(Qt::PlainText);
  SetPaletteColour(label, QPalette::Window, background);
  label->setAutoFillBackground(true);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  PlaceInTwips(label, left, top, width, height);
  return label;
}

}  // namespace quilmar
