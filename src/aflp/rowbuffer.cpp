#include "aflp/rowbuffer.h"

#include <sys/uio.h>

#include <array>
#include <vector>

namespace lorvane {

namespace {
const std::array<char, 1 << 16> kBlanks = [] {
  std::array<char, 1 << 16> b{};
  b.fill(' ');
  return b;
}();
}  // namespace

void writerows(CFile& file, const RowBuffer* rows, std::size_t count) {
  std::vector<iovec> parts;
  parts.reserve(count * 3);
  auto add = [&parts](const char* data, std::size_t size) {
    if (size > 0) parts.push_back(iovec{const_cast<char*>(data), size});
  };
  for (std::size_t r = 0; r < count; ++r) {
    const RowBuffer& row = rows[r];
    std::size_t from = 0;
    for (const RowBuffer::Gap& gap : row.gaps()) {
      add(row.data() + from, gap.at - from);
      for (std::size_t left = gap.count; left > 0;) {
        const std::size_t take = std::min(left, kBlanks.size());
        add(kBlanks.data(), take);
        left -= take;
      }
      from = gap.at;
    }
    add(row.data() + from, row.size() - from);
  }
  file.gather(parts.data(), parts.size());
}

}  // namespace lorvane
