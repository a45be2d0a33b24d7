#include "core/table.h"

#include <unistd.h>

#include <limits>
#include <new>

#include "core/messages.h"

namespace lorvane {

std::size_t memorylimit() {
  static const std::size_t limit = [] {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long size = sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || size <= 0) return std::numeric_limits<std::size_t>::max() / 2;
    return static_cast<std::size_t>(pages) * static_cast<std::size_t>(size);
  }();
  return limit;
}

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

void tabrelease(RealTable& t) {
  std::vector<double>().swap(t.cells_);
  t.stride_ = 0;
}

CharTable tabcaralloc(int l, int c) {
  if (l < 0 || c < 0) errorstop("Error: insufficient memory");
  const std::size_t rows = static_cast<std::size_t>(l) + 1;
  if (rows > memorylimit() / (sizeof(std::string) + 4 * static_cast<std::size_t>(c) + 1))
    errorstop("Error: insufficient memory  (tabcaralloc)");
  CharTable t;
  try {
    t.rows_.resize(rows);
  } catch (const std::bad_alloc&) {
    errorstop("Error: insufficient memory");
  }
  t.width_ = c;
  return t;
}

void tabcarrelease(CharTable& t, int /*l*/) {
  std::vector<std::string>().swap(t.rows_);
  t.width_ = 0;
}

}  // namespace lorvane
