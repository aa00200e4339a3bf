// Panel picture: current-to-colour rule, face drawing read back from rendered pixels.
#include "ui/frame/panel_picture.h"

#include <gtest/gtest.h>

#include <QImage>
#include <cmath>
#include <limits>

#include "panel_pixels.h"

namespace quilmar {
namespace {

TEST(PanelColour, RunsFromBlackToYellowWithTheCurrent) {
  const struct {
    double current;
    std::optional<QColor> colour;
  } cases[] = {
      {0, QColor(0, 0, 0)},
      {0.8, QColor(0, 0, 0)},        // 0.48 rounds to 0
      {0.84, QColor(1, 1, 0)},       // 0.504 rounds to 1
      {319.2, QColor(192, 192, 0)},  // the first level with black lines
      {319.1, QColor(191, 191, 0)},
      {2.5 / 0.6, QColor(2, 2, 0)},  // 2.5 rounds to the even 2
      {500, QColor(255, 255, 0)},
      {54612, QColor(255, 255, 0)},  // n = 32767, the last that fits 16 bits
      {54613, std::nullopt},
      {-0.8, QColor(0, 0, 0)},  // rounds to zero, not below it
      {-10, std::nullopt},      // a negative current keeps the reset look
      {-60000, std::nullopt},
      {std::numeric_limits<double>::quiet_NaN(), std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.current);
    EXPECT_EQ(PanelColour(c.current), c.colour);
  }
}

TEST(PanelPicture, OutlineAndCaptionTurnBlackFromColourValue49344) {
  const struct {
    QColor fill;
    QColor lines;
  } cases[] = {
      {QColor(0, 0, 0), Qt::white},       {QColor(191, 191, 0), Qt::white},
      {QColor(192, 192, 0), Qt::black},   {QColor(255, 255, 0), Qt::black},
      {QColor(255, 191, 0), Qt::white},  // 49151: green carries the weight, not red
      {QColor(0, 0, 1), Qt::black},      // blue sits in the high byte
      {QColor(192, 192, 192), Qt::black},
  };
  PanelPicture picture;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fill.name().toStdString());
    for (const FacePixels& face : kFacePixels) {
      picture.DrawPanelFace(face.face, c.fill);
    }
    const QImage image = picture.Surface().toImage();
    for (const FacePixels& face : kFacePixels) {
      SCOPED_TRACE(face.caption);
      ExpectFaceLook(image, face, c.fill, c.lines);
    }
  }
}

TEST(PanelPicture, ResetPaintsBlackFacesWithWhiteLines) {
  PanelPicture picture;
  for (const FacePixels& face : kFacePixels) {
    picture.DrawPanelFace(face.face, QColor(255, 255, 0));
  }
  picture.Reset();
  const QImage image = picture.Surface().toImage();
  for (const FacePixels& face : kFacePixels) {
    SCOPED_TRACE(face.caption);
    ExpectFaceLook(image, face, Qt::black, Qt::white);
  }
}

TEST(PanelPicture, KeepsItsLookWhenHiddenAndShownAgain) {
  PanelPicture picture;
  picture.Reset();
  picture.DrawPanelFace(PanelFace::kMinusX, QColor(255, 255, 0));
  picture.show();
  picture.hide();
  picture.show();
  const QImage shown = picture.grab().toImage();
  EXPECT_EQ(shown.convertToFormat(QImage::Format_RGB32),
            picture.Surface().toImage().convertToFormat(QImage::Format_RGB32));
  EXPECT_EQ(QColor(shown.pixel(120, 160)), QColor(255, 255, 0));
}

}  // namespace
}  // namespace quilmar
