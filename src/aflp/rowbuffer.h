#pragma once
// The text or bytes of one output row, built in memory and written whole.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "core/datafile.h"
#include "core/fixedformat.h"
#include "core/textio.h"

namespace lorvane {

// Aligned to a cache line: rows of one block are filled by different threads.
class alignas(64) RowBuffer {
 public:
  void clear() {
    size_ = 0;
    gaps_.clear();
  }
  // Bytes held, the gaps' blanks not counted.
  std::size_t size() const { return size_; }
  const char* data() const { return data_.get(); }

  void append(std::string_view s) {
    std::copy(s.begin(), s.end(), room(s.size()));
    size_ += s.size();
  }
  // `count` blanks at the current end that are not stored: written from a
  // shared run of blanks (see writerows).
  void gap(std::size_t count) {
    if (count > 0) gaps_.push_back({size_, count});
  }
  struct Gap {
    std::size_t at, count;  // `count` blanks before byte `at`
  };
  const std::vector<Gap>& gaps() const { return gaps_; }
  // "\n" as the text files end their lines.
  void lineend() { append("\r\n"); }
  // "%5.3f " and "%5.0f " of the value narrowed to single precision.
  void real(double v) { size_ += fixed3field(room(kMaxFixedField), static_cast<float>(v)); }
  void count(double v) { size_ += fixed0field(room(kMaxFixedField), static_cast<float>(v)); }
  // The value as a 4-byte real of a binary matrix file.
  void binary(double v) {
    putfloat(room(4), static_cast<float>(v));
    size_ += 4;
  }
  // Room for `fields` text fields, written through the returned cursor and
  // ended with commit(cursor). Keeping the cursor in a local lets the
  // compiler hold it in a register: stores through a char pointer could
  // otherwise alias the size and force it through memory on every field.
  char* fieldcursor(std::size_t fields) { return room(fields * kMaxFixedField); }
  void commit(const char* cursor) { size_ = static_cast<std::size_t>(cursor - data_.get()); }

 private:
  char* room(std::size_t more) {
    if (size_ + more > capacity_) grow(std::max(capacity_ * 2, size_ + more + 256));
    return data_.get() + size_;
  }
  // Only the bytes held are copied; new room is left as it is.
  void grow(std::size_t capacity) {
    auto bigger = std::make_unique_for_overwrite<char[]>(capacity);
    if (size_ > 0) std::memcpy(bigger.get(), data_.get(), size_);
    data_ = std::move(bigger);
    capacity_ = capacity;
  }
  std::unique_ptr<char[]> data_;
  std::size_t capacity_ = 0, size_ = 0;
  std::vector<Gap> gaps_;
};

// Write the rows in order, each with its gap of blanks, in as few writes as
// the system allows.
void writerows(CFile& file, const RowBuffer* rows, std::size_t count);

}  // namespace lorvane
