// What the Trends chart's right-click menu saves: the chart as a PNG or SVG picture, and the
// values in the visible range as CSV, one row per frame's value (read from the archive by
// the window, as the chart holds only each column's extremes).
#include <QContextMenuEvent>
#include <QDateTime>
#include <QFileDialog>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QSaveFile>
#include <QSvgGenerator>
#include <QTimeZone>
#include <algorithm>

#include "trend_chart.h"

namespace quilmar {
namespace {

// A CSV cell: quoted when it holds a comma, a quote or a line break (RFC 4180).
QString CsvCell(const QString& text) {
  if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n') &&
      !text.contains(u'\r')) {
    return text;
  }
  QString quoted = text;
  quoted.replace(QStringLiteral("\""), QStringLiteral("\"\""));
  return u'"' + quoted + u'"';
}

QString IsoUtc(std::int64_t seconds) {
  return QDateTime::fromSecsSinceEpoch(seconds, QTimeZone::utc())
      .toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss'Z'"));
}

}  // namespace

QString TrendValuesCsv(const std::vector<TrendCurveValues>& curves) {
  QString csv = QStringLiteral("timeUtc,timeKind,parameter,unit,value\r\n");
  for (const TrendCurveValues& curve : curves) {
    const QString name = CsvCell(curve.name);
    const QString unit = CsvCell(curve.unit);
    for (const TrendSample& sample : curve.samples) {
      csv += IsoUtc(sample.utcSeconds) + u',' +
             QString::fromLatin1(TrendTimeKindName(sample.kind)) + u',' + name + u',' + unit +
             u',' + QString::number(sample.value, 'g', QLocale::FloatingPointShortest) +
             QStringLiteral("\r\n");
    }
  }
  return csv;
}

bool TrendChart::SaveAs(const QString& path, QString& error) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) {
    error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
    return false;
  }
  if (path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) {
    QSvgGenerator svg;
    svg.setOutputDevice(&file);
    svg.setSize(size());
    svg.setViewBox(rect());
    svg.setTitle(windowTitle());
    QPainter painter(&svg);
    render(&painter);
  } else if (!grab().save(&file, "PNG")) {
    error = QStringLiteral("cannot write %1: the picture could not be encoded").arg(path);
    file.cancelWriting();
    return false;
  }
  if (!file.commit()) {
    error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
    return false;
  }
  return true;
}

void TrendChart::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  struct Choice {
    QString label;
    QString filter;
    bool needsValues;
  };
  const Choice choices[] = {
      {QStringLiteral("Save Chart as PNG..."), QStringLiteral("PNG picture (*.png)"), false},
      {QStringLiteral("Save Chart as SVG..."), QStringLiteral("SVG drawing (*.svg)"), false},
      {QStringLiteral("Export Visible Range as CSV..."), QStringLiteral("CSV table (*.csv)"), true},
  };
  for (const Choice& choice : choices) {
    QAction* action = menu.addAction(choice.label);
    action->setEnabled(CurveCount() > 0 || !choice.needsValues);
    connect(action, &QAction::triggered, this, [this, choice] {
      const QString extension = choice.filter.section(u'.', 1).chopped(1);
      QString path =
          QFileDialog::getSaveFileName(this, choice.label.chopped(3), QString(), choice.filter);
      if (path.isEmpty()) {
        return;
      }
      if (!path.endsWith(u'.' + extension, Qt::CaseInsensitive)) {
        path += u'.' + extension;
      }
      if (choice.needsValues) {
        emit valuesExportChosen(path);
        return;
      }
      QString error;
      if (!SaveAs(path, error)) {
        QMessageBox::warning(this, choice.label.chopped(3), error);
      }
    });
  }
  menu.exec(event->globalPos());
}

}  // namespace quilmar
