#pragma once
// Shared by the fuzz targets: a private scratch folder for the files a
// target reads and writes, made once per process.
#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace lorvane::fuzz {

// The folders made below, removed with everything in them at the end of
// the process.
class ScratchFolders {
 public:
  ~ScratchFolders() {
    for (const std::string& f : folders) {
      std::error_code ec;
      std::filesystem::remove_all(f, ec);
    }
  }
  std::vector<std::string> folders;
};

// A fresh folder under the system's temporary folder; the process aborts
// when none can be made, since no input can be tried without it.
inline std::string makescratchfolder(const char* tag) {
  static ScratchFolders made;
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/lorvane-" + tag + "-XXXXXX";
  if (!::mkdtemp(pattern.data())) {
    std::perror("mkdtemp");
    std::abort();
  }
  made.folders.push_back(pattern);
  return pattern;
}

// Stop the run as a finding: libFuzzer keeps the input that got here.
[[noreturn]] inline void finding(const char* what) {
  std::fprintf(stderr, "fuzz finding: %s\n", what);
  std::abort();
}

}  // namespace lorvane::fuzz
