#pragma once
// SHA-256 (FIPS 180-4) of a file's content, as 64 lowercase hexadecimal
// digits: what tells two copies of an input apart from two inputs.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace lorvane {

class Sha256 {
 public:
  // With the processor's SHA instructions where it has them, unless
  // `accelerated` is false; the digest is the same either way.
  explicit Sha256(bool accelerated = true);
  void add(const void* data, std::size_t size);
  // The digest of what was added; the object is used up.
  std::string hex();
  // Whether this processor has the SHA instructions.
  static bool hasinstructions();

 private:
  void blocks(const unsigned char* p, std::size_t count);
  std::uint32_t h_[8];
  unsigned char buffer_[64];
  std::size_t held_ = 0;
  std::uint64_t length_ = 0;
  bool accelerated_;
};

// The digest of a text, and of a file's bytes (error stop naming the file
// and `operation` when it cannot be read).
std::string sha256(std::string_view text);
std::string filesha256(const std::string& path, const char* operation);

}  // namespace lorvane
