#pragma once
// The text or bytes of one output row, built in memory and written whole.
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string_view>
#include <vector>

#include "core/datafile.h"
#include "core/fixedformat.h"

namespace lorvane {

class RowBuffer {
 public:
  void clear() { size_ = 0; }
  std::size_t size() const { return size_; }
  const char* data() const { return data_.data(); }
  std::string_view view() const { return {data_.data(), size_}; }

  void append(std::string_view s) {
    std::copy(s.begin(), s.end(), room(s.size()));
    size_ += s.size();
  }
  // A short text held in a 16-byte array (length up to 16): one fixed copy.
  void appendshort(const char (&text)[16], std::size_t length) {
    std::memcpy(room(16), text, 16);
    size_ += length;
  }
  void spaces(std::size_t count) {
    std::fill_n(room(count), count, ' ');
    size_ += count;
  }
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
  void commit(const char* cursor) { size_ = static_cast<std::size_t>(cursor - data_.data()); }
  void reserve(std::size_t bytes) {
    if (data_.size() < bytes) data_.resize(bytes);
  }

 private:
  char* room(std::size_t more) {
    if (size_ + more > data_.size()) data_.resize(std::max(data_.size() * 2, size_ + more + 256));
    return data_.data() + size_;
  }
  std::vector<char> data_;
  std::size_t size_ = 0;
};

}  // namespace lorvane
