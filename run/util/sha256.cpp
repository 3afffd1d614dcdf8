#include "run/util/sha256.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#if (defined(__x86_64__) || defined(__i386__)) && (defined(__GNUC__) || defined(__clang__))
#include <cpuid.h>
#include <immintrin.h>
#define QW_SHA_INSTRUCTIONS 1
#endif

namespace {

constexpr std::array<std::uint32_t, 64> kRound = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

constexpr std::uint32_t Rotr(std::uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

void PortableBlock(std::uint32_t* state, const std::uint8_t* p) {
  std::uint32_t w[64];
  for (int i = 0; i < 16; ++i) {
    w[i] = static_cast<std::uint32_t>(p[4 * i]) << 24 | static_cast<std::uint32_t>(p[4 * i + 1]) << 16 |
           static_cast<std::uint32_t>(p[4 * i + 2]) << 8 | p[4 * i + 3];
  }
  for (int i = 16; i < 64; ++i) {
    const std::uint32_t s0 = Rotr(w[i - 15], 7) ^ Rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
    const std::uint32_t s1 = Rotr(w[i - 2], 17) ^ Rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
    w[i] = w[i - 16] + s0 + w[i - 7] + s1;
  }
  std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
  std::uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
  for (int i = 0; i < 64; ++i) {
    const std::uint32_t t1 = h + (Rotr(e, 6) ^ Rotr(e, 11) ^ Rotr(e, 25)) + ((e & f) ^ (~e & g)) + kRound[i] + w[i];
    const std::uint32_t t2 = (Rotr(a, 2) ^ Rotr(a, 13) ^ Rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
    h = g;
    g = f;
    f = e;
    e = d + t1;
    d = c;
    c = b;
    b = a;
    a = t1 + t2;
  }
  state[0] += a; state[1] += b; state[2] += c; state[3] += d;
  state[4] += e; state[5] += f; state[6] += g; state[7] += h;
}

#ifdef QW_SHA_INSTRUCTIONS

bool ProcessorHasSha() {
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (!__get_cpuid(1, &a, &b, &c, &d) || !(c & bit_SSSE3) || !(c & bit_SSE4_1)) return false;
  if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) return false;
  return (b & (1u << 29)) != 0;  // SHA extensions
}

// The blocks through the SHA extensions: the state kept as ABEF and CDGH, four rounds a
// step, the message schedule four words at a time.
__attribute__((target("sha,sse4.1,ssse3"))) void ShaBlocks(std::uint32_t* state, const std::uint8_t* data,
                                                           std::size_t count) {
  const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
  __m128i dcba = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state));
  __m128i hgfe = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4));
  const __m128i cdab = _mm_shuffle_epi32(dcba, 0xB1);
  const __m128i efgh = _mm_shuffle_epi32(hgfe, 0x1B);
  __m128i abef = _mm_alignr_epi8(cdab, efgh, 8);
  __m128i cdgh = _mm_blend_epi16(efgh, cdab, 0xF0);
  for (; count > 0; --count, data += 64) {
    const __m128i abefSaved = abef, cdghSaved = cdgh;
    __m128i w[4];
    for (int step = 0; step < 16; ++step) {
      __m128i& words = w[step % 4];
      if (step < 4) {
        words = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * step)), byteSwap);
      } else {
        const __m128i& previous = w[(step - 1) % 4];
        __m128i next = _mm_sha256msg1_epu32(words, w[(step - 3) % 4]);
        next = _mm_add_epi32(next, _mm_alignr_epi8(previous, w[(step - 2) % 4], 4));
        words = _mm_sha256msg2_epu32(next, previous);
      }
      __m128i rounds =
          _mm_add_epi32(words, _mm_loadu_si128(reinterpret_cast<const __m128i*>(kRound.data() + 4 * step)));
      cdgh = _mm_sha256rnds2_epu32(cdgh, abef, rounds);
      rounds = _mm_shuffle_epi32(rounds, 0x0E);
      abef = _mm_sha256rnds2_epu32(abef, cdgh, rounds);
    }
    abef = _mm_add_epi32(abef, abefSaved);
    cdgh = _mm_add_epi32(cdgh, cdghSaved);
  }
  const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
  const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
  dcba = _mm_blend_epi16(feba, dchg, 0xF0);
  hgfe = _mm_alignr_epi8(dchg, feba, 8);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state), dcba);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), hgfe);
}

const bool kProcessorHasSha = ProcessorHasSha();
std::atomic<bool> useShaInstructions{kProcessorHasSha};

#else

std::atomic<bool> useShaInstructions{false};

#endif

}  // namespace

void UseShaInstructions(bool use) {
#ifdef QW_SHA_INSTRUCTIONS
  useShaInstructions = use && kProcessorHasSha;
#else
  (void)use;
#endif
}

bool ShaInstructionsInUse() { return useShaInstructions; }

void Sha256::Blocks(const std::uint8_t* blocks, std::size_t count) {
#ifdef QW_SHA_INSTRUCTIONS
  if (useShaInstructions.load(std::memory_order_relaxed)) return ShaBlocks(state_.data(), blocks, count);
#endif
  for (; count > 0; --count, blocks += 64) PortableBlock(state_.data(), blocks);
}

Sha256::Sha256()
    : state_{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19} {}

void Sha256::Add(const void* bytes, std::size_t size) {
  const auto* p = static_cast<const std::uint8_t*>(bytes);
  length_ += size;
  if (buffered_ > 0) {
    const std::size_t take = std::min(size, buffer_.size() - buffered_);
    std::memcpy(buffer_.data() + buffered_, p, take);
    buffered_ += take;
    p += take;
    size -= take;
    if (buffered_ < buffer_.size()) return;
    Blocks(buffer_.data(), 1);
    buffered_ = 0;
  }
  Blocks(p, size / 64);
  p += size / 64 * 64;
  size %= 64;
  std::memcpy(buffer_.data(), p, size);
  buffered_ = size;
}

void Sha256::Add(std::string_view bytes) { Add(bytes.data(), bytes.size()); }

std::array<std::uint8_t, 32> Sha256::Finish() {
  const std::uint64_t bits = length_ * 8;
  const std::uint8_t one = 0x80;
  Add(&one, 1);
  const std::uint8_t zero = 0;
  while (buffered_ != 56) Add(&zero, 1);
  std::uint8_t tail[8];
  for (int i = 0; i < 8; ++i) tail[i] = static_cast<std::uint8_t>(bits >> (56 - 8 * i));
  Add(tail, sizeof tail);
  std::array<std::uint8_t, 32> digest;
  for (int i = 0; i < 32; ++i) digest[i] = static_cast<std::uint8_t>(state_[i / 4] >> (24 - 8 * (i % 4)));
  return digest;
}

std::string Sha256::FinishHex() {
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  for (const std::uint8_t byte : Finish()) {
    hex += kHex[byte >> 4];
    hex += kHex[byte & 15];
  }
  return hex;
}

std::string Sha256Hex(std::string_view bytes) {
  Sha256 hash;
  hash.Add(bytes);
  return hash.FinishHex();
}

Status Sha256OfFile(const std::filesystem::path& path, std::string& hex) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return Status::FromErrno(errno ? errno : ENOENT, "open", path);
  Sha256 hash;
  static thread_local char buffer[1 << 16];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) hash.Add(buffer, static_cast<std::size_t>(in.gcount()));
  if (in.bad()) return Status::FromErrno(errno ? errno : EIO, "read", path);
  hex = hash.FinishHex();
  return Status::Ok();
}
