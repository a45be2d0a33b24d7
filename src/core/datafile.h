#pragma once
// Data files: open modes and binary matrix files.
//
// A binary matrix file is the l x c values in row order as little-endian
// IEEE single-precision reals, then an 18-byte trailer: CR LF, l as six
// digits, CR LF, c as six digits, CR LF.
#include <bit>
#include <cstdint>
#include <cstring>
#include <string>

#include "core/textio.h"

namespace lorvane {

// Open an output file: mode 'b' (binary) or 'a' (text). Error stop when it
// cannot be opened or the mode is another letter.
OutputFile ouvecr(const std::string& path, char mode);
// Open an input file: mode 'b' or 'a'. Error stop as above.
CFile ouvlec(const std::string& path, char mode);

// The trailer text for l rows and c columns.
std::string dimstrailer(int l, int c);
// Append the trailer to the (closed) file at the path; silent on failure.
void writedims(const std::string& path, int l, int c);
// Read the counts from the trailer; l and c are left as they are when the
// file cannot be opened or holds no number there.
void readdims(const std::string& path, int& l, int& c);

// Little-endian bytes of a single-precision value (inline: the readers and
// writers call them once per band or cell).
inline void putfloat(char* to, float v) {
  auto bits = std::bit_cast<std::uint32_t>(v);
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(to, &bits, 4);
  } else {
    for (int k = 0; k < 4; ++k) {
      to[k] = static_cast<char>(bits & 0xFFu);
      bits >>= 8;
    }
  }
}
inline float getfloat(const char* from) {
  std::uint32_t bits = 0;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(&bits, from, 4);
  } else {
    for (int k = 3; k >= 0; --k) bits = (bits << 8) | static_cast<unsigned char>(from[k]);
  }
  return std::bit_cast<float>(bits);
}

}  // namespace lorvane
