// Charting a ticked parameter: its hourly overview first, then its every frame's values, each
// read in a thread of its own; see trends_window.h.
#include <QElapsedTimer>
#include <QLabel>
#include <QLocale>
#include <array>
#include <atomic>

#include "archive/archive.h"
#include "archive/trend_overview.h"
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

}  // namespace

QString TrendParameterLabel(int row) {
  const ParameterInfo& info = kParameterCatalogue[row];
  const QString name = QString::fromLatin1(info.name.data(), info.name.size());
  return info.unit.empty() ? name
                           : QStringLiteral("%1 [%2]").arg(
                                 name, QLatin1String(info.unit.data(), info.unit.size()));
}

// The hourly overview of a parameter, as read in its thread.
struct TrendsWindow::HoursRead {
  std::vector<TrendHour> hours;
  qint64 milliseconds = 0;
};

void TrendsWindow::AddParameter(int parameterRow) {
  if (!haveFrames) {
    return;
  }
  const int request = ++nextRequest;
  hoursRequests[parameterRow] = request;
  queries->Run<HoursRead>(
      [parameterRow](Archive& archive, HoursRead& read, const std::atomic<bool>&) {
        QElapsedTimer timer;
        timer.start();
        const bool ok = ReadTrendHours(archive, parameterRow,
                                       [&](const TrendHour& hour) { read.hours.push_back(hour); });
        read.milliseconds = timer.elapsed();
        return ok;
      },
      [this, parameterRow, request](bool ok, const QString& error, HoursRead& read) {
        const auto asked = hoursRequests.find(parameterRow);
        if (asked == hoursRequests.end() || asked->second != request) {
          return;  // unticked meanwhile, or ticked again
        }
        hoursRequests.erase(asked);
        if (!ok) {
          status->setText(error);
          return;
        }
        ApplyHours(parameterRow, read);
      });
}

void TrendsWindow::ApplyHours(int parameterRow, HoursRead& read) {
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
  curve.hourly = true;
  // Each hour's extremes at the hour's first and last frame time: its lowest first, as the
  // order within the hour is not kept.
  for (const TrendHour& hour : read.hours) {
    curve.samples.push_back({static_cast<double>(hour.firstUtc), hour.low});
    curve.samples.push_back({static_cast<double>(hour.lastUtc), hour.high});
    curve.kinds.insert(curve.kinds.end(), 2, TrendTimeKind::kSpacecraft);
    curve.keys.insert(curve.keys.end(), 2, 0);
  }
  const qsizetype hours = static_cast<qsizetype>(read.hours.size());
  chart->AddCurve(std::move(curve));
  status->setText(tr("%1: %2 hours in %3 ms; reading every frame...")
                      .arg(TrendParameterLabel(parameterRow), QLocale().toString(hours))
                      .arg(read.milliseconds));
  StartFullRead(parameterRow);
}

struct TrendsWindow::FullRead {
  std::vector<TimedValue> samples;
  std::vector<TrendTimeKind> kinds;
  std::vector<std::int64_t> keys;
  qint64 milliseconds = 0;
  double readUpTo = 0.0;        // the newest time the read covered
  std::int64_t keyAtStart = 0;  // the window's newest frame key when the read began
};

void TrendsWindow::StartFullRead(int parameterRow) {
  const TrendRange range{static_cast<std::int64_t>(firstTime), static_cast<std::int64_t>(lastTime)};
  const int request = ++nextRequest;
  fullRequests[parameterRow] = request;
  const std::int64_t keyAtStart = lastKey;
  queries->Run<FullRead>(
      [parameterRow, range, keyAtStart](Archive& archive, FullRead& read,
                                        const std::atomic<bool>& cancelled) {
        QElapsedTimer timer;
        timer.start();
        const bool ok = ReadTrend(archive, parameterRow, range, [&](const TrendSample& s) {
          read.samples.push_back({static_cast<double>(s.utcSeconds), s.value});
          read.kinds.push_back(s.kind);
          read.keys.push_back(s.key);
          return !cancelled;
        });
        read.readUpTo = static_cast<double>(range.toUtc);
        read.keyAtStart = keyAtStart;
        read.milliseconds = timer.elapsed();
        return ok;
      },
      [this, parameterRow, request](bool ok, const QString& error, FullRead& read) {
        const auto asked = fullRequests.find(parameterRow);
        if (asked == fullRequests.end() || asked->second != request) {
          return;
        }
        fullRequests.erase(asked);
        if (!ok) {
          status->setText(tr("%1: only hourly extremes, every frame could not be read: %2")
                              .arg(TrendParameterLabel(parameterRow), error));
          return;
        }
        ApplyFullRead(parameterRow, read);
      });
}

void TrendsWindow::ApplyFullRead(int parameterRow, FullRead& read) {
  const qsizetype count = static_cast<qsizetype>(read.samples.size());
  if (!chart->ReplaceSamples(parameterRow, std::move(read.samples), std::move(read.kinds),
                             std::move(read.keys), read.readUpTo)) {
    return;
  }
  // Frames the window took in while the read ran may be older than what it kept: they are
  // read again and merged (what the read had already is left out).
  if (lastKey > read.keyAtStart) {
    CatchUp(parameterRow, read.keyAtStart);
  }
  status->setText(tr("%1: %2 values read in %3 ms")
                      .arg(TrendParameterLabel(parameterRow), QLocale().toString(count))
                      .arg(read.milliseconds));
}

}  // namespace quilmar
