#include "tables.h"

#include <cstdio>
#include <new>
#include <stdexcept>

#include "aflp/bands.h"
#include "core/datafile.h"
#include "core/messages.h"
#include "core/table.h"

namespace lorvane {

RealTable taballoc(int l, int c) {
  const char* const fault = "Error: insufficient memory (taballoc)";
  if (l < 0 || c < 0) errorstop(fault);
  // Row 1 holds the column count, so there is always a row 1.
  const std::size_t rows = static_cast<std::size_t>(l < 1 ? 1 : l) + 1;
  const std::size_t stride = static_cast<std::size_t>(c) + 1;
  if (rows > memorylimit() / sizeof(double) / stride) errorstop(fault);
  RealTable t;
  try {
    t.cells_.assign(rows * stride, 0.0);
  } catch (const std::bad_alloc&) {
    errorstop(fault);
  } catch (const std::length_error&) {
    errorstop(fault);
  }
  t.stride_ = stride;
  t.cells_[0] = static_cast<double>(l);
  t.cells_[stride] = static_cast<double>(c);
  return t;
}

namespace {
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

}  // namespace

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

RealTable readbandvalues(const std::string& path) {
  SilentBands silent;
  const BandData d = readbands(path, ReadMode::Simple, silent);  // its scratch file stays while d does
  RealTable t = taballoc(d.n, d.m);
  lecmat(t, d.scratch.path());
  return t;
}

}  // namespace lorvane
