// A stand-in for the main window in auxiliary-window tests: the value boxes of the ADCS mode
// row and the six status rows, and a frame table, handed to the opener as in main().
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QWidget>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/frame_table.h"
#include "ui/aux/aux_windows.h"
#include "ui/model/frame_table_model.h"

namespace quilmar::testing {

// Deletes the windows that closed (WA_DeleteOnClose posts their deletion).
inline void FlushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

class AuxFixture : public ::testing::Test {
 protected:
  AuxFixture() : mainWindow(std::make_unique<QWidget>()) {
    for (int row : {67, 69, 70, 71, 72, 73, 74}) {
      boxes[row] = new QLineEdit(mainWindow.get());
    }
    frameNumberBox = new QLineEdit(mainWindow.get());
    frameNumberBox->setObjectName(QStringLiteral("Text3_2"));
    aux = std::make_unique<AuxWindows>(
        [this](int row) -> QLineEdit* {
          const auto found = boxes.find(row);
          return found == boxes.end() ? nullptr : found->second.data();
        },
        model, [this](int frameIndex) { shownFrames.push_back(frameIndex); });
  }

  ~AuxFixture() override {
    aux->CloseAll();
    FlushDeletes();
  }

  void FillTable(const std::vector<std::string>& letters) {
    table.frameCount = static_cast<int>(letters.size());
    for (int i = 1; i <= table.frameCount; ++i) {
      table.Record(i).frameTypeLetter = letters[static_cast<std::size_t>(i - 1)];
      table.Record(i).frameNumber = 1000 + i;
    }
    model.Refilled(FindMissingFrames(table));
  }

  template <typename T = QLabel>
  static T* Child(const QWidget* window, const QString& name) {
    return window->findChild<T*>(name);
  }

  QPointer<QLineEdit> frameNumberBox;  // the frame view's Text3(2)
  FrameTableModel model;
  FrameTable& table = model.TableToFill();
  std::unique_ptr<QWidget> mainWindow;
  std::map<int, QPointer<QLineEdit>> boxes;
  std::vector<int> shownFrames;
  std::unique_ptr<AuxWindows> aux;
};

}  // namespace quilmar::testing
