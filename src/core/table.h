#pragma once
// Character tables (the strain names) and the memory ceiling of the tables.
#include <cstddef>
#include <string>
#include <vector>

namespace lorvane {

// Rows of short texts (strain names). Row 0 exists and is not used.
class CharTable {
 public:
  CharTable() = default;
  int rows() const { return static_cast<int>(rows_.size()) - 1; }
  std::string& operator[](int i) { return rows_[static_cast<std::size_t>(i)]; }
  const std::string& operator[](int i) const { return rows_[static_cast<std::size_t>(i)]; }

 private:
  friend CharTable tabcaralloc(int l, int c);
  std::vector<std::string> rows_;
};

// Largest block the tables will ask for: the machine's physical memory.
// Asking for more is reported as a memory fault instead of letting the
// system overcommit and kill the process later.
std::size_t memorylimit();

// Allocate l rows of empty text for names of up to 4*c - 1 characters.
CharTable tabcaralloc(int l, int c);

}  // namespace lorvane
