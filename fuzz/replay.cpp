// Replays corpus files through a fuzz target without libFuzzer, so that the
// kept inputs run with any compiler as part of the test suite.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "core/textio.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  std::vector<fs::path> files;
  for (int i = 1; i < argc; ++i) {
    // Absolute: a target may change the current folder.
    const fs::path p = fs::absolute(argv[i]);
    if (fs::is_directory(p)) {
      for (const auto& e : fs::directory_iterator(p))
        if (e.is_regular_file()) files.push_back(e.path());
    } else {
      files.push_back(p);
    }
  }
  std::sort(files.begin(), files.end());
  if (files.empty()) {
    std::fprintf(stderr, "replay: no input files given\n");
    return 1;
  }
  for (const fs::path& f : files) {
    std::string bytes;
    if (!lorvane::readwhole(f.string(), bytes)) {
      std::fprintf(stderr, "replay: cannot read %s\n", f.c_str());
      return 1;
    }
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  }
  std::printf("replay: %zu inputs\n", files.size());
  return 0;
}
