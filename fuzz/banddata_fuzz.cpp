// Fuzz target: the readers of GenAlEx files, delimited 0/1 tables (strains
// as rows or as columns) and NEXUS matrices on arbitrary content. The first
// byte picks the format and the options; the rest is the file.
#include <unistd.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "banddata/bandformats.h"
#include "core/messages.h"
#include "core/textio.h"
#include "fuzzutil.h"
#include "tables.h"

namespace {

using namespace lorvane;

void check(const BandData& d, BandFormat format) {
  if (d.n < 1 || d.m < 1 || d.bits.rows() != d.n || d.bits.bits() != d.m) fuzz::finding("counts and bits differ");
  if (d.hasmissing() && (d.scored.rows() != d.n || d.scored.bits() != d.m)) fuzz::finding("scored bits of another size");
  if (!d.bandnames.empty() && static_cast<int>(d.bandnames.size()) != d.m) fuzz::finding("band names of another count");
  for (const auto& labels : d.groups.labels)
    if (static_cast<int>(labels.size()) != d.n) fuzz::finding("a group level without a label per strain");
  for (int i = 0; i < d.n; ++i) {
    // The fixed layout's names are its first 10 characters, a NUL ending them.
    if (format != BandFormat::Seed && d.names[i + 1].empty()) fuzz::finding("a strain without a name");
    if (d.hasmissing())
      for (int k = 0; k < d.m; ++k)
        if (d.bits.test(i, k) && !d.scored.test(i, k)) fuzz::finding("a missing score read as present");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string input = fuzz::makescratchfolder("banddata") + "/data";
  if (size < 1) return 0;
  BandReadOptions options;
  const BandFormat formats[] = {BandFormat::Auto, BandFormat::GenAlEx, BandFormat::Table, BandFormat::Nexus};
  options.format = formats[data[0] & 3];
  options.layout = data[0] & 4 ? BandLayout::Columns : BandLayout::Rows;
  options.groupcolumns = (data[0] >> 3) & 3;
  const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
  // The fixed layout has a target of its own.
  if (options.format == BandFormat::Auto && text.find('\n') != std::string_view::npos &&
      text.substr(0, text.find('\n')).find_first_of(",\t;#") == std::string_view::npos)
    return 0;
  if (!writewhole(input, text)) fuzz::finding("cannot write the input file");
  try {
    SilentBands silent;
    BandFormat format = BandFormat::Auto;
    const BandData d = readbanddata(input, options, ReadMode::Bootstrap, silent, &format);
    check(d, format);
  } catch (const ErrorStop&) {
  }
  if (::access((input + ".provi").c_str(), F_OK) == 0) fuzz::finding("scratch file left behind");
  return 0;
}
