// lorvane-docs: writes the manual page of lorvane-cli from its template, or
// its bash completion, to standard output (scripts/make-docs.sh; a test
// compares them with the committed files).
//
//   lorvane-docs manual docs/lorvane-cli.1.in
//   lorvane-docs completion
#include <cstdio>
#include <cstring>
#include <string>

#include "core/textio.h"
#include "verbs.h"

int main(int argc, char** argv) {
  using namespace lorvane;
  if (argc == 3 && std::strcmp(argv[1], "manual") == 0) {
    std::string text;
    if (!readwhole(argv[2], text)) {
      std::fprintf(stderr, "lorvane-docs: can't read %s\n", argv[2]);
      return 1;
    }
    std::fputs(manualpage(text).c_str(), stdout);
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "completion") == 0) {
    std::fputs(bashcompletion().c_str(), stdout);
    return 0;
  }
  std::fputs("Usage: lorvane-docs manual TEMPLATE | completion\n", stderr);
  return 64;
}
