#pragma once
// The lines of a table file, read a piece at a time: CR LF or LF ends
// removed, each line with its number. Only the table readers use it.
//
// No field (a run of characters between blanks, commas and tabs) may grow
// past kLongestField characters, nor a line past what a row of the table can
// hold (limitwords): an endless line (a device of zeros) is refused after a
// few kilobytes, never read into memory. A signal that asks the run to stop (core/interrupt.h)
// is an error stop within one piece, and breaks into a read that waits for a
// pipe. Input that is not a regular file (a pipe, a FIFO, a device) has no
// size: what it can hold is found by reading ahead (available).
#include <cstddef>
#include <cstdio>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "core/textio.h"

namespace lorvane {

// Error stop "Error: PATH, line N: WHAT (readtables)" (no line when 0).
[[noreturn]] void tablefault(const std::string& path, long line, const std::string& what);

class TableLines {
 public:
  // `size` is the file's size, or -1 when the input has none (a stream).
  TableLines(FilePtr file, std::string path, long long size);

  // The next line and its number; false at the end of the input.
  bool get(std::string& line, long& number);
  // The line goes back, to be got first.
  void unget(std::string line, long number);
  static constexpr std::size_t kLongestField = 4096;
  // Lines longer than a row of `words` fields can reasonably be (64 bytes a
  // field and 4 kB more) are refused; 0: no bound but the fields' (a header).
  void limitwords(std::size_t words);
  // The bytes still to be read, at least: those held back and, for a file,
  // the rest of it. A stream is read ahead (its lines held back) until
  // `wanted` bytes are held or it ends.
  long long available(long long wanted);
  // The bytes of the input read so far, the ones held back included.
  long long consumed() const { return consumed_; }
  long long size() const { return size_; }
  bool stream() const { return size_ < 0; }
  std::FILE* file() const { return file_.get(); }
  const std::string& path() const { return path_; }
  // Binary reads from the start of a file; the reader reads no more lines.
  bool readbytes(void* to, std::size_t count);

 private:
  // The next line from the input itself.
  bool read(std::string& line, long& number);
  // More bytes into the buffer; false at the end of the input.
  bool fill();
  void checklength(const std::string& line, std::size_t from);
  [[noreturn]] void toolong(const std::string& what) const;

  FilePtr file_;
  std::string path_;
  long long size_;
  std::vector<char> buffer_ = std::vector<char>(1 << 16);
  std::size_t at_ = 0, end_ = 0;
  long read_ = 0;
  long long consumed_ = 0;
  std::size_t limit_ = 0;
  std::size_t run_ = 0;  // characters since the line's last separator
  std::deque<std::pair<std::string, long>> back_;
  long long held_ = 0;  // bytes of the lines in back_
};

}  // namespace lorvane
