// Reading and checking the limits file; see limits_file.h.
#include "limits_file.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

// Parse errors come back as a result, not as an exception across the reader.
#define TOML_EXCEPTIONS 0
#include <toml++/toml.h>

#include "core/parameter_catalogue.h"
#include "value_names.h"

namespace quilmar {

std::string LimitsError::Text() const {
  if (line <= 0) {
    return file + ": " + message;
  }
  return file + ':' + std::to_string(line) + ':' + std::to_string(column) + ": " + message;
}

namespace {

constexpr std::array<std::string_view, 7> kKeys{"red_low", "yellow_low", "yellow_high", "red_high",
                                                "red",     "yellow",     "persistence"};
constexpr std::int64_t kLongestPersistence = 1000000;

// The first fault found, and where.
struct Fault {
  toml::source_position where;
  std::string message;
};

class Reader {
 public:
  Reader(std::string_view text, const std::string& file) : text(text), file(file) {}

  std::optional<Fault> fault;

  std::optional<ValueLimits> Value(const toml::key& name, const toml::node& node);

 private:
  bool Fail(const toml::source_region& region, std::string message) {
    if (!fault) {
      fault = Fault{region.begin, std::move(message)};
    }
    return false;
  }
  std::string Source(const toml::source_region& region) const {
    return file + ':' + std::to_string(region.begin.line) + ':' +
           std::to_string(region.begin.column);
  }
  std::string NoteOnLine(std::uint32_t line) const;
  bool Bound(int row, const toml::key& key, const toml::node& node, LimitBound& bound);
  bool States(int row, const toml::key& key, const toml::node& node,
              std::vector<std::string>& states);
  bool Ordered(const ValueLimits& limits, const toml::table& table);

  std::string_view text;
  const std::string& file;
};

// The comment at the end of a line: what the file says about where a bound comes from.
std::string Reader::NoteOnLine(std::uint32_t line) const {
  std::size_t start = 0;
  for (std::uint32_t n = 1; n < line && start != std::string_view::npos; ++n) {
    start = text.find('\n', start);
    start = start == std::string_view::npos ? start : start + 1;
  }
  if (start == std::string_view::npos) {
    return {};
  }
  // A bound's line holds a number or a value's name, neither of which has a '#'.
  const std::string_view whole = text.substr(start, text.find('\n', start) - start);
  const std::size_t hash = whole.find('#');
  if (hash == std::string_view::npos) {
    return {};
  }
  std::string_view note = whole.substr(hash + 1);
  while (!note.empty() && (note.front() == ' ' || note.front() == '\t')) {
    note.remove_prefix(1);
  }
  while (!note.empty() && (note.back() == ' ' || note.back() == '\r')) {
    note.remove_suffix(1);
  }
  return std::string(note);
}

std::string SectionName(int row) { return std::string(SectionOfRow(row).name); }

bool Reader::Bound(int row, const toml::key& key, const toml::node& node, LimitBound& bound) {
  bound.source = Source(node.source());
  bound.note = NoteOnLine(node.source().begin.line);
  if (node.is_number()) {
    bound.number = node.value<double>().value_or(NAN);
    if (!std::isfinite(bound.number)) {
      return Fail(node.source(), std::string(key.str()) + " must be a finite number");
    }
    std::ostringstream text;
    text << bound.number;
    bound.text = text.str();
    return true;
  }
  if (!node.is_string()) {
    return Fail(node.source(), std::string(key.str()) +
                                   " must be a number or the name of another value of the frame");
  }
  bound.text = *node.value<std::string>();
  const auto other = RowOfValueName(bound.text);
  if (!other) {
    return Fail(node.source(), "unknown value name '" + bound.text + "'");
  }
  if (*other == row) {
    return Fail(node.source(), "a bound cannot name the value itself");
  }
  if (SectionOfRow(*other).section != SectionOfRow(row).section) {
    return Fail(node.source(), "'" + bound.text + "' is a value of " + SectionName(*other) +
                                   ", not of " + SectionName(row) +
                                   ": a frame may carry one section without the other");
  }
  bound.otherRow = *other;
  return true;
}

bool Reader::States(int row, const toml::key& key, const toml::node& node,
                    std::vector<std::string>& states) {
  if (!ShowsStateWords(row)) {
    return Fail(key.source(), ValueName(row) + " is a number, not a state: give it bounds");
  }
  const toml::array* list = node.as_array();
  if (list == nullptr) {
    return Fail(node.source(), std::string(key.str()) + " must be a list of states");
  }
  for (const toml::node& entry : *list) {
    const auto state = entry.value<std::string>();
    if (!entry.is_string() || !state) {
      return Fail(entry.source(), "a state is the text the window shows, in quotes");
    }
    if (!IsStateTextOf(row, *state)) {
      return Fail(entry.source(), "'" + *state + "' is not a state " + ValueName(row) + " shows");
    }
    states.push_back(*state);
  }
  return true;
}

// Red must lie outside yellow: red_low <= yellow_low, yellow_high <= red_high, and no low
// bound above a high one. Bounds that name values are checked frame by frame, not here.
bool Reader::Ordered(const ValueLimits& limits, const toml::table& table) {
  const auto number = [&](BoundKind kind) -> std::optional<double> {
    const auto& bound = limits.bounds[static_cast<std::size_t>(kind)];
    return bound && bound->otherRow < 0 ? std::optional(bound->number) : std::nullopt;
  };
  struct Pair {
    BoundKind lower, upper;
  };
  constexpr std::array<Pair, 6> kOrder{{
      {BoundKind::kRedLow, BoundKind::kYellowLow},
      {BoundKind::kYellowHigh, BoundKind::kRedHigh},
      {BoundKind::kYellowLow, BoundKind::kYellowHigh},
      {BoundKind::kRedLow, BoundKind::kRedHigh},
      {BoundKind::kRedLow, BoundKind::kYellowHigh},
      {BoundKind::kYellowLow, BoundKind::kRedHigh},
  }};
  for (const Pair& pair : kOrder) {
    const auto lower = number(pair.lower);
    const auto upper = number(pair.upper);
    if (lower && upper && *lower > *upper) {
      const auto text = [&](BoundKind kind) {
        return std::string(BoundKindText(kind)) + " " +
               limits.bounds[static_cast<std::size_t>(kind)]->text;
      };
      const bool red = pair.lower == BoundKind::kRedLow;
      const bool redInside = red != (pair.upper == BoundKind::kRedHigh);
      // The red bound is the one out of place when red and yellow cross.
      const BoundKind at = red || !redInside ? pair.lower : pair.upper;
      return Fail(table.get(BoundKindText(at))->source(),
                  std::string(redInside ? "red inside yellow: " : "") + text(pair.lower) +
                      " lies above " + text(pair.upper));
    }
  }
  for (const std::string& state : limits.redStates) {
    if (std::find(limits.yellowStates.begin(), limits.yellowStates.end(), state) !=
        limits.yellowStates.end()) {
      return Fail(table.get("yellow")->source(),
                  "red inside yellow: '" + state + "' is listed as red and as yellow");
    }
  }
  return true;
}

std::optional<ValueLimits> Reader::Value(const toml::key& name, const toml::node& node) {
  const auto row = RowOfValueName(name.str());
  if (!row) {
    Fail(name.source(), "unknown value name '" + std::string(name.str()) + "'");
    return std::nullopt;
  }
  const toml::table* table = node.as_table();
  if (table == nullptr) {
    Fail(name.source(), "the limits of " + std::string(name.str()) + " are a table: [" +
                            std::string(name.str()) + "]");
    return std::nullopt;
  }
  ValueLimits limits;
  limits.row = *row;
  for (auto&& [key, entry] : *table) {
    const std::string_view k = key.str();
    bool ok = true;
    if (k == "red" || k == "yellow") {
      ok = States(*row, key, entry, k == "red" ? limits.redStates : limits.yellowStates);
      (k == "red" ? limits.redStatesSource : limits.yellowStatesSource) = Source(entry.source());
    } else if (k == "persistence") {
      const auto frames = entry.value_exact<std::int64_t>();
      ok = (frames && *frames >= 1 && *frames <= kLongestPersistence) ||
           Fail(entry.source(), "persistence is a whole number of frames, at least 1");
      limits.persistence = static_cast<int>(frames.value_or(1));
    } else if (const auto kind = std::find(kKeys.begin(), kKeys.begin() + kBoundKindCount, k);
               kind != kKeys.begin() + kBoundKindCount) {
      auto& bound = limits.bounds[static_cast<std::size_t>(kind - kKeys.begin())];
      ok = Bound(*row, key, entry, bound.emplace());
    } else {
      ok = Fail(key.source(), "unknown key '" + std::string(k) +
                                  "' (red_low, yellow_low, yellow_high, red_high, red, yellow,"
                                  " persistence)");
    }
    if (!ok) {
      return std::nullopt;
    }
  }
  const bool hasBounds = std::any_of(limits.bounds.begin(), limits.bounds.end(),
                                     [](const auto& bound) { return bound.has_value(); });
  if (hasBounds && !(limits.redStates.empty() && limits.yellowStates.empty())) {
    Fail(name.source(), ValueName(*row) + " has bounds and states: give it one or the other");
    return std::nullopt;
  }
  if (!Ordered(limits, *table)) {
    return std::nullopt;
  }
  return limits;
}

LimitsLoad Refused(const std::string& file, const toml::source_position& where,
                   std::string message) {
  return {std::nullopt,
          {file, static_cast<int>(where.line), static_cast<int>(where.column), std::move(message)}};
}

}  // namespace

LimitsLoad ParseLimits(std::string_view text, const std::string& file) {
  toml::parse_result parsed = toml::parse(text, file);
  if (!parsed) {
    const toml::parse_error& error = parsed.error();
    return Refused(file, error.source().begin, std::string(error.description()));
  }
  Reader reader(text, file);
  std::vector<ValueLimits> values;
  for (auto&& [name, node] : parsed.table()) {
    auto limits = reader.Value(name, node);
    if (!limits) {
      return Refused(file, reader.fault->where, reader.fault->message);
    }
    values.push_back(std::move(*limits));
  }
  std::sort(values.begin(), values.end(),
            [](const ValueLimits& a, const ValueLimits& b) { return a.row < b.row; });
  return {LimitSet(file, std::move(values)), {}};
}

LimitsLoad LoadLimitsFile(const std::string& path) {
  // A folder or a FIFO is no limits file; reading one would fail or wait for a writer.
  std::error_code error;
  std::ifstream in;
  if (std::filesystem::is_regular_file(path, error)) {
    in.open(path, std::ios::binary);
  }
  std::string text;
  std::array<char, 1 << 14> buffer;
  while (in.is_open() && (in.read(buffer.data(), buffer.size()) || in.gcount() > 0)) {
    text.append(buffer.data(), static_cast<std::size_t>(in.gcount()));
  }
  if (!in.is_open() || in.bad()) {
    return {std::nullopt, {path, 0, 0, "cannot be read"}};
  }
  return ParseLimits(text, path);
}

LimitsLoad LoadDefaultLimits() { return ParseLimits(DefaultLimitsText(), kDefaultLimitsName); }

std::string UserLimitsPath() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') {
    return std::string(config) + "/quilmar-hk/limits.toml";
  }
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr ? home : "") + "/.config/quilmar-hk/limits.toml";
}

LimitsLoad LoadLimits(const std::optional<std::string>& given) {
  if (given) {
    return LoadLimitsFile(*given);
  }
  // A user's file that is there but cannot be read is refused, not passed over.
  if (const std::string user = UserLimitsPath(); std::filesystem::exists(user)) {
    return LoadLimitsFile(user);
  }
  return LoadDefaultLimits();
}

}  // namespace quilmar
