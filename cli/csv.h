// The CLI's one CSV reader, for @file columns, garch-mle and map. Its rules
// (docs/cli.md):
//   - lines end in LF or CRLF; a UTF-8 byte-order mark at the start is dropped;
//   - blank lines and lines whose first non-blank character is # are skipped;
//   - the separator is decided once, from the first line read: a comma if it
//     has one, else a semicolon, else a tab, else runs of spaces; a file of
//     one column has none of them;
//   - a field may be double-quoted ("" inside is one "), the separator is then
//     part of it; blanks around a field are dropped;
//   - the first line is the header when required (map), or else when one of
//     its fields is text (neither empty nor a number);
//   - every row has as many fields as the first line;
//   - a column is named by its header name or its 1-based number;
//   - an empty cell is a missing value, NaN.
// Every fault is an error naming the file and, where it has one, the line.
#ifndef VEXAL_CLI_CSV_H
#define VEXAL_CLI_CSV_H

#include <cstddef>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace vexal::csv {

struct Error : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// A whole string that strtod reads as a number (nan and inf included).
bool parse_number(const std::string& text, double& out);

enum class Header { detect, required };

// Reads a file row by row: the header (if any) on opening, then next().
class Reader {
 public:
  Reader(const std::string& path, Header header);

  bool empty() const { return width_ == 0; }  // nothing but blanks and comments
  bool has_header() const { return has_header_; }
  char separator() const { return sep_; }     // ' ' for runs of spaces
  std::size_t width() const { return width_; }
  const std::string& header_line() const { return header_line_; }
  const std::vector<std::string>& names() const { return names_; }

  // A column by header name or 1-based number ("" is the first); an error
  // when the file has no such column or two of that name.
  std::size_t column(const std::string& name) const;
  // The column of a header name, or -1; an error when two have that name.
  long find(const std::string& name) const;
  // The column's name in messages: its header name, else its number.
  std::string column_label(std::size_t col) const;

  // The next data row; false at the end of the file.
  bool next();
  const std::string& line() const { return line_; }  // as read, without its line end
  int line_number() const { return line_no_; }
  const std::vector<std::string>& fields() const { return fields_; }
  // A cell of the current row: empty is NaN, text that is no number an error.
  double number(std::size_t col) const;

 private:
  bool read_line();  // the next line that is neither blank nor a comment
  std::vector<std::string> split() const;
  [[noreturn]] void fail(const std::string& what) const;

  std::string path_;
  std::ifstream in_;
  char sep_ = ',';
  bool has_header_ = false;
  bool pending_ = false;  // the first line is a data row not yet returned
  std::size_t width_ = 0;
  std::string header_line_;
  std::vector<std::string> names_;
  std::string line_;
  int line_no_ = 0;
  std::vector<std::string> fields_;
};

// FILE or FILE:COLUMN, the column by header name or 1-based number (the
// first column when none is given): its values, at least one.
std::vector<double> read_column(const std::string& source);

}  // namespace vexal::csv

#endif
