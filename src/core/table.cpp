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
  return t;
}

}  // namespace lorvane
