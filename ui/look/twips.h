// Window layouts are designed in twips (1/1440 inch); at 96 dots per inch 15 twips make one
// pixel. Every control is placed through these helpers so the layout tables read as designed.
#pragma once

#include <QRect>
#include <QWidget>

namespace quilmar {

inline constexpr int kTwipsPerPixel = 15;

constexpr int Px(int twips) {
  return twips >= 0 ? (twips + kTwipsPerPixel / 2) / kTwipsPerPixel
                    : -((-twips + kTwipsPerPixel / 2) / kTwipsPerPixel);
}

inline QRect TwipRect(int left, int top, int width, int height) {
  return QRect(Px(left), Px(top), Px(width), Px(height));
}

inline void PlaceInTwips(QWidget* widget, int left, int top, int width, int height) {
  widget->setGeometry(TwipRect(left, top, width, height));
}

}  // namespace quilmar
