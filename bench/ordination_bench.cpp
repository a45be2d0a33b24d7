// Times principal coordinates and the Mantel test on tables read from text
// files: one line per strain, its name, then its n distances, separated by
// blanks or commas.
//
//   ordination_bench pcoa TABLE [AXES [none|lingoes|cailliez]] [--coordinates OUT]
//   ordination_bench mantel TABLEA TABLEB [PERMUTATIONS [THREADS [SEED [pearson|spearman]]]]
//
// Prints the read and computation times (seconds) and the results with 17
// significant digits; --coordinates writes the coordinates, one strain a line.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "core/messages.h"
#include "ordination/mantel.h"
#include "ordination/pcoa.h"

namespace {

struct Table {
  std::vector<std::string> names;
  std::vector<double> values;
};

Table readtable(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot read " + path);
  Table t;
  std::string line;
  while (std::getline(in, line)) {
    for (char& c : line)
      if (c == ',') c = ' ';
    const char* p = line.c_str();
    while (*p == ' ' || *p == '\t') ++p;
    if (*p == '\0' || *p == '\r') continue;
    const char* start = p;
    while (*p && *p != ' ' && *p != '\t') ++p;
    t.names.emplace_back(start, p);
    for (;;) {
      char* end = nullptr;
      const double v = std::strtod(p, &end);
      if (end == p) break;
      t.values.push_back(v);
      p = end;
    }
  }
  return t;
}

double seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

int runpcoa(int argc, char** argv) {
  lorvane::PcoaOptions options;
  std::string coordinates;
  std::vector<std::string> rest;
  for (int i = 3; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--coordinates" && i + 1 < argc)
      coordinates = argv[++i];
    else
      rest.push_back(a);
  }
  if (!rest.empty()) options.axes = std::stoi(rest[0]);
  if (rest.size() > 1)
    options.correction = rest[1] == "lingoes"    ? lorvane::Correction::lingoes
                         : rest[1] == "cailliez" ? lorvane::Correction::cailliez
                                                 : lorvane::Correction::none;
  auto start = std::chrono::steady_clock::now();
  const Table t = readtable(argv[2]);
  const double read = seconds(start);
  start = std::chrono::steady_clock::now();
  const lorvane::PcoaResult r = lorvane::pcoa(t.values, t.names.size(), options);
  const double compute = seconds(start);
  std::printf("read %.4f\ncompute %.4f\nstrains %zu\nnegatives %d\npositivesum %.17g\nconstant %.17g\n", read,
              compute, r.strains, r.negatives, r.positivesum, r.constant);
  for (std::size_t a = 0; a < r.eigenvalues.size(); ++a)
    std::printf("axis %zu %.17g %.17g %.17g\n", a + 1, r.eigenvalues[a], r.shares[a], r.cumulative[a]);
  if (!coordinates.empty()) {
    std::FILE* f = std::fopen(coordinates.c_str(), "w");
    for (std::size_t i = 0; i < r.strains; ++i) {
      std::fprintf(f, "%s", t.names[i].c_str());
      for (int a = 0; a < r.axes; ++a) std::fprintf(f, " %.17g", r.coordinate(i, a));
      std::fprintf(f, "\n");
    }
    std::fclose(f);
  }
  return 0;
}

int runmantel(int argc, char** argv) {
  if (argc < 4) return 2;
  lorvane::MantelOptions options;
  if (argc > 4) options.permutations = std::stoi(argv[4]);
  if (argc > 5) options.threads = std::stoi(argv[5]);
  if (argc > 6) options.seed = static_cast<std::uint32_t>(std::stoul(argv[6]));
  if (argc > 7 && std::string(argv[7]) == "spearman") options.method = lorvane::Correlation::spearman;
  auto start = std::chrono::steady_clock::now();
  const Table a = readtable(argv[2]);
  const Table b = readtable(argv[3]);
  const double read = seconds(start);
  start = std::chrono::steady_clock::now();
  const lorvane::MantelResult r = lorvane::mantel({a.names, a.values}, {b.names, b.values}, options);
  const double compute = seconds(start);
  std::printf("read %.4f\ncompute %.4f\nstrains %zu\nr %.17g\np %.17g\npermutations %d\nseed %u\n", read, compute,
              r.strains, r.r, r.p, r.permutations, r.seed);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    if (argc >= 3 && std::string(argv[1]) == "pcoa") return runpcoa(argc, argv);
    if (argc >= 4 && std::string(argv[1]) == "mantel") return runmantel(argc, argv);
  } catch (const std::exception& e) {
    std::cerr << e.what() << "\n";
    return 1;
  }
  std::cerr << "usage: ordination_bench pcoa TABLE [AXES [CORRECTION]] [--coordinates OUT]\n"
               "       ordination_bench mantel TABLEA TABLEB [PERMUTATIONS [THREADS [SEED [spearman]]]]\n";
  return 2;
}
