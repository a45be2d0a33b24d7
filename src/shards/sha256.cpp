#include "shards/sha256.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#if defined(__x86_64__)
#include <cpuid.h>
#include <immintrin.h>
#endif

#include "core/messages.h"
#include "core/textio.h"

namespace lorvane {

namespace {

constexpr std::uint32_t kRounds[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

std::uint32_t rotr(std::uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

void portableblocks(std::uint32_t* state, const unsigned char* p, std::size_t count) {
  for (; count > 0; --count, p += 64) {
    std::uint32_t w[64];
    for (int t = 0; t < 16; ++t)
      w[t] = std::uint32_t{p[4 * t]} << 24 | std::uint32_t{p[4 * t + 1]} << 16 | std::uint32_t{p[4 * t + 2]} << 8 |
             std::uint32_t{p[4 * t + 3]};
    for (int t = 16; t < 64; ++t) {
      const std::uint32_t s0 = rotr(w[t - 15], 7) ^ rotr(w[t - 15], 18) ^ (w[t - 15] >> 3);
      const std::uint32_t s1 = rotr(w[t - 2], 17) ^ rotr(w[t - 2], 19) ^ (w[t - 2] >> 10);
      w[t] = w[t - 16] + s0 + w[t - 7] + s1;
    }
    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4], f = state[5], g = state[6],
                  h = state[7];
    for (int t = 0; t < 64; ++t) {
      const std::uint32_t t1 = h + (rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25)) + ((e & f) ^ (~e & g)) + kRounds[t] + w[t];
      const std::uint32_t t2 = (rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
      h = g;
      g = f;
      f = e;
      e = d + t1;
      d = c;
      c = b;
      b = a;
      a = t1 + t2;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
    state[5] += f;
    state[6] += g;
    state[7] += h;
  }
}

#if defined(__x86_64__)
// The same with the SHA instructions, which keep the state as the words
// ABEF and CDGH and do two rounds a step.
[[gnu::target("sha,ssse3,sse4.1")]] void shablocks(std::uint32_t* state, const unsigned char* p, std::size_t count) {
  const __m128i bigendian = _mm_set_epi64x(0x0c0d0e0f08090a0bLL, 0x0405060700010203LL);
  const __m128i dcba = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0xB1);
  const __m128i hgfe = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4)), 0x1B);
  __m128i abef = _mm_alignr_epi8(dcba, hgfe, 8);
  __m128i cdgh = _mm_blend_epi16(hgfe, dcba, 0xF0);
  for (; count > 0; --count, p += 64) {
    const __m128i abefbefore = abef, cdghbefore = cdgh;
    __m128i w[4];  // the message words of the last four steps, w[i % 4] those of step i
    for (int i = 0; i < 16; ++i) {
      __m128i& m = w[i % 4];
      if (i < 4)
        m = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i)), bigendian);
      else
        m = _mm_sha256msg2_epu32(
            _mm_add_epi32(_mm_sha256msg1_epu32(m, w[(i + 1) % 4]), _mm_alignr_epi8(w[(i + 3) % 4], w[(i + 2) % 4], 4)),
            w[(i + 3) % 4]);
      __m128i k = _mm_add_epi32(m, _mm_loadu_si128(reinterpret_cast<const __m128i*>(kRounds + 4 * i)));
      cdgh = _mm_sha256rnds2_epu32(cdgh, abef, k);
      k = _mm_shuffle_epi32(k, 0x0E);
      abef = _mm_sha256rnds2_epu32(abef, cdgh, k);
    }
    abef = _mm_add_epi32(abef, abefbefore);
    cdgh = _mm_add_epi32(cdgh, cdghbefore);
  }
  const __m128i feba = _mm_shuffle_epi32(abef, 0x1B), dchg = _mm_shuffle_epi32(cdgh, 0xB1);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_blend_epi16(feba, dchg, 0xF0));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), _mm_alignr_epi8(dchg, feba, 8));
}
#endif

}  // namespace

bool Sha256::hasinstructions() {
#if defined(__x86_64__)
  static const bool has = [] {
    unsigned a = 0, b = 0, c = 0, d = 0;
    const bool sha = __get_cpuid_count(7, 0, &a, &b, &c, &d) && (b >> 29 & 1u);
    return sha && __builtin_cpu_supports("ssse3") && __builtin_cpu_supports("sse4.1");
  }();
  return has;
#else
  return false;
#endif
}

Sha256::Sha256(bool accelerated)
    : h_{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19},
      accelerated_(accelerated && hasinstructions()) {}

void Sha256::blocks(const unsigned char* p, std::size_t count) {
#if defined(__x86_64__)
  if (accelerated_) return shablocks(h_, p, count);
#endif
  portableblocks(h_, p, count);
}

void Sha256::add(const void* data, std::size_t size) {
  const auto* p = static_cast<const unsigned char*>(data);
  length_ += size;
  while (size > 0) {
    if (held_ == 0 && size >= 64) {
      const std::size_t whole = size / 64;
      blocks(p, whole);
      p += 64 * whole;
      size -= 64 * whole;
      continue;
    }
    const std::size_t take = std::min(size, 64 - held_);
    std::memcpy(buffer_ + held_, p, take);
    held_ += take;
    p += take;
    size -= take;
    if (held_ == 64) {
      blocks(buffer_, 1);
      held_ = 0;
    }
  }
}

std::string Sha256::hex() {
  const std::uint64_t bits = length_ * 8;
  const unsigned char one = 0x80, zero = 0;
  add(&one, 1);
  while (held_ != 56) add(&zero, 1);
  unsigned char tail[8];
  for (int i = 0; i < 8; ++i) tail[i] = static_cast<unsigned char>(bits >> (56 - 8 * i));
  add(tail, 8);
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (std::uint32_t v : h_)
    for (int shift = 28; shift >= 0; shift -= 4) out += digits[(v >> shift) & 0xF];
  return out;
}

std::string sha256(std::string_view text) {
  Sha256 h;
  h.add(text.data(), text.size());
  return h.hex();
}

std::string filesha256(const std::string& path, const char* operation) {
  const FilePtr in = openinput(path);
  if (!in) errorstop(filefault("Error: can't open input file " + path + " (" + operation + ")", path, errno));
  Sha256 h;
  std::vector<char> chunk(std::size_t{1} << 16);
  std::size_t got;
  while ((got = std::fread(chunk.data(), 1, chunk.size(), in.get())) > 0) h.add(chunk.data(), got);
  if (std::ferror(in.get()))
    errorstop(filefault("Error: can't read input file " + path + " (" + operation + ")", path, errno));
  return h.hex();
}

}  // namespace lorvane
