// The compiled-in artwork: every drawing loads with the size its control was designed for, and
// the information symbol still reads as white on blue at the 16-pixel button size.
#include <gtest/gtest.h>

#include <QImage>
#include <QSvgRenderer>

#include "ui/aux/aux_look.h"

namespace quilmar::testing {
namespace {

TEST(ArtworkTest, DrawingsLoadAtTheirDesignedSizes) {
  const struct {
    const char* path;
    QSize size;
  } drawings[] = {
      {":/quilmar/icon.svg", {64, 64}},
      {":/quilmar/info.svg", {64, 64}},
      {":/quilmar/spacecraft.svg", {423, 467}},  // Image1 on the ADCS tab
  };
  for (const auto& drawing : drawings) {
    SCOPED_TRACE(drawing.path);
    QSvgRenderer renderer(QString::fromLatin1(drawing.path));
    EXPECT_TRUE(renderer.isValid());
    EXPECT_EQ(renderer.defaultSize(), drawing.size);
  }
}

TEST(ArtworkTest, InfoSymbolIsAWhiteLetterOnABlueDiscAtButtonSize) {
  const QImage image =
      RenderArtwork(QString::fromLatin1(kInfoSymbolPath), QSize(16, 16)).toImage().scaled(16, 16);
  const QColor stem = image.pixelColor(10, 11);
  const QColor disc = image.pixelColor(7, 10);
  EXPECT_GT(stem.lightness(), 200);
  EXPECT_GT(disc.blue(), disc.red() + 80);
  EXPECT_FALSE(ProgramIcon().availableSizes().isEmpty());
}

}  // namespace
}  // namespace quilmar::testing
