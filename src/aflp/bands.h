#pragma once
// Band-pattern files: a header line with the numbers of strains and bands,
// then one line per strain: a 10-character name and one code per band
// ("1" to "9" present, anything else absent).
#include <string>

#include "aflp/bitmatrix.h"
#include "core/runcontext.h"
#include "core/table.h"

namespace lorvane {

// The scratch binary copy of the presence table, a file of a unique name
// (".lv<pid>-XXXXXX") in the input's folder.
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

struct BandData {
  int n = 0;            // strains
  int m = 0;            // bands
  BitMatrix bits;       // presence of each band (value above 0), strain i in row i - 1
  CharTable names;      // strain names, rows 1..n
  ScratchFile scratch;  // kept by the simple computation until its end
};

enum class ReadMode {
  Simple,     // "Souche" report lines; scratch opened before the input
  Bootstrap,  // no strain lines in the report; scratch removed at once
};

// The value of one band code: its digit, 0 for every other character.
inline int bandvalue(char code) { return code >= '0' && code <= '9' ? code - '0' : 0; }

// Read a band-pattern file (error stop on any fault). The scratch file is
// read back as the presence of each band, as bits.
BandData readbands(RunContext& ctx, const std::string& path, ReadMode mode);

}  // namespace lorvane
