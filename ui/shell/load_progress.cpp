// Status-bar progress of a load; see load_progress.h.
#include "load_progress.h"

#include <QHBoxLayout>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>

namespace quilmar {
namespace {

// QProgressBar counts in int; logs may be larger than 2 GiB, so it shows per mille.
constexpr int kBarSteps = 1000;

}  // namespace

LoadProgress::LoadProgress(QWidget* parent)
    : QWidget(parent), bar(new QProgressBar(this)), cancel(new QPushButton(tr("Cancel"), this)) {
  setObjectName(QStringLiteral("LoadProgress"));
  bar->setObjectName(QStringLiteral("LoadProgressBar"));
  cancel->setObjectName(QStringLiteral("LoadCancel"));
  // The window shows the busy pointer during a load; the button stays clickable-looking.
  cancel->setCursor(Qt::ArrowCursor);
  cancel->setToolTip(tr("Stop loading (Esc); the frames read so far are kept"));
  bar->setFixedWidth(160);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(bar);
  layout->addWidget(cancel);
  connect(cancel, &QPushButton::clicked, this, &LoadProgress::RequestCancel);
  hide();
}

void LoadProgress::Start(std::int64_t totalBytes) {
  total = totalBytes;
  cancelRequested = false;
  cancel->setEnabled(true);
  if (total > 0) {
    bar->setRange(0, kBarSteps);
  } else {
    bar->setRange(0, 0);  // size unknown: a busy bar
  }
  bar->setValue(0);
  clock.start();
  hide();
}

void LoadProgress::Update(std::int64_t bytesRead) {
  if (isHidden() && clock.isValid() && clock.elapsed() >= showDelay.count()) {
    show();
  }
  if (total > 0 && !isHidden()) {
    bar->setValue(static_cast<int>(std::min(bytesRead, total) * kBarSteps / total));
  }
}

void LoadProgress::Finish() {
  clock.invalidate();
  hide();
}

void LoadProgress::RequestCancel() {
  cancelRequested = true;
  cancel->setEnabled(false);
}

}  // namespace quilmar
