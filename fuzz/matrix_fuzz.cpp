// Fuzz target: the binary matrix reader. The counts come from the file's
// trailer (readdims); a table of that shape is filled from its body (lecmat),
// written back (ecrmat) and read again, which must give the same values.
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/datafile.h"
#include "core/messages.h"
#include "core/textio.h"
#include "fuzzutil.h"
#include "tables.h"

namespace {

using namespace lorvane;

struct Setup {
  std::string input, copy;
  Setup() {
    const std::string folder = fuzz::makescratchfolder("matrix");
    input = folder + "/matrix.bin";
    copy = folder + "/copy.bin";
  }
};

bool samevalue(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const Setup setup;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  if (!writewhole(setup.input, bytes)) fuzz::finding("cannot write the input file");

  constexpr int unset = -12345;
  int l = unset, c = unset;
  readdims(setup.input, l, c);
  if (l == unset && c != unset) fuzz::finding("column count read without a row count");
  // Only shapes a table can be made for, and small enough for the process.
  if (l < 1 || c < 0 || (l + 1LL) * (c + 1LL) > (1 << 18)) return 0;

  try {
    RealTable t = taballoc(l, c);
    lecmat(t, setup.input);
    if (bytes.size() < static_cast<std::size_t>(l) * static_cast<std::size_t>(c) * 4)
      fuzz::finding("matrix read from a body shorter than the table");
    try {
      ecrmat(t, setup.copy);
    } catch (const ErrorStop&) {
      if (l <= 999999 && c <= 999999) fuzz::finding("matrix of a readable shape not written");
      return 0;
    }
    int l2 = unset, c2 = unset;
    readdims(setup.copy, l2, c2);
    if (l2 != l || c2 != c) fuzz::finding("trailer of a written matrix reads back different counts");
    RealTable back = taballoc(l, c);
    lecmat(back, setup.copy);
    for (int i = 1; i <= l; ++i)
      for (int j = 1; j <= c; ++j)
        if (!samevalue(t(i, j), back(i, j))) fuzz::finding("matrix value changed by a write and read");
  } catch (const ErrorStop&) {
  }
  return 0;
}
