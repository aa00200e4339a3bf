// The bulk insert on both engines: values of every column type arrive exactly as sent
// (integer widths, text that COPY or SQL would treat specially, bytes with NUL and KISS
// escapes, NULLs), over several batches and transactions, and a refused row fails the batch
// with the engine's reason.
#include "archive/batch_insert.h"

#include <gtest/gtest.h>

#include <QSqlQuery>
#include <QVariant>
#include <cmath>

#include "archive/archive.h"
#include "test_archives.h"

namespace quilmar {
namespace {

using Type = BatchInsert::Type;

struct ProbeRow {
  BatchValue id, small, number, label, payload;
};

const std::vector<BatchInsert::Column> kProbeColumns{{"id", Type::kBigint},
                                                     {"small", Type::kInteger},
                                                     {"number", Type::kDouble},
                                                     {"label", Type::kText},
                                                     {"payload", Type::kBytes}};

QVariant Expected(const BatchValue& value) {
  if (const auto* integer = std::get_if<qint64>(&value)) {
    return *integer;
  }
  if (const auto* number = std::get_if<double>(&value)) {
    return *number;
  }
  if (const auto* text = std::get_if<QString>(&value)) {
    return *text;
  }
  if (const auto* bytes = std::get_if<QByteArray>(&value)) {
    return *bytes;
  }
  return {};
}

class BulkInsert : public ::testing::TestWithParam<ArchiveEngine> {
 protected:
  void SetUp() override {
    const ArchiveLocation location = testing::FreshArchive(GetParam());
    ASSERT_FALSE(location.display.isEmpty());
    ASSERT_TRUE(archive.Open(location)) << archive.Error().toStdString();
    const QString bytes = archive.IsPostgresql() ? "BYTEA" : "BLOB";
    ASSERT_TRUE(
        archive.Execute("CREATE TABLE probe (id BIGINT NOT NULL, small INTEGER, number "
                        "DOUBLE PRECISION, label TEXT, payload " +
                        bytes + ")"))
        << archive.Error().toStdString();
  }

  // One transaction of batches; false when a batch failed (the transaction rolled back).
  bool Insert(const std::vector<std::vector<ProbeRow>>& batches, std::int64_t& inserted) {
    inserted = 0;
    EXPECT_TRUE(archive.BeginWrite()) << archive.Error().toStdString();
    BatchInsert insert(archive, "probe", kProbeColumns, "");
    for (const auto& rows : batches) {
      EXPECT_TRUE(insert.Begin());
      for (const ProbeRow& row : rows) {
        for (const BatchValue* value :
             {&row.id, &row.small, &row.number, &row.label, &row.payload}) {
          insert.Add(*value);
        }
      }
      std::int64_t count = 0;
      if (!insert.Execute(count)) {
        archive.Rollback();
        return false;
      }
      inserted += count;
    }
    return archive.Commit();
  }

  Archive archive;
};

TEST_P(BulkInsert, ValuesArriveAsSentOverBatchesAndTransactions) {
  const QByteArray kissBytes("\x00\\\xC0\xDB\xDC\xFF\t\n\r", 9);
  const std::vector<ProbeRow> rows{
      {qint64{1}, qint64{0}, 0.0, QString(""), kissBytes},
      {qint64{(1LL << 40) + 7}, qint64{-2147483647 - 1}, -123.456, QString("tab\there\nnew\\line"),
       QByteArray(300, '\\')},
      {qint64{-5}, qint64{2147483647}, 1.5e-300,
       QString::fromUtf8("\"q\" ',; \\N \xc3\xbc\xe2\x82\xac"), QByteArray("x")},
      {qint64{4}, {}, {}, {}, {}},
      {qint64{5}, qint64{65535}, 4.35294103622437, QString("XQ0GND"), kissBytes.left(1)},
  };
  std::int64_t inserted = 0;
  ASSERT_TRUE(Insert({{rows[0], rows[1]}, {rows[2]}, {}}, inserted))
      << archive.Error().toStdString();
  EXPECT_EQ(inserted, 3);
  ASSERT_TRUE(Insert({{rows[3], rows[4]}}, inserted)) << archive.Error().toStdString();
  EXPECT_EQ(inserted, 2);

  QSqlQuery query(archive.Database());
  ASSERT_TRUE(query.exec("SELECT id, small, number, label, payload FROM probe"));
  std::size_t found = 0;
  for (; query.next(); ++found) {
    ASSERT_LT(found, rows.size());
    const ProbeRow& row = rows[found];
    SCOPED_TRACE(found);
    const BatchValue* sent[] = {&row.id, &row.small, &row.number, &row.label, &row.payload};
    for (int c = 0; c < 5; ++c) {
      const QVariant expected = Expected(*sent[c]);
      const QVariant got = query.value(c);
      EXPECT_EQ(got.isNull(), expected.isNull()) << kProbeColumns[c].name.toStdString();
      if (expected.isNull() || got.isNull()) {
        continue;
      }
      if (c == 2) {
        EXPECT_EQ(got.toDouble(), expected.toDouble());
      } else if (c == 4) {
        EXPECT_EQ(got.toByteArray().toHex(), expected.toByteArray().toHex());
      } else {
        EXPECT_EQ(got.toString(), expected.toString()) << kProbeColumns[c].name.toStdString();
      }
    }
  }
  EXPECT_EQ(found, rows.size());
}

TEST_P(BulkInsert, RefusedRowFailsTheBatchWithTheEnginesReason) {
  std::int64_t inserted = 0;
  const ProbeRow good{qint64{1}, qint64{1}, 1.0, QString("a"), QByteArray("b")};
  const ProbeRow noId{{}, qint64{2}, 2.0, QString("c"), QByteArray("d")};
  EXPECT_FALSE(Insert({{good}, {good, noId, good}}, inserted));
  EXPECT_TRUE(archive.Error().contains("null", Qt::CaseInsensitive))
      << archive.Error().toStdString();
  QSqlQuery query(archive.Database());
  ASSERT_TRUE(query.exec("SELECT count(*) FROM probe") && query.next());
  EXPECT_EQ(query.value(0).toInt(), 0);  // the whole transaction went
  ASSERT_TRUE(Insert({{good}}, inserted)) << archive.Error().toStdString();
  EXPECT_EQ(inserted, 1);
}

INSTANTIATE_TEST_SUITE_P(Engines, BulkInsert,
                         ::testing::Values(ArchiveEngine::kSqlite, ArchiveEngine::kPostgresql),
                         [](const auto& info) {
                           return info.param == ArchiveEngine::kSqlite ? "Sqlite" : "Postgresql";
                         });

}  // namespace
}  // namespace quilmar
