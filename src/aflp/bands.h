#pragma once
// Band-pattern files: a header line with the numbers of strains and bands,
// then one line per strain: a 10-character name and one code per band
// ("1" to "9" present, anything else absent).
#include <string>
#include <vector>

#include "aflp/bitmatrix.h"
#include "core/table.h"
#include "core/textio.h"

namespace lorvane {

// The scratch binary copy of the presence table, a file of a unique name
// (".lv<pid>-XXXXXX") in the folder the run writes its outputs in.
// It is removed when this object goes, on every way out of a run.
class ScratchFile {
 public:
  ScratchFile() = default;
  explicit ScratchFile(std::string path) : path_(std::move(path)) {}
  ScratchFile(ScratchFile&& o) noexcept : path_(std::move(o.path_)) { o.path_.clear(); }
  ScratchFile& operator=(ScratchFile&& o) noexcept;
  ~ScratchFile() { remove(); }
  const std::string& path() const { return path_; }
  void remove() noexcept;

 private:
  std::string path_;
};

// The strains' groups at one or more levels (regions, populations, ...):
// labels[level][i] is strain i's (0-based) label at that level.
struct Groups {
  std::vector<std::string> levels;
  std::vector<std::vector<std::string>> labels;
  bool empty() const { return levels.empty(); }
};

struct BandData {
  int n = 0;            // strains
  int m = 0;            // bands
  BitMatrix bits;       // presence of each band (value above 0), strain i in row i - 1
  // The bands scored in each strain, for data with missing scores; empty
  // when every score is known (a missing score is never present in bits).
  BitMatrix scored;
  CharTable names;      // strain names, rows 1..n (any length outside the fixed layout)
  std::vector<std::string> bandnames;  // empty in the fixed layout
  // The width of the names in the text tables: 0 in the fixed layout (its
  // names as read); otherwise the longest name, at least 10.
  int namewidth = 0;
  Groups groups;
  ScratchFile scratch;  // kept by the simple computation until its end
  bool hasmissing() const { return !scored.empty(); }
  // The scored bits for the pair counts: none when every score is known.
  const BitMatrix* scoredbits() const { return hasmissing() ? &scored : nullptr; }
};

enum class ReadMode {
  Simple,     // scratch opened before the header, kept to the end of the run
  Bootstrap,  // no scratch: the codes go straight into the presence bits
};

// The value of one band code: its digit, 0 for every other character.
inline int bandvalue(char code) { return code >= '0' && code <= '9' ? code - '0' : 0; }

// What the reader tells its run as it goes: the counts of the header once
// the tables for them are made, then each strain's name as it is read.
class BandEvents {
 public:
  virtual ~BandEvents() = default;
  virtual void counts(int n, int m) = 0;
  virtual void strain(int i, const std::string& name) = 0;
};

// Read a band-pattern file (error stop on any fault) as the presence of
// each band, as bits. In ReadMode::Simple the values go through the scratch
// file, made in `scratchfolder` (the input's folder when empty) before the
// header is read, and read back from it.
BandData readbands(const std::string& path, ReadMode mode, BandEvents& events, const std::string& scratchfolder = {});
// The same from an input opened already, its first line (the header) read
// already when `header` is given.
BandData readbands(const std::string& path, FilePtr in, LineReader& reader, const std::string* header, ReadMode mode,
                   BandEvents& events, const std::string& scratchfolder = {});

}  // namespace lorvane
