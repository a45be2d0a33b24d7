#pragma once
// Presence of bands packed as bits, one row of 64-bit words per strain, laid
// out for the pair-count kernels: rows start on 64-byte boundaries, the row
// length is a multiple of 8 words and the number of rows a multiple of 4,
// all padding zero. Rows are 0-based here (strain i is row i - 1).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>

#include "core/table.h"

namespace lorvane {

class BitMatrix {
 public:
  static constexpr std::size_t kWordMultiple = 8;
  static constexpr int kRowMultiple = 4;

  BitMatrix() = default;
  // Throws std::bad_alloc when the memory cannot be had.
  BitMatrix(int rows, long long bits)
      : rows_(rows),
        paddedrows_((rows + kRowMultiple - 1) / kRowMultiple * kRowMultiple),
        bits_(bits),
        used_(static_cast<std::size_t>((bits + 63) / 64)),
        stride_((used_ + kWordMultiple - 1) / kWordMultiple * kWordMultiple) {
    if (stride_ == 0) stride_ = kWordMultiple;
    // No more than the machine's memory is asked for (as the tables do).
    if (static_cast<std::size_t>(paddedrows_) > memorylimit() / sizeof(std::uint64_t) / stride_)
      throw std::bad_alloc();
    const std::size_t bytes = static_cast<std::size_t>(paddedrows_) * stride_ * sizeof(std::uint64_t);
    void* p = std::aligned_alloc(64, bytes);
    if (!p) throw std::bad_alloc();
    data_.reset(static_cast<std::uint64_t*>(p));
    clear();
  }

  int rows() const { return rows_; }
  int paddedrows() const { return paddedrows_; }
  long long bits() const { return bits_; }
  // Words that hold bits; stride() words per row in memory.
  std::size_t words() const { return used_; }
  std::size_t stride() const { return stride_; }
  bool empty() const { return !data_; }

  std::uint64_t* row(int i) { return data_.get() + static_cast<std::size_t>(i) * stride_; }
  const std::uint64_t* row(int i) const { return data_.get() + static_cast<std::size_t>(i) * stride_; }
  const std::uint64_t* data() const { return data_.get(); }

  void set(int i, long long k) { row(i)[k / 64] |= std::uint64_t{1} << (k % 64); }
  bool test(int i, long long k) const { return (row(i)[k / 64] >> (k % 64)) & 1u; }
  void clear() {
    if (data_)
      for (std::size_t w = 0, e = static_cast<std::size_t>(paddedrows_) * stride_; w < e; ++w) data_[w] = 0;
  }

 private:
  struct Free {
    void operator()(std::uint64_t* p) const noexcept { std::free(p); }
  };
  int rows_ = 0, paddedrows_ = 0;
  long long bits_ = 0;
  std::size_t used_ = 0, stride_ = 0;
  std::unique_ptr<std::uint64_t[], Free> data_;
};

}  // namespace lorvane
