// Values beyond their limits in the auxiliary windows: a status-bit window shows its byte's
// limit state as the main window's box does, and the Memory Dump strip marks the frames with
// a value beyond its limits by a block whose height tells red from yellow.
#include <gtest/gtest.h>

#include <QLineEdit>

#include "core/parameter_catalogue.h"
#include "limits/limits_file.h"
#include "limits/value_names.h"
#include "tests/ui/aux/aux_fixture.h"
#include "ui/aux/frame_strip.h"
#include "ui/aux/memory_dump_window.h"
#include "ui/aux/status_bit_window.h"
#include "ui/limits/frame_limits.h"
#include "ui/limits/limit_look.h"
#include "ui/look/look.h"

namespace quilmar::testing {
namespace {

constexpr int kSystemStatusRow = 69;

class AuxLimitsTest : public AuxFixture {};

TEST_F(AuxLimitsTest, AStatusBitWindowShowsItsBytesLimitState) {
  const struct {
    const char* name;
    LimitLevel level;
    const char* mark;
    QColor colour;
    const char* text;
    const char* toolTip;
  } cases[] = {
      {"red state", LimitLevel::kRed, "!", kLimitRed, "! 11000000",
       "red state: 192 (limits.toml:2:7)"},
      {"yellow low", LimitLevel::kYellow, "\u25BC", kLimitYellow, "\u25BC 11000000",
       "yellow low: below yellow_low 200 (limits.toml:2:14)"},
      {"normal again", LimitLevel::kNormal, "", kLightGrey, "11000000", ""},
  };
  QLineEdit* box = boxes[kSystemStatusRow];
  box->setText(QStringLiteral("11000000"));
  aux->OpenStatusBitWindow(kSystemStatusRow);
  StatusBitWindow* window = aux->statusBitWindow(kSystemStatusRow);
  ASSERT_NE(window, nullptr);
  auto* field = Child<QLineEdit>(window, QStringLiteral("Text1"));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    box->setProperty(kLimitLevelProperty, static_cast<int>(c.level));
    box->setProperty(kLimitMarkProperty, QString::fromUtf8(c.mark));
    box->setToolTip(QString::fromUtf8(c.toolTip));
    window->Refresh();
    EXPECT_EQ(field->text(), QString::fromUtf8(c.text));
    EXPECT_EQ(field->palette().color(QPalette::Base), c.colour);
    EXPECT_EQ(field->toolTip(), QString::fromUtf8(c.toolTip));
  }
}

TEST_F(AuxLimitsTest, TheMemoryDumpMarksFramesBeyondTheirLimits) {
  FillTable({"S", "S", "S"});
  const LimitLevel levels[] = {LimitLevel::kNormal, LimitLevel::kYellow, LimitLevel::kRed};
  aux->SetFrameLevels([&](int index) { return levels[index - 1]; });
  aux->OpenMemoryDump();
  const FrameStrip* strip = aux->memoryDumpWindow()->strip();
  const QImage image = strip->image().toImage();
  const double step = static_cast<double>(strip->innerWidth() - 10) / 3;
  const QColor blue(0, 0, 192);  // a housekeeping frame's line
  EXPECT_EQ(strip->LimitBlockHeight(LimitLevel::kNormal), 0);
  EXPECT_GT(strip->LimitBlockHeight(LimitLevel::kRed),
            strip->LimitBlockHeight(LimitLevel::kYellow) + 4);
  for (int i = 1; i <= 3; ++i) {
    SCOPED_TRACE(i);
    const int column = static_cast<int>(std::nearbyint(i * step));
    const LimitLevel level = levels[i - 1];
    const int block = strip->LimitBlockHeight(level);
    EXPECT_EQ(image.pixelColor(column, 2),
              level == LimitLevel::kNormal ? blue : LimitColour(level));
    EXPECT_EQ(image.pixelColor(column, block + 2), blue);
    const QString toolTip = strip->ToolTipAt(strip->contentsRect().topLeft() + QPoint(column, 5));
    EXPECT_EQ(toolTip.contains(QStringLiteral("beyond their limits: ") +
                               QString::fromLatin1(LevelText(level))),
              level != LimitLevel::kNormal)
        << toolTip.toStdString();
  }
}

// Reload Limits: an open Memory Dump marks its frames by the new limits at once, not at the
// next frame of a live session (which may never come).
TEST_F(AuxLimitsTest, NewLimitsRedrawAnOpenMemoryDump) {
  const int volts = *RowOfValueName("eps_tcs_battery_volts");
  table.Record(1).values[0] = SectionInfoOf(Section::kEpsTcs).markerValue;
  table.Record(1).values[static_cast<std::size_t>(volts)] = 3.0;
  FrameLimits limits(model);
  FillTable({"S"});
  const auto limitsOf = [](const char* text) {
    LimitsLoad load = ParseLimits(text, "limits.toml");
    EXPECT_TRUE(load.limits) << load.error.Text();
    return load.limits ? *load.limits : LimitSet();
  };
  limits.SetLimits(limitsOf("[eps_tcs_battery_volts]\nred_low = 2.5\n"));
  aux->FollowLimits(limits);
  aux->OpenMemoryDump();
  const FrameStrip* strip = aux->memoryDumpWindow()->strip();
  const int column = strip->innerWidth() - 10;
  const QColor blue(0, 0, 192);  // a housekeeping frame's line
  EXPECT_EQ(strip->image().toImage().pixelColor(column, 2), blue);

  limits.SetLimits(limitsOf("[eps_tcs_battery_volts]\nred_low = 3.5\n"));
  EXPECT_EQ(strip->image().toImage().pixelColor(column, 2), LimitColour(LimitLevel::kRed));
}

}  // namespace
}  // namespace quilmar::testing
