#include "core/datafile.h"

#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstdio>

#include "core/messages.h"

namespace lorvane {

OutputFile ouvecr(const std::string& path, char mode) {
  if (mode != 'b' && mode != 'a') errorstop("Error: wrong open mode (ouvecr)");
  OutputFile out = OutputFile::open(path);
  if (!out)
    errorstop(filefault(mode == 'b' ? "Error: can't open binary output file (ouvecr)"
                                    : "Error: can't open ascii output file (ouvecr)",
                        path, errno));
  return out;
}

CFile ouvlec(const std::string& path, char mode) {
  if (mode != 'b' && mode != 'a') errorstop("Error: wrong open mode (ouvlec)");
  CFile in(std::fopen(path.c_str(), "rb"));
  if (!in)
    errorstop(filefault(mode == 'b' ? "Error: can't open binary input file (ouvlec)"
                                    : "Error: can't open ascii input file (ouvlec)",
                        path, errno));
  return in;
}

std::string dimstrailer(int l, int c) {
  char text[64];
  const int n = std::snprintf(text, sizeof text, "\r\n%6.6d\r\n%6.6d\r\n", l, c);
  return std::string(text, static_cast<std::size_t>(n));
}

void writedims(const std::string& path, int l, int c) {
  FilePtr f(std::fopen(path.c_str(), "ab"));
  if (!f) return;
  const std::string t = dimstrailer(l, c);
  std::fwrite(t.data(), 1, t.size(), f.get());
}

void readdims(const std::string& path, int& l, int& c) {
  FilePtr f(std::fopen(path.c_str(), "rb"));
  if (!f) return;
  std::fseek(f.get(), -16, SEEK_END);  // a shorter file is read from its start
  int a = 0, b = 0;
  if (std::fscanf(f.get(), "%d", &a) != 1) return;
  l = a;
  if (std::fscanf(f.get(), "%d", &b) != 1) return;
  c = b;
}

}  // namespace lorvane
