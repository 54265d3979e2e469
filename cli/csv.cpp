// The CLI's CSV reader: one pass over the file, a line at a time, so that a
// large file for map is held once (as its lines), not as split fields.
#include "cli/csv.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace vexal::csv {
namespace {

bool blank(char c) { return c == ' ' || c == '\t'; }

std::string quoted(const std::string& s) { return "'" + s + "'"; }

// The separator of a first line: the first of , ; TAB found outside quotes,
// else ' ' when fields stand apart by spaces, else ',' (one column).
char detect_separator(const std::string& line) {
  bool comma = false, semicolon = false, tab = false, space = false, inside = false;
  std::size_t b = 0, e = line.size();
  while (b < e && blank(line[b])) ++b;
  while (e > b && blank(line[e - 1])) --e;
  for (std::size_t i = b; i < e; ++i) {
    const char c = line[i];
    if (c == '"') inside = !inside;  // "" toggles twice: no change
    if (inside) continue;
    comma = comma || c == ',';
    semicolon = semicolon || c == ';';
    tab = tab || c == '\t';
    space = space || c == ' ';
  }
  return comma ? ',' : semicolon ? ';' : tab ? '\t' : space ? ' ' : ',';
}

}  // namespace

bool parse_number(const std::string& text, double& out) {
  if (text.empty()) return false;
  const char* s = text.c_str();
  char* end = nullptr;
  errno = 0;
  out = std::strtod(s, &end);
  return end != s && *end == '\0';
}

Reader::Reader(const std::string& path, Header header) : path_(path), in_(path, std::ios::binary) {
  if (!in_) throw Error("cannot read file " + quoted(path));
  if (!read_line()) return;
  if (line_.compare(0, 3, "\xEF\xBB\xBF") == 0 && line_no_ == 1) line_.erase(0, 3);
  sep_ = detect_separator(line_);
  fields_ = split();
  width_ = fields_.size();
  has_header_ = header == Header::required;
  for (const auto& f : fields_) {
    double v;
    has_header_ = has_header_ || (!f.empty() && !parse_number(f, v));
  }
  if (has_header_) {
    header_line_ = line_;
    names_ = fields_;
  } else {
    pending_ = true;
  }
}

[[noreturn]] void Reader::fail(const std::string& what) const {
  throw Error("file " + quoted(path_) + " line " + std::to_string(line_no_) + ": " + what);
}

bool Reader::read_line() {
  while (std::getline(in_, line_)) {
    ++line_no_;
    if (!line_.empty() && line_.back() == '\r') line_.pop_back();
    std::size_t b = 0;
    // The byte-order mark of the first line is not content.
    if (line_no_ == 1 && line_.compare(0, 3, "\xEF\xBB\xBF") == 0) b = 3;
    while (b < line_.size() && blank(line_[b])) ++b;
    if (b < line_.size() && line_[b] != '#') return true;
  }
  if (in_.bad()) throw Error("cannot read file " + quoted(path_));
  return false;
}

// The fields of line_: quoted ones unquoted, blanks around each dropped.
std::vector<std::string> Reader::split() const {
  const std::string& s = line_;
  const std::size_t n = s.size();
  const bool spaces = sep_ == ' ';
  auto at_sep = [&](std::size_t i) { return spaces ? blank(s[i]) : s[i] == sep_; };
  std::vector<std::string> fields;
  std::size_t i = 0;
  while (i < n && blank(s[i])) ++i;
  for (;;) {
    while (i < n && blank(s[i]) && !at_sep(i)) ++i;
    std::string f;
    if (i < n && s[i] == '"') {
      for (++i;; ++i) {
        if (i >= n) fail("a quoted field has no closing quote");
        if (s[i] == '"') {
          if (i + 1 < n && s[i + 1] == '"') {
            ++i;
          } else {
            break;
          }
        }
        f += s[i];
      }
      ++i;
      while (i < n && blank(s[i]) && !at_sep(i)) ++i;
      if (i < n && !at_sep(i)) fail("text after the closing quote of field " + std::to_string(fields.size() + 1));
    } else {
      const std::size_t start = i;
      while (i < n && !at_sep(i)) ++i;
      std::size_t end = i;
      while (end > start && blank(s[end - 1])) --end;
      f = s.substr(start, end - start);
    }
    fields.push_back(std::move(f));
    if (spaces)
      while (i < n && blank(s[i])) ++i;
    if (i >= n) return fields;
    if (!spaces) ++i;  // past the separator: a field follows, empty at the end of the line
  }
}

bool Reader::next() {
  if (pending_) {
    pending_ = false;
    return true;
  }
  if (!read_line()) return false;
  fields_ = split();
  if (fields_.size() != width_)
    throw Error("file " + quoted(path_) + " line " + std::to_string(line_no_) + " has " +
                std::to_string(fields_.size()) + " fields where " + (has_header_ ? "the header" : "the first row") +
                " has " + std::to_string(width_));
  return true;
}

long Reader::find(const std::string& name) const {
  long found = -1;
  for (std::size_t c = 0; c < names_.size(); ++c) {
    if (names_[c] != name) continue;
    if (found >= 0) throw Error("file " + quoted(path_) + " has two columns named " + quoted(name));
    found = static_cast<long>(c);
  }
  return found;
}

std::size_t Reader::column(const std::string& name) const {
  if (name.empty()) return 0;
  if (double k; parse_number(name, k) && k >= 1 && k == std::floor(k)) {
    if (k > static_cast<double>(width_))
      throw Error("file " + quoted(path_) + " has no column " + name + " (it has " + std::to_string(width_) + ")");
    return static_cast<std::size_t>(k) - 1;
  }
  const long c = find(name);
  if (c < 0)
    throw Error("file " + quoted(path_) + " has no column " + quoted(name) +
                (has_header_ ? "" : " (it has no header row)"));
  return static_cast<std::size_t>(c);
}

std::string Reader::column_label(std::size_t col) const {
  return has_header_ ? names_[col] : std::to_string(col + 1);
}

double Reader::number(std::size_t col) const {
  const std::string& cell = fields_[col];
  if (cell.empty()) return NAN;
  double v;
  if (!parse_number(cell, v))
    throw Error("file " + quoted(path_) + " line " + std::to_string(line_no_) + ", column " + column_label(col) +
                ": " + quoted(cell) + " is not a number");
  return v;
}

std::vector<double> read_column(const std::string& source) {
  std::string path = source, name;
  // The last colon, past a drive letter, starts the column.
  if (const auto colon = source.rfind(':'); colon != std::string::npos && colon > 1) {
    path = source.substr(0, colon);
    name = source.substr(colon + 1);
  }
  Reader r(path, Header::detect);
  if (r.empty()) throw Error("file " + quoted(path) + " holds no numbers");
  const std::size_t col = r.column(name);
  std::vector<double> values;
  while (r.next()) values.push_back(r.number(col));
  if (values.empty()) throw Error("file " + quoted(path) + " holds no numbers");
  return values;
}

}  // namespace vexal::csv
