#pragma once
// What the band readers other than the fixed layout share: the lines of a
// file read in bounded pieces, band scores, and the grid of scores they
// fill and turn into band data.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "aflp/bands.h"
#include "core/textio.h"

namespace lorvane::banddata {

// The lines of a file, without their line ends; error stop naming the file
// for a line longer than the limit, so memory is bounded by it.
class Lines {
 public:
  explicit Lines(const std::string& path);
  bool next(std::string& line);
  // The line comes again from the next call (one line at most).
  void putback(std::string line) { held_ = std::move(line), heldback_ = true, --number_; }
  // The input, for a reader of its own (nothing put back).
  FilePtr& file() { return file_; }
  LineReader& reader() { return reader_; }
  long number() const { return number_; }
  const std::string& path() const { return path_; }
  // The file's size in bytes when it is a regular file; -1 otherwise (a pipe).
  long long size() const { return size_; }
  // "Error: PATH, line N: TEXT (readbands)", for the line last read (or `line`).
  [[noreturn]] void fail(const std::string& text, long line = 0) const;

 private:
  std::string path_;
  FilePtr file_;
  LineReader reader_;
  long number_ = 0;
  long long size_ = -1;
  std::string held_;
  bool heldback_ = false;
};

enum Score : std::uint8_t { kAbsent = 0, kPresent = 1, kMissing = 2, kNoScore = 3 };

// A cell's score: "1" present, "0" absent; "?", "-1", "-9", "NA", "." or an
// empty cell missing (blanks around are ignored); kNoScore for any other.
Score cellscore(std::string_view cell);
// The same, the plain "0" and "1" at once.
inline Score quickscore(std::string_view cell) {
  if (cell.size() == 1 && (cell[0] == '0' || cell[0] == '1')) return static_cast<Score>(cell[0] - '0');
  return cellscore(cell);
}
// The message of a cell that holds no score.
std::string notascore(std::string_view cell, long column);

// The scores of a file as its reader finds them.
struct ScoreGrid {
  std::vector<std::string> names;
  std::vector<std::string> bandnames;
  Groups groups;
  std::vector<std::uint8_t> scores;  // strain by strain, bandnames.size() each
  int strains() const { return static_cast<int>(names.size()); }
  int bands() const { return static_cast<int>(bandnames.size()); }
};

// Band data from a grid: presence and scored bits (the latter only when a
// score is missing), names, band names, groups; then the events.
BandData tobanddata(ScoreGrid&& grid, BandEvents& events);

// The cells of a delimited line: views into the line, or (a line with
// quotes) into `store`, which holds their unquoted texts.
std::vector<std::string_view> cellviews(const std::string& line, char delimiter, std::vector<std::string>& store);

// Whether a text starts with "pop" or "group", in any case: a group column.
bool groupheading(std::string_view cell);
// Without blanks at either end.
std::string trimcell(std::string_view cell);

}  // namespace lorvane::banddata
