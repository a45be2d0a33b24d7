#include "core/datafile.h"

#include <bit>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "core/messages.h"

namespace lorvane {

OutputFile ouvecr(const std::string& path, char mode) {
  if (mode != 'b' && mode != 'a') errorstop("Error: wrong open mode (ouvecr)");
  OutputFile out = OutputFile::open(path);
  if (!out)
    errorstop(mode == 'b' ? "Error: can't open binary output file (ouvecr)"
                          : "Error: can't open ascii output file (ouvecr)");
  return out;
}

CFile ouvlec(const std::string& path, char mode) {
  if (mode != 'b' && mode != 'a') errorstop("Error: wrong open mode (ouvlec)");
  CFile in(std::fopen(path.c_str(), "rb"));
  if (!in)
    errorstop(mode == 'b' ? "Error: can't open binary input file (ouvlec)"
                          : "Error: can't open ascii input file (ouvlec)");
  return in;
}

std::string dimstrailer(int l, int c) {
  char text[64];
  const int n = std::snprintf(text, sizeof text, "\r\n%6.6d\r\n%6.6d\r\n", l, c);
  return std::string(text, static_cast<std::size_t>(n));
}

void writescal(double value, CFile& out) {
  char b[4];
  putfloat(b, static_cast<float>(value));
  out.bytes(b, 4);
  if (out.failed()) errorstop("Error: can't write scalar (writescal)");
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

void writemat(const RealTable& t, CFile& out) {
  const int l = t.rows(), c = t.cols();
  // The trailer is found by its place: six digits per count, no more.
  if (l > 999999 || c > 999999) errorstop("Error: more than 999999 rows or columns (ecrmat)");
  std::vector<char> line(static_cast<std::size_t>(c) * 4);
  for (int i = 1; i <= l; ++i) {
    const double* r = t.row(i);
    for (int j = 1; j <= c; ++j) putfloat(&line[static_cast<std::size_t>(j - 1) * 4], static_cast<float>(r[j]));
    out.bytes(line.data(), line.size());
    if (out.failed()) errorstop("Error: can't write matrix (ecrmat)");
  }
  const std::string trailer = dimstrailer(l, c);
  out.bytes(trailer.data(), trailer.size());
  if (out.failed()) errorstop("Error: can't write matrix (ecrmat)");
}

void ecrmat(const RealTable& t, const std::string& path) {
  OutputFile out = ouvecr(path, 'b');
  writemat(t, out);
  if (!out.commit()) errorstop("Error: can't write matrix (ecrmat)");
}

void lecmat(RealTable& t, const std::string& path) {
  const int l = t.rows(), c = t.cols();
  CFile in = ouvlec(path, 'b');
  std::vector<char> line(static_cast<std::size_t>(c) * 4);
  for (int i = 1; i <= l; ++i) {
    if (std::fread(line.data(), 1, line.size(), in.get()) != line.size())
      errorstop("Error: can't read matrix (lecmat)");
    double* r = t.row(i);
    for (int j = 1; j <= c; ++j) r[j] = getfloat(&line[static_cast<std::size_t>(j - 1) * 4]);
  }
}

}  // namespace lorvane
