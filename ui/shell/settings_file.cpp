// Reading and writing the settings file; see settings_file.h.
#include "settings_file.h"

#include <QFile>
#include <QGuiApplication>
#include <QLocale>
#include <QSaveFile>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

#include "ui/look/twips.h"

namespace quilmar {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Length of the leading run of digits of text from pos.
std::size_t DigitRun(const std::string& text, std::size_t pos) {
  std::size_t end = pos;
  while (end < text.size() && IsDigit(text[end])) {
    ++end;
  }
  return end - pos;
}

// The longest prefix of text (no sign) that reads as digits, an optional fraction and an
// optional exponent. An exponent counts only when it carries at least one digit.
std::size_t UnsignedNumberLength(const std::string& text) {
  std::size_t pos = DigitRun(text, 0);
  std::size_t mantissaDigits = pos;
  if (pos < text.size() && text[pos] == '.') {
    const std::size_t fraction = DigitRun(text, pos + 1);
    mantissaDigits += fraction;
    pos += 1 + fraction;
  }
  if (mantissaDigits == 0) {
    return 0;
  }
  if (pos < text.size() && (text[pos] == 'E' || text[pos] == 'e')) {
    std::size_t exponent = pos + 1;
    if (exponent < text.size() && (text[exponent] == '+' || text[exponent] == '-')) {
      ++exponent;
    }
    const std::size_t digits = DigitRun(text, exponent);
    if (digits > 0) {
      pos = exponent + digits;
    }
  }
  return pos;
}

// Splits the file's bytes at CR; an LF right after a CR belongs to that line end.
std::string LineOf(const QByteArray& bytes, int wanted) {
  qsizetype start = 0;
  for (int line = 0; start <= bytes.size(); ++line) {
    qsizetype end = bytes.indexOf('\r', start);
    if (end < 0) {
      end = bytes.size();
    }
    if (line == wanted) {
      return bytes.mid(start, end - start).toStdString();
    }
    if (end == bytes.size()) {
      break;
    }
    start = end + 1;
    if (start < bytes.size() && bytes[start] == '\n') {
      ++start;
    }
  }
  return {};
}

double NotNegative(double value) { return value < 0 ? 0 : value; }

// One line's number: whole numbers as plain digits, fractions with seven significant digits
// in the user's regional notation.
QByteArray SettingsLine(double value) {
  const double magnitude = std::fabs(value);
  QByteArray line(value < 0 ? "-" : " ");
  if (magnitude == std::floor(magnitude) && magnitude < 1e15) {
    line += QByteArray::number(magnitude, 'f', 0);
  } else {
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    line += locale.toString(magnitude, 'G', 7).toUtf8();
  }
  line += " \r\n";
  return line;
}

}  // namespace

double SettingsNumberValue(std::string_view line) {
  std::string text;
  text.reserve(line.size());
  for (const char c : line) {
    if (c != ' ' && c != '\t' && c != '\n') {
      text += c;
    }
  }
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.erase(0, 1);
  }
  const std::size_t length = UnsignedNumberLength(text);
  if (length == 0) {
    return 0;
  }
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + length, value);
  if (error != std::errc() || !std::isfinite(value)) {
    return 0;  // too large for a number: the line is skipped like unreadable text
  }
  return negative ? -value : value;
}

WindowPositionTwips ReadSettingsFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    return {};
  }
  const QByteArray bytes = file.readAll();
  return {NotNegative(SettingsNumberValue(LineOf(bytes, 0))),
          NotNegative(SettingsNumberValue(LineOf(bytes, 1)))};
}

QByteArray FormatSettingsFile(const WindowPositionTwips& position) {
  return SettingsLine(position.top) + SettingsLine(position.left);
}

bool WriteSettingsFile(const QString& path, const WindowPositionTwips& position, QString* error) {
  QSaveFile file(path);
  const QByteArray bytes = FormatSettingsFile(position);
  // Unbuffered, so that a short write shows in write()'s count: a buffered flush at commit
  // would report a partly written file as saved.
  const bool written = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) &&
                       file.write(bytes) == bytes.size() && file.commit();
  if (!written && error != nullptr) {
    *error = file.errorString();
  }
  return written;
}

std::optional<int> WindowPixelsFromTwips(double twips) {
  const double pixels = std::nearbyint(twips / kTwipsPerPixel);  // halves to even
  if (!std::isfinite(pixels) || std::fabs(pixels) > QWIDGETSIZE_MAX) {
    return std::nullopt;
  }
  return static_cast<int>(pixels);
}

QPoint KeepOnScreen(QPoint topLeft, QSize frameSize) {
  // The window counts as reachable while a piece of its top edge, where the title bar is,
  // lies on some screen: enough to grab it with the mouse.
  const QRect titleStrip(topLeft, QSize(frameSize.width(), std::min(frameSize.height(), 30)));
  const int minimumWidth = std::min(40, std::max(1, frameSize.width()));
  for (const QScreen* screen : QGuiApplication::screens()) {
    const QRect visible = titleStrip & screen->availableGeometry();
    if (visible.width() >= minimumWidth && visible.height() >= 1) {
      return topLeft;
    }
  }
  const QScreen* primary = QGuiApplication::primaryScreen();
  if (primary == nullptr) {
    return topLeft;
  }
  const QRect area = primary->availableGeometry();
  const int x = std::max(area.left(), std::min(topLeft.x(), area.right() + 1 - frameSize.width()));
  const int y = std::max(area.top(), std::min(topLeft.y(), area.bottom() + 1 - frameSize.height()));
  return {x, y};
}

}  // namespace quilmar
