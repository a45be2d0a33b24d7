// Fuzz target: the band-pattern reader on arbitrary file content, once as
// the simple computation reads it and once as the bootstrap does.
#include <unistd.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "aflp/bands.h"
#include "core/convert.h"
#include "core/messages.h"
#include "core/textio.h"
#include "core/windowsystem.h"
#include "fuzzutil.h"
#include "tables.h"

namespace {

using namespace lorvane;

struct Setup {
  std::string input;
  Setup() : input(fuzz::makescratchfolder("bands") + "/strains.txt") {}
};

// The tables of a header are allocated before any strain line is read; keep
// them within what a fuzzing process may hold (huge counts have their own
// tests). The header is split as the reader splits it.
bool smallheader(std::string_view text) {
  std::string_view line = text.substr(0, std::min<std::size_t>(text.find('\n'), 255));
  line = line.substr(0, line.find('\0'));
  long long counts[2] = {0, 0};
  int found = 0;
  std::size_t i = 0;
  while (found < 2 && i < line.size()) {
    while (i < line.size() && line[i] == ' ') ++i;
    const std::size_t start = i;
    while (i < line.size() && line[i] != ' ') ++i;
    if (i > start) counts[found++] = texttoint(line.substr(start, i - start));
  }
  return counts[0] <= 0 || counts[1] <= 0 || counts[0] * counts[1] <= (1 << 20);
}

void readonce(const std::string& path, ReadMode mode) {
  try {
    SilentBands silent;
    const BandData d = readbands(path, mode, silent);
    const RealTable presence = readbandvalues(path);
    if (d.n < 1 || d.m < 1 || presence.rows() != d.n || presence.cols() != d.m || d.bits.rows() != d.n ||
        d.bits.bits() != d.m)
      fuzz::finding("tables do not match the header");
    for (int i = 1; i <= d.n; ++i) {
      if (d.names[i].size() > 10) fuzz::finding("strain name longer than 10 characters");
      for (int k = 1; k <= d.m; ++k) {
        const double v = presence(i, k);
        if ((v > 0) != d.bits.test(i - 1, k - 1)) fuzz::finding("presence bit differs from the band value");
        if (!(v >= 0 && v <= 9) || v != static_cast<int>(v)) fuzz::finding("band value outside 0 to 9");
      }
    }
  } catch (const ErrorStop&) {
  }
  // Every way out of the reader, the simple computation's included once its
  // data are gone, leaves no scratch copy behind.
  if (::access((path + ".provi").c_str(), F_OK) == 0) fuzz::finding("scratch file left behind");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const Setup setup;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (!smallheader(text)) return 0;
  if (!writewhole(setup.input, text)) fuzz::finding("cannot write the input file");
  readonce(setup.input, ReadMode::Simple);
  readonce(setup.input, ReadMode::Bootstrap);
  return 0;
}
