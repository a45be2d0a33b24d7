#pragma once
// The files of the pair tables: the output set of a run (every file written
// under a temporary name, then all closed, then all moved into place as one,
// so a run that fails keeps the earlier set whole), a writer thread per file, and the two
// file consumers of the row-block driver: triangle text and binary square.
#include <deque>
#include <functional>
#include <future>
#include <string>
#include <vector>

#include "aflp/pairtable.h"
#include "aflp/rowbuffer.h"
#include "core/table.h"
#include "core/textio.h"

namespace lorvane {

// One output file and its error stops: while it is written, and at its close.
struct Output {
  std::string path;
  OutputFile file;
  std::string writefailure, closefailure;
};

class OutputSet {
 public:
  // Open path for writing (mode 'b' or 'a', as ouvecr).
  Output& add(const std::string& path, char mode, std::string writefailure, std::string closefailure);
  // Close every file, then move them all into place as one (error stop with
  // the failing file's close message; then no earlier file is replaced).
  void commit();
  std::deque<Output>::iterator begin() { return outputs_.begin(); }
  std::deque<Output>::iterator end() { return outputs_.end(); }
  bool empty() const { return outputs_.empty(); }

 private:
  std::deque<Output> outputs_;  // addresses stay put as files are added
};

// Writes to one output on a thread of its own, one job at a time, in order.
class BackgroundWriter {
 public:
  explicit BackgroundWriter(Output& out) : out_(out) {}
  ~BackgroundWriter();
  BackgroundWriter(const BackgroundWriter&) = delete;
  BackgroundWriter& operator=(const BackgroundWriter&) = delete;
  // Wait for the job under way (error stop when a write failed), then start this one.
  void start(std::function<void()> job);
  // Wait for the job under way; error stop when a write of the file failed.
  void wait();
  Output& output() { return out_; }

 private:
  Output& out_;
  std::future<void> job_;
};

// One figure of every pair as a file. Text: the triangle text matrix (the
// count line, then per strain its name, a blank field per pair below the
// diagonal, the shared bands' diagonal count, the fields "%5.3f " or "%5.0f "
// of the values narrowed to single precision, CR LF). Binary: the whole
// square as 4-byte reals (the trailer is added at the end of the table).
// Streamed, each block is written while the next is computed; whole, the
// table goes into one buffer for the caller to write (one thread per table).
class TableWriter : public PairConsumer {
 public:
  enum class Mode { Streamed, Whole };
  // namewidth 0: the names as they are (the fixed layout's own 10
  // characters); otherwise each name padded with blanks to that width, and
  // a width over 10 written after the count ("n w"), so that readers take
  // names of any length whole.
  TableWriter(Output& out, Figure figure, OutputForm form, const CharTable& names, Mode mode, int namewidth = 0);
  void begintable(int n, int rowblock) override;
  void beginrow(int slot, int i, int bands) override;
  void fields(int slot, int j0, const PairFigures* const* f, int count) override;
  void diagonal(int slot, int bands) override;
  void endrow(int slot) override;
  void endblock(int r0, int r1) override;
  void endtable() override;
  // The whole table (Mode::Whole).
  const RowBuffer& table() const { return rows_[0][0]; }
  BackgroundWriter& writer() { return writer_; }

 private:
  RowBuffer& buffer(int slot) { return rows_[set_][mode_ == Mode::Whole ? 0 : static_cast<std::size_t>(slot)]; }
  std::vector<RowBuffer> rows_[2];  // one set computed while the other is written
  BackgroundWriter writer_;         // after the rows: it goes first, waiting for its job
  Figure figure_;
  double PairFigures::*member_;
  OutputForm form_;
  const CharTable& names_;
  Mode mode_;
  int namewidth_;
  int n_ = 0, set_ = 0;
};

}  // namespace lorvane
