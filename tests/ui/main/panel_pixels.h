// Probe points of the panel picture's six faces, for tests that read the rendered pixels.
#pragma once

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QRect>
#include <array>

#include "ui/frame/panel_picture.h"

namespace quilmar {

struct FacePixels {
  PanelFace face;
  const char* caption;
  QPoint inside;   // inside the face, clear of its caption
  QPoint outline;  // on an edge no other face paints over
  QRect captionBox;
};

inline const std::array<FacePixels, 6> kFacePixels{{
    {PanelFace::kMinusZ, "-Z", {80, 20}, {85, 15}, {103, 12, 16, 12}},
    {PanelFace::kPlusX, "+X", {70, 70}, {60, 50}, {75, 50, 16, 12}},
    {PanelFace::kPlusY, "+Y", {120, 80}, {160, 50}, {130, 50, 16, 12}},
    {PanelFace::kMinusY, "-Y", {70, 170}, {60, 150}, {75, 140, 16, 12}},
    {PanelFace::kMinusX, "-X", {120, 160}, {160, 150}, {130, 140, 16, 12}},
    {PanelFace::kPlusZ, "+Z", {80, 180}, {135, 185}, {103, 175, 16, 12}},
}};

// Fill inside, outline on the edge (a diagonal edge may fall one pixel above or below) and a
// caption drawn in the outline colour.
inline void ExpectFaceLook(const QImage& image, const FacePixels& face, const QColor& fill,
                           const QColor& lines) {
  EXPECT_EQ(QColor(image.pixel(face.inside)), fill);
  bool outlined = false;
  for (int dy = -1; dy <= 1; ++dy) {
    outlined |= QColor(image.pixel(face.outline + QPoint(0, dy))) == lines;
  }
  EXPECT_TRUE(outlined) << "outline " << QColor(image.pixel(face.outline)).name().toStdString();
  int captionPixels = 0;
  for (int y = face.captionBox.top(); y <= face.captionBox.bottom(); ++y) {
    for (int x = face.captionBox.left(); x <= face.captionBox.right(); ++x) {
      captionPixels += QColor(image.pixel(x, y)) == lines;
    }
  }
  EXPECT_GT(captionPixels, 10);
}

}  // namespace quilmar
