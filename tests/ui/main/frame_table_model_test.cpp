// The table model's arrival times: each row during a pass says when that row came, through
// appends and drops, and a log's rows say none.
#include "ui/model/frame_table_model.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QTest>

namespace quilmar {
namespace {

// Rows appended in three bursts some milliseconds apart: every row reads its own burst's time,
// not its neighbour's, also once the oldest row went.
TEST(FrameTableModelArrivals, EachRowKeepsTheTimeItArrived) {
  FrameTableModel model;
  model.Clear(QStringLiteral("pass"), TableOrigin::kPass);
  FrameTable& table = model.TableToFill();
  std::vector<std::pair<qint64, qint64>> bursts;  // the clock before and after each
  const int sizes[] = {1, 2, 1};
  for (const int size : sizes) {
    const qint64 before = QDateTime::currentMSecsSinceEpoch();
    const int first = table.frameCount + 1;
    table.frameCount += size;
    model.Appended(first, table.frameCount);
    bursts.insert(bursts.end(), static_cast<std::size_t>(size),
                  {before, QDateTime::currentMSecsSinceEpoch()});
    QTest::qWait(30);
  }
  const auto check = [&](int dropped) {
    for (int row = 1; row <= model.RowCount(); ++row) {
      SCOPED_TRACE(row);
      const auto [before, after] = bursts[static_cast<std::size_t>(row - 1 + dropped)];
      EXPECT_GE(model.ArrivedAt(row), before);
      EXPECT_LE(model.ArrivedAt(row), after);
    }
    EXPECT_EQ(model.ArrivedAt(0), 0);
    EXPECT_EQ(model.ArrivedAt(model.RowCount() + 1), 0);
  };
  check(0);
  model.DropOldest(1);
  ASSERT_EQ(model.RowCount(), 3);
  check(1);
  model.Refilled({});
  EXPECT_EQ(model.ArrivedAt(1), 0);  // a log's rows arrived at no time of their own
}

}  // namespace
}  // namespace quilmar
