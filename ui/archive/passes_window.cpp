// The Passes list; see passes_window.h.
#include "passes_window.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QShortcut>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace quilmar {
namespace {

QTableWidgetItem* Cell(const QString& text, Qt::Alignment alignment = Qt::AlignLeft) {
  auto* item = new QTableWidgetItem(text);
  item->setTextAlignment(alignment | Qt::AlignVCenter);
  item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
  return item;
}

}  // namespace

QString DurationText(qint64 seconds) {
  if (seconds < 60) {
    return QStringLiteral("%1 s").arg(seconds);
  }
  if (seconds < 3600) {
    return QStringLiteral("%1 min %2 s").arg(seconds / 60).arg(seconds % 60, 2, 10, QChar(u'0'));
  }
  return QStringLiteral("%1 h %2 min")
      .arg(seconds / 3600)
      .arg(seconds % 3600 / 60, 2, 10, QChar(u'0'));
}

PassesWindow::PassesWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName(QStringLiteral("PassesWindow"));
  passTable = new QTableWidget(0, 5, this);
  passTable->setObjectName(QStringLiteral("passTable"));
  passTable->setHorizontalHeaderLabels({QStringLiteral("Start (UTC)"), QStringLiteral("Duration"),
                                        QStringLiteral("Stations"), QStringLiteral("Frames"),
                                        QStringLiteral("Missing")});
  passTable->setSelectionBehavior(QAbstractItemView::SelectRows);
  passTable->setSelectionMode(QAbstractItemView::SingleSelection);
  passTable->verticalHeader()->hide();
  passTable->horizontalHeader()->setStretchLastSection(true);
  connect(passTable, &QTableWidget::cellDoubleClicked, this, &PassesWindow::OpenCurrentRow);
  for (const int key : {Qt::Key_Return, Qt::Key_Enter}) {
    auto* enter = new QShortcut(QKeySequence(key), passTable, nullptr, nullptr, Qt::WidgetShortcut);
    connect(enter, &QShortcut::activated, this, &PassesWindow::OpenCurrentRow);
  }
  auto* buttons = new QDialogButtonBox(this);
  QPushButton* open = buttons->addButton(QStringLiteral("Open"), QDialogButtonBox::AcceptRole);
  open->setObjectName(QStringLiteral("openPassButton"));
  connect(open, &QPushButton::clicked, this, &PassesWindow::OpenCurrentRow);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(passTable);
  layout->addWidget(buttons);
  resize(640, 360);
}

void PassesWindow::ShowPasses(const QString& archiveName, std::vector<ArchivedPass> newPasses) {
  passes = std::move(newPasses);
  std::reverse(passes.begin(), passes.end());
  setWindowTitle(QStringLiteral("Passes - %1").arg(archiveName));
  passTable->setRowCount(static_cast<int>(passes.size()));
  for (int row = 0; row < passTable->rowCount(); ++row) {
    const ArchivedPass& pass = passes[static_cast<std::size_t>(row)];
    passTable->setItem(row, 0, Cell(pass.start));
    passTable->setItem(row, 1, Cell(DurationText(pass.startTime.secsTo(pass.endTime))));
    passTable->setItem(row, 2, Cell(pass.stations.join(QStringLiteral(", "))));
    passTable->setItem(row, 3, Cell(QString::number(pass.frames), Qt::AlignRight));
    passTable->setItem(row, 4, Cell(QString::number(pass.missing.Count()), Qt::AlignRight));
  }
  passTable->resizeColumnsToContents();
  if (!passes.empty()) {
    passTable->selectRow(0);
  }
}

void PassesWindow::OpenCurrentRow() {
  const int row = passTable->currentRow();
  if (row >= 0 && row < static_cast<int>(passes.size())) {
    emit passOpened(passes[static_cast<std::size_t>(row)]);
  }
}

}  // namespace quilmar
