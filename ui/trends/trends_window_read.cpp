// Charting a ticked parameter: the tiles of the view first, then whatever tiles a zoom or a
// pan finds missing, each read in a thread of its own; a click on a column's extreme looks up
// its frame, and the values in view are read for a CSV export. See trends_window.h.
#include <QElapsedTimer>
#include <QLabel>
#include <QLocale>
#include <QSaveFile>
#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>

#include "archive/archive.h"
#include "archive/trend_query.h"
#include "core/parameter_catalogue.h"
#include "trend_chart.h"
#include "trends_query.h"
#include "trends_window.h"

namespace quilmar {
namespace {

// Colours that stay apart on a white background and for the common colour-vision deficiencies.
constexpr std::array<QRgb, 8> kColours{0x0072B2, 0xD55E00, 0x009E73, 0xCC79A7,
                                       0xE69F00, 0x56B4E9, 0x000000, 0xF0E442};
// Tiles read on one connection before the window looks again at what the view lacks: a
// pan that went on meanwhile is not read for where it has been.
constexpr std::size_t kTilesPerRead = 8;

}  // namespace

QString TrendParameterLabel(int row) {
  const ParameterInfo& info = kParameterCatalogue[row];
  const QString name = QString::fromLatin1(info.name.data(), info.name.size());
  return info.unit.empty() ? name
                           : QStringLiteral("%1 [%2]").arg(
                                 name, QLatin1String(info.unit.data(), info.unit.size()));
}

// Tiles as read in their thread.
struct TrendTileBatch {
  std::vector<std::pair<TileKey, Tile>> tiles;
  int changes = 0;  // the chart's TileChanges when asked: tiles read before new frames go
  qint64 milliseconds = 0;
};

namespace {

TrendsQueries::Work<TrendTileBatch> ReadRuns(std::vector<TileKey> keys, TileReader reader);

}  // namespace

void TrendsWindow::SetTileReader(TileReader reader) { tileReader = std::move(reader); }

// The parameter is charted once the tiles of the view are in, so that a read that never
// answers (and is cancelled) leaves it unticked.
void TrendsWindow::AddParameter(int parameterRow) {
  if (!haveFrames) {
    return;
  }
  const int request = ++nextRequest;
  firstReads[parameterRow] = request;
  // The tiles of the plot as it will be, with this curve's axis beside it.
  const int columns = std::max(1, chart->PlotRectWith(chart->CurveCount() + 1).width());
  const std::vector<TileKey> keys =
      SeriesTiles::TilesOf(parameterRow, chart->ViewFrom(), chart->ViewTo(), columns);
  const int changes = chart->TileChanges();
  queries->Run<TrendTileBatch>(
      ReadRuns(keys, tileReader),
      [this, parameterRow, request, changes](bool ok, const QString& error, TrendTileBatch& batch) {
        const auto asked = firstReads.find(parameterRow);
        if (asked == firstReads.end() || asked->second != request) {
          return;  // unticked meanwhile, or ticked again
        }
        firstReads.erase(asked);
        if (!ok) {
          status->setText(error);
          return;
        }
        if (changes != chart->TileChanges()) {
          batch.tiles.clear();  // frames came meanwhile: read again
        }
        ApplyFirstTiles(parameterRow, batch);
      });
}

void TrendsWindow::ApplyFirstTiles(int parameterRow, TrendTileBatch& batch) {
  if (IsCharted(parameterRow)) {
    return;
  }
  const ParameterInfo& info = kParameterCatalogue[parameterRow];
  TrendCurve curve;
  curve.parameterRow = parameterRow;
  curve.name = QStringLiteral("%1 (%2)").arg(QLatin1String(info.name.data(), info.name.size()),
                                             QLatin1String(SectionInfoOf(info.section).name));
  curve.unit = QString::fromLatin1(info.unit.data(), info.unit.size());
  curve.colour = QColor::fromRgb(kColours[coloursUsed++ % kColours.size()]);
  chart->AddCurve(std::move(curve), std::move(batch.tiles));
  const int index = chart->CurveCount() - 1;
  status->setText(tr("%1: charted from the archive's %2 level in %3 ms")
                      .arg(TrendParameterLabel(parameterRow),
                           QLatin1String(SeriesLevelName(chart->DrawnLevel(index))))
                      .arg(batch.milliseconds));
}

// One read at a time: what the view lacks when it answers is read next, so a long pan costs
// the tiles where it stops rather than every tile it crossed.
void TrendsWindow::ReadMissingTiles() {
  if (readingTiles) {
    return;
  }
  std::vector<TileKey> missing = chart->MissingTiles();
  if (missing.empty()) {
    return;
  }
  missing.resize(std::min(missing.size(), kTilesPerRead));
  readingTiles = true;
  const int request = ++tileRequest;
  const int changes = chart->TileChanges();
  queries->Run<TrendTileBatch>(
      ReadRuns(std::move(missing), tileReader),
      [this, request, changes](bool ok, const QString& error, TrendTileBatch& batch) {
        if (request != tileRequest) {
          return;
        }
        batch.changes = changes;
        ApplyTiles(ok, error, batch);
      });
}

void TrendsWindow::ApplyTiles(bool ok, const QString& error, TrendTileBatch& batch) {
  readingTiles = false;
  if (!ok) {
    // The chart keeps its coarser picture; the next zoom, pan or look asks again.
    status->setText(tr("The chart could not be refined: %1").arg(error));
    return;
  }
  if (batch.changes != chart->TileChanges()) {
    ReadMissingTiles();
    return;
  }
  chart->PutTiles(std::move(batch.tiles));
}

// The frame behind a column's clicked extreme, found in the background and then opened.
void TrendsWindow::FindExtremeFrame(const TrendPointRef& point) {
  const int request = ++extremeRequest;
  queries->Run<std::optional<TrendFrame>>(
      [point](Archive& archive, std::optional<TrendFrame>& frame, const std::atomic<bool>&) {
        frame = FrameOfExtreme(archive, point.parameterRow, {point.bucketFrom, point.bucketTo},
                               point.hourHighest);
        return frame || archive.Error().isEmpty();
      },
      [this, request, point](bool ok, const QString& error, std::optional<TrendFrame>& frame) {
        if (request != extremeRequest) {
          return;
        }
        if (!ok || !frame) {
          status->setText(ok ? tr("No frame of that time carries the value any more") : error);
          return;
        }
        TrendPointRef found = point;
        found.key = frame->key;
        found.time = static_cast<double>(frame->utcSeconds);
        chart->Clicked(found);
      });
}

void TrendsWindow::SaveVisibleValues(const QString& path) {
  std::vector<std::pair<int, TrendCurveValues>> curves;
  for (int i = 0; i < chart->CurveCount(); ++i) {
    const TrendCurve& curve = chart->Curve(i);
    curves.push_back({curve.parameterRow, {curve.name, curve.unit, {}}});
  }
  const TrendRange range{static_cast<std::int64_t>(std::ceil(chart->ViewFrom())),
                         static_cast<std::int64_t>(std::floor(chart->ViewTo()))};
  const int request = ++valuesRequest;
  queries->Run<std::vector<TrendCurveValues>>(
      [curves, range](Archive& archive, std::vector<TrendCurveValues>& read,
                      const std::atomic<bool>& cancelled) {
        for (const auto& [row, empty] : curves) {
          TrendCurveValues& values = read.emplace_back(empty);
          if (!ReadTrend(archive, row, range, [&](const TrendSample& sample) {
                values.samples.push_back(sample);
                return !cancelled;
              })) {
            return false;
          }
        }
        return true;
      },
      [this, request, path](bool ok, const QString& error, std::vector<TrendCurveValues>& read) {
        if (request != valuesRequest) {
          return;
        }
        if (!ok) {
          status->setText(tr("The values in view could not be read: %1").arg(error));
          return;
        }
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(TrendValuesCsv(read).toUtf8()) < 0 ||
            !file.commit()) {
          status->setText(tr("cannot write %1: %2").arg(path, file.errorString()));
          return;
        }
        qsizetype count = 0;
        for (const TrendCurveValues& values : read) {
          count += static_cast<qsizetype>(values.samples.size());
        }
        status->setText(tr("%1 values in view saved to %2").arg(QLocale().toString(count), path));
      });
}

namespace {

// Reads the keys (left to right) as runs of neighbouring tiles of one parameter and width.
TrendsQueries::Work<TrendTileBatch> ReadRuns(std::vector<TileKey> keys, TileReader reader) {
  return [keys = std::move(keys), reader = std::move(reader)](
             Archive& archive, TrendTileBatch& batch, const std::atomic<bool>& cancelled) {
    QElapsedTimer timer;
    timer.start();
    for (std::size_t first = 0; first < keys.size() && !cancelled;) {
      std::size_t end = first + 1;
      while (end < keys.size() && keys[end].parameterRow == keys[first].parameterRow &&
             keys[end].rung == keys[first].rung && keys[end].index == keys[end - 1].index + 1) {
        ++end;
      }
      std::optional<std::vector<Tile>> tiles =
          reader(archive, keys[first], static_cast<int>(end - first));
      if (!tiles || tiles->size() != end - first) {
        return false;
      }
      for (std::size_t i = first; i < end; ++i) {
        batch.tiles.emplace_back(keys[i], std::move((*tiles)[i - first]));
      }
      first = end;
    }
    batch.milliseconds = timer.elapsed();
    return true;
  };
}

}  // namespace

}  // namespace quilmar
