// The alarm list; see alarm_window.h.
#include "alarm_window.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "limit_alarms.h"
#include "ui/limits/limit_look.h"

namespace quilmar {
namespace {

enum Column { kTime, kParameter, kState, kValue, kBound, kColumnCount };

}  // namespace

AlarmWindow::AlarmWindow(LimitAlarms& alarms, QWidget* mainWindow)
    : QWidget(mainWindow, Qt::Window), alarms(alarms) {
  setObjectName(QStringLiteral("AlarmWindow"));
  setWindowTitle(QStringLiteral("Alarms"));
  list = new QTreeWidget(this);
  list->setObjectName(QStringLiteral("AlarmList"));
  list->setRootIsDecorated(false);
  list->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list->setHeaderLabels({QStringLiteral("Time (UTC)"), QStringLiteral("Parameter"),
                         QStringLiteral("State"), QStringLiteral("Value"),
                         QStringLiteral("Bound")});
  countLabel = new QLabel(this);
  countLabel->setObjectName(QStringLiteral("AlarmCount"));
  acknowledge = new QPushButton(QStringLiteral("Acknowledge"), this);
  acknowledge->setObjectName(QStringLiteral("AcknowledgeSelected"));
  acknowledgeAll = new QPushButton(QStringLiteral("Acknowledge All"), this);
  acknowledgeAll->setObjectName(QStringLiteral("AcknowledgeAll"));
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(countLabel, 1);
  buttons->addWidget(acknowledge);
  buttons->addWidget(acknowledgeAll);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(list);
  layout->addLayout(buttons);
  resize(820, 260);

  connect(acknowledge, &QPushButton::clicked, this, &AlarmWindow::AcknowledgeSelected);
  connect(acknowledgeAll, &QPushButton::clicked, &alarms, &LimitAlarms::AcknowledgeAll);
  connect(&alarms, &LimitAlarms::changed, this, &AlarmWindow::Fill);
  Fill();
}

void AlarmWindow::ShowQuietly() {
  if (isVisible()) {
    return;
  }
  setAttribute(Qt::WA_ShowWithoutActivating);
  if (!placed) {
    PlaceBelowMainWindow();
  }
  show();
}

// First shown under the main window, where it hides none of the values, as far as the screen
// allows; the operator may move it from there.
void AlarmWindow::PlaceBelowMainWindow() {
  placed = true;
  const QWidget* main = parentWidget();
  if (main == nullptr || main->screen() == nullptr) {
    return;
  }
  const QRect screen = main->screen()->availableGeometry();
  const QRect frame = main->frameGeometry();
  QPoint topLeft(frame.left(), frame.bottom() + 1);
  topLeft.setY(std::min(topLeft.y(), screen.bottom() - height()));
  topLeft.setX(
      std::clamp(topLeft.x(), screen.left(), std::max(screen.left(), screen.right() - width())));
  move(topLeft);
}

// The newest alarm on top. A row not yet acknowledged is bold and says "new" in its state,
// so it stands out without its colour.
void AlarmWindow::Fill() {
  const auto& all = alarms.Alarms();
  list->clear();
  QList<QTreeWidgetItem*> items;
  for (int place = static_cast<int>(all.size()) - 1; place >= 0; --place) {
    const LimitAlarm& alarm = all[static_cast<std::size_t>(place)];
    const QString state = QStringLiteral("%1 %2 %3")
                              .arg(LimitMarkText(alarm.level, alarm.direction),
                                   QString::fromLatin1(LevelText(alarm.level)),
                                   QString::fromLatin1(DirectionText(alarm.direction)));
    auto* item = new QTreeWidgetItem(QStringList{
        alarm.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), alarm.Parameter(),
        alarm.acknowledged ? state : state + QStringLiteral("  new"), alarm.value, alarm.bound});
    item->setData(kTime, Qt::UserRole, place);
    item->setBackground(kState, LimitColour(alarm.level));
    item->setToolTip(kBound, alarm.bound);
    if (!alarm.acknowledged) {
      QFont bold = item->font(kTime);
      bold.setBold(true);
      for (int column = 0; column < kColumnCount; ++column) {
        item->setFont(column, bold);
      }
    }
    items << item;
  }
  list->addTopLevelItems(items);
  for (int column = 0; column < kBound; ++column) {
    list->resizeColumnToContents(column);
  }
  const int waiting = alarms.Unacknowledged();
  countLabel->setText(waiting > 0 ? QStringLiteral("%1 to acknowledge").arg(waiting)
                                  : QStringLiteral("All acknowledged"));
  acknowledge->setEnabled(waiting > 0);
  acknowledgeAll->setEnabled(waiting > 0);
}

void AlarmWindow::AcknowledgeSelected() {
  std::vector<int> places;
  for (const QTreeWidgetItem* item : list->selectedItems()) {
    places.push_back(item->data(kTime, Qt::UserRole).toInt());
  }
  alarms.Acknowledge(places);
}

}  // namespace quilmar
