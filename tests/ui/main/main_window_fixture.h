// A main window for tests: logs written to a temporary directory, the file dialog and the
// message boxes replaced by recorders, so nothing modal ever waits offscreen.
#pragma once

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QStringList>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextFragment>
#include <memory>
#include <vector>

#include "core/parameter_catalogue.h"
#include "tests/support/kiss_builder.h"
#include "ui/shell/main_window.h"
#include "ui/shell/recent_logs.h"

namespace quilmar::testing {

// A housekeeping frame carrying CDHS and ADCS with the given System Status byte.
inline Bytes AdcsFrame(std::uint16_t frameNumber, std::uint8_t systemStatus) {
  Bytes info = Information(frameNumber, 'S');
  info[6] = static_cast<std::uint8_t>(SectionInfoOf(Section::kCdhs).markerValue);
  info[70] = static_cast<std::uint8_t>(SectionInfoOf(Section::kAdcs).markerValue);
  info[73] = systemStatus;
  return BuildFrame(info);
}

// Frames with these numbers; information byte k of every frame holds k + 1 from byte 6 on,
// so each parameter's bytes are recognisable in the hex dump.
inline Bytes LogOfNumbers(const std::vector<int>& numbers) {
  Bytes log;
  for (int number : numbers) {
    Bytes info = Information(static_cast<std::uint16_t>(number), 'G');
    for (std::size_t k = 6; k < info.size(); ++k) {
      info[k] = static_cast<std::uint8_t>(k + 1);
    }
    const Bytes wrapped = KissWrap(BuildFrame(info));
    log.insert(log.end(), wrapped.begin(), wrapped.end());
  }
  return log;
}

inline Bytes LogOfCount(int count, int firstNumber = 1) {
  std::vector<int> numbers;
  for (int i = 0; i < count; ++i) {
    numbers.push_back(firstNumber + i);
  }
  return LogOfNumbers(numbers);
}

struct Message {
  QMessageBox::Icon icon;
  QString text;
};

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    window = std::make_unique<MainWindow>();
    window->SetSettingsPath(dir.filePath(QStringLiteral("quilmar_hkc.ini")));
    window->recentLogs().UseSettingsFile(dir.filePath(QStringLiteral("recent.ini")));
    window->SetMessageReporter([this](QMessageBox::Icon icon, const QString&, const QString& text) {
      messages.push_back({icon, text});
    });
    window->SetFileChooser([this](QWidget*) {
      ++dialogsShown;
      return chosenPath;
    });
  }

  QString WriteLog(const QString& name, const Bytes& bytes) {
    const QString path = dir.filePath(name);
    WriteFile(path.toStdString(), bytes);
    return path;
  }

  template <typename Widget>
  Widget* Find(const char* name) const {
    auto* widget = window->findChild<Widget*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }

  QScrollBar* ScrollBar() const { return Find<QScrollBar>("HScroll1"); }
  QString PositionText() const { return Find<QLineEdit>("Text2")->text(); }
  QTextEdit* HexArea() const { return Find<QTextEdit>("RichTextBox1"); }
  QString StatusLine() const { return Find<QLabel>("LoadMessage")->text(); }

  QTemporaryDir dir;
  std::unique_ptr<MainWindow> window;
  std::vector<Message> messages;
  QString chosenPath;
  int dialogsShown = 0;
};

// The colour of every character of a text area, in order.
inline std::vector<QColor> CharacterColours(const QTextEdit& area) {
  std::vector<QColor> colours;
  for (QTextBlock block = area.document()->begin(); block.isValid(); block = block.next()) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      const QColor colour = fragment.charFormat().foreground().color();
      colours.insert(colours.end(), static_cast<std::size_t>(fragment.length()), colour);
    }
  }
  return colours;
}

// "R" for each red character, "." for black, anything else "?"; easy to compare and read.
inline std::string ColourPattern(const QTextEdit& area) {
  std::string pattern;
  for (const QColor& colour : CharacterColours(area)) {
    pattern += colour == QColor(255, 0, 0) ? 'R' : colour == QColor(0, 0, 0) ? '.' : '?';
  }
  return pattern;
}

// The pattern expected for a text of `size` characters with first..last (1-based) in red.
inline std::string RedRange(std::size_t size, int first, int last) {
  std::string pattern(size, '.');
  for (int i = first; i <= last && i <= static_cast<int>(size); ++i) {
    pattern[static_cast<std::size_t>(i - 1)] = 'R';
  }
  return pattern;
}

}  // namespace quilmar::testing
