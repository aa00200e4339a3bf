// Info window: the version line and the single instance.
#include "ui/aux/info_window.h"

#include <gtest/gtest.h>

#include <QLabel>

#include "tests/ui/aux/aux_fixture.h"

namespace quilmar::testing {
namespace {

using InfoWindowTest = AuxFixture;

TEST_F(InfoWindowTest, ShowsTitleAndCentredVersionLine) {
  aux->OpenInfo();
  const InfoWindow* window = aux->infoWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->windowTitle(), " Info");
  EXPECT_EQ(window->size(), QSize(285, 133));
  EXPECT_FALSE(window->windowIcon().isNull());
  EXPECT_EQ(Child(window, "Label1")->text(), "QUILMAR-1 HK Telemetry Decoder");
  const QLabel* version = Child(window, "Label2");
  EXPECT_EQ(version->text(), "Version 3.03    (17 April 2009)");
  EXPECT_TRUE(version->alignment() & Qt::AlignHCenter);
}

TEST_F(InfoWindowTest, OpeningTwiceShowsOneWindow) {
  aux->OpenInfo();
  InfoWindow* first = aux->infoWindow();
  aux->OpenInfo();
  EXPECT_EQ(aux->infoWindow(), first);
  aux->CloseAll();
  FlushDeletes();
  EXPECT_EQ(aux->infoWindow(), nullptr);
  aux->OpenInfo();
  EXPECT_NE(aux->infoWindow(), nullptr);
}

}  // namespace
}  // namespace quilmar::testing
