// Fuzz target: the distance-table readers. Any input either reads or stops
// with an error stop; a table read has n names and n(n - 1)/2 finite values
// other than 999, and its values come back unchanged through every writer
// (with plain names, which every format holds).
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/messages.h"
#include "core/textio.h"
#include "fuzzutil.h"
#include "tables/distancetable.h"

namespace {

using namespace lorvane;

struct Setup {
  std::string input, copy;
  Setup() {
    const std::string folder = fuzz::makescratchfolder("tables");
    input = folder + "/table";
    copy = folder + "/copy";
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const Setup setup;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  if (!writewhole(setup.input, bytes)) fuzz::finding("cannot write the input file");
  // A count line can announce more strains than memory holds: small inputs only announce small tables.
  if (size > 1 << 16) return 0;
  std::vector<DistanceTable> tables;
  try {
    TableReader reader(setup.input);
    DistanceTable t;
    while (reader.next(t)) {
      if (t.size() > 4096) return 0;
      tables.push_back(t);
    }
  } catch (const ErrorStop&) {
    return 0;
  } catch (const std::bad_alloc&) {
    return 0;
  }
  for (DistanceTable& t : tables) {
    const std::size_t n = static_cast<std::size_t>(t.size());
    if (t.lower.size() != n * (n - 1) / 2) fuzz::finding("lower half of the wrong size");
    for (double v : t.lower)
      if (!std::isfinite(v) || v == 999.0) fuzz::finding("a value no table may hold was read");
    for (std::size_t i = 0; i < n; ++i) {
      t.names[i] = std::to_string(i + 1);
      t.names[i].insert(t.names[i].begin(), 's');
    }
    for (auto writer : {phylipsquare, phyliplower, csvtable}) {
      if (!writewhole(setup.copy, writer(t))) fuzz::finding("cannot write the copy");
      std::vector<DistanceTable> back;
      try {
        back = readtables(setup.copy);
      } catch (const ErrorStop& e) {
        std::fprintf(stderr, "%s\n", e.what());
        fuzz::finding("a written table does not read back");
      }
      if (back.size() != 1 || back[0].names != t.names) fuzz::finding("names changed by a write and read");
      for (std::size_t k = 0; k < t.lower.size(); ++k) {
        const bool same = t.single ? static_cast<float>(back[0].lower[k]) == static_cast<float>(t.lower[k])
                                   : back[0].lower[k] == t.lower[k];
        if (!same) fuzz::finding("value changed by a write and read");
      }
    }
  }
  return 0;
}
