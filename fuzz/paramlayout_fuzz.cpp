// Fuzz target: the parameter-layout splitter and what the dialog
// derives from each descriptor. The first byte picks the parameter count.
#include <cstdint>
#include <string>
#include <string_view>

#include "dialogs/paramlayout.h"
#include "frame/filedialogrecord.h"
#include "fuzzutil.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace lorvane;
  if (size == 0) return 0;
  const int n = static_cast<int>(data[0] % 13) - 1;  // -1 to 11
  const std::string_view layout(reinterpret_cast<const char*>(data) + 1, size - 1);

  const SplitLayout s = splitlayout(layout, n);
  if (s.found < 0 || s.found > 10 || s.found > (n < 0 ? 0 : n)) fuzz::finding("parameter count out of range");
  for (int i = 1; i <= 10; ++i) {
    const auto slot = static_cast<std::size_t>(i);
    if (i > s.found && (!s.labels[slot].empty() || !s.descriptors[slot].empty()))
      fuzz::finding("text in a slot past the parameters found");
    if (s.descriptors[slot].find_first_of("[]") != std::string::npos) fuzz::finding("bracket inside a descriptor");
    if (s.labels[slot].find_first_of("[]") != std::string::npos) fuzz::finding("bracket inside a label");
    if (s.captions[slot].find('\n') != std::string::npos) fuzz::finding("line feed inside a caption");
    for (const std::string& line : labellines(s.labels[slot]))
      if (line.size() > 255 || line.find('\n') != std::string::npos) fuzz::finding("label line the prompt cannot hold");

    const Descriptor d = splitdescriptor(s.descriptors[slot]);
    if (d.type.size() > 19 || d.min.size() > 9 || d.max.size() > 9) fuzz::finding("descriptor field too long");
    setaction(d.type);
    const std::string filter = filtertext(d.type, d.min);
    if (filter.empty() || filter.back() != '|') fuzz::finding("filter text without its separator");
    if (filterpairs(filter).empty()) fuzz::finding("filter text without a pair");
  }

  // The splitter's own tokenizer on the raw text, with the delimiters of
  // its three uses.
  Tokenizer tokens(layout);
  std::string token;
  const char* const delimiters[] = {"[", "]", "\n", ","};
  for (std::size_t k = 0; tokens.next(delimiters[k % 4], token); ++k)
    if (token.empty()) fuzz::finding("empty token");
  return 0;
}
