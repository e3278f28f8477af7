// Eight lanes, one beam each: the vector types the lane form of the
// interval count routine works with (reports/signal_block.cpp) -- I16
// (16-bit), I32 (32-bit) and F64 (doubles). On x86-64 they map onto the
// SSE2 registers every such processor has (namespace sse2); elsewhere onto
// plain arrays (namespace portable), with the same results, which the tests
// check operation by operation. Integer arithmetic wraps as the machine
// instructions do; comparisons are signed, masks are all ones where true.
// Internal to the signal routines.
#pragma once

#include <cstdint>
#include <cstring>

// ORB_SIGNAL_PORTABLE_LANES builds the plain form on x86-64 too (to check it).
#if (defined(__SSE2__) || defined(_M_X64)) && !defined(ORB_SIGNAL_PORTABLE_LANES)
#include <emmintrin.h>
#include <xmmintrin.h>
#define ORB_SIGNAL_SSE2 1
#else
#define ORB_SIGNAL_SSE2 0
#endif

namespace orb::lanes {

inline constexpr int kLanes = 8;

// The plain form, everywhere (and the reference the tests compare the
// machine form with).
namespace portable {

struct I16 {
  std::uint16_t v[kLanes];
};

template <class F>
inline I16 Map(I16 a, I16 b, F f) {
  I16 r;
  for (int l = 0; l < kLanes; ++l) r.v[l] = static_cast<std::uint16_t>(f(a.v[l], b.v[l]));
  return r;
}
inline std::int16_t S(std::uint16_t x) { return static_cast<std::int16_t>(x); }
inline std::uint16_t Mask(bool b) { return b ? 0xFFFF : 0; }

inline I16 Load(const std::int16_t* p) {
  I16 r;
  for (int l = 0; l < kLanes; ++l) r.v[l] = static_cast<std::uint16_t>(p[l]);
  return r;
}
inline void Store(std::int16_t* p, I16 a) {
  for (int l = 0; l < kLanes; ++l) p[l] = S(a.v[l]);
}
inline I16 Set1(int x) {
  I16 r;
  for (auto& v : r.v) v = static_cast<std::uint16_t>(x);
  return r;
}
inline I16 Zero() { return Set1(0); }
inline I16 operator+(I16 a, I16 b) { return Map(a, b, [](unsigned x, unsigned y) { return x + y; }); }
inline I16 operator-(I16 a, I16 b) { return Map(a, b, [](unsigned x, unsigned y) { return x - y; }); }
inline I16 operator&(I16 a, I16 b) { return Map(a, b, [](unsigned x, unsigned y) { return x & y; }); }
inline I16 operator|(I16 a, I16 b) { return Map(a, b, [](unsigned x, unsigned y) { return x | y; }); }
inline I16 operator^(I16 a, I16 b) { return Map(a, b, [](unsigned x, unsigned y) { return x ^ y; }); }
inline I16 AndNot(I16 a, I16 b) { return Map(a, b, [](unsigned x, unsigned y) { return ~x & y; }); }
inline I16 AddSatU(I16 a, I16 b) {
  return Map(a, b, [](unsigned x, unsigned y) { return x + y > 0xFFFF ? 0xFFFF : x + y; });
}
inline I16 Min(I16 a, I16 b) {
  return Map(a, b, [](std::uint16_t x, std::uint16_t y) { return S(x) < S(y) ? x : y; });
}
inline I16 Max(I16 a, I16 b) {
  return Map(a, b, [](std::uint16_t x, std::uint16_t y) { return S(x) > S(y) ? x : y; });
}
inline I16 Gt(I16 a, I16 b) {
  return Map(a, b, [](std::uint16_t x, std::uint16_t y) { return Mask(S(x) > S(y)); });
}
inline I16 Eq(I16 a, I16 b) { return Map(a, b, [](std::uint16_t x, std::uint16_t y) { return Mask(x == y); }); }
template <int n> inline I16 ShrU(I16 a) {
  return Map(a, a, [](unsigned x, unsigned) { return x >> n; });
}
template <int n> inline I16 Shl(I16 a) {
  return Map(a, a, [](unsigned x, unsigned) { return x << n; });
}
inline I16 MulHiU(I16 a, I16 b) {
  return Map(a, b, [](std::uint32_t x, std::uint32_t y) { return (x * y) >> 16; });
}
inline I16 MulLo(I16 a, I16 b) {
  return Map(a, b, [](std::uint32_t x, std::uint32_t y) { return x * y; });
}
inline bool Any(I16 mask) {
  for (auto v : mask.v) {
    if (v != 0) return true;
  }
  return false;
}
inline void Prefetch(const void*) {}
inline unsigned LaneBits(I16 mask) {
  unsigned bits = 0;
  for (int l = 0; l < kLanes; ++l) bits |= (mask.v[l] != 0 ? 1u : 0u) << l;
  return bits;
}

struct I32 {
  std::int32_t v[kLanes];
};
inline I32 Zero32() { return I32{}; }
inline I32 Load(const std::int32_t* p) {
  I32 r;
  for (int l = 0; l < kLanes; ++l) r.v[l] = p[l];
  return r;
}
inline void Store(std::int32_t* p, I32 a) {
  for (int l = 0; l < kLanes; ++l) p[l] = a.v[l];
}
inline I32 operator+(I32 a, I32 b) {
  for (int l = 0; l < kLanes; ++l) a.v[l] = static_cast<std::int32_t>(std::uint32_t(a.v[l]) + std::uint32_t(b.v[l]));
  return a;
}
inline I32 operator-(I32 a, I32 b) {
  for (int l = 0; l < kLanes; ++l) a.v[l] = static_cast<std::int32_t>(std::uint32_t(a.v[l]) - std::uint32_t(b.v[l]));
  return a;
}
inline I32 Widen(I16 a) {
  I32 r;
  for (int l = 0; l < kLanes; ++l) r.v[l] = S(a.v[l]);
  return r;
}
inline I32 WideMul(I16 a, int factor) {
  I32 r;
  for (int l = 0; l < kLanes; ++l) r.v[l] = S(a.v[l]) * factor;
  return r;
}
inline I16 NarrowSigned(I32 a) {
  I16 r;
  for (int l = 0; l < kLanes; ++l) {
    r.v[l] = static_cast<std::uint16_t>(a.v[l] > 32767 ? 32767 : a.v[l] < -32768 ? -32768 : a.v[l]);
  }
  return r;
}

struct F64 {
  double v[kLanes];
};
inline F64 Load(const double* p) {
  F64 r;
  for (int l = 0; l < kLanes; ++l) r.v[l] = p[l];
  return r;
}
inline void Store(double* p, const F64& a) {
  for (int l = 0; l < kLanes; ++l) p[l] = a.v[l];
}
inline F64 operator+(const F64& a, const F64& b) {
  F64 r;
  for (int l = 0; l < kLanes; ++l) r.v[l] = a.v[l] + b.v[l];
  return r;
}
inline F64 operator-(const F64& a, const F64& b) {
  F64 r;
  for (int l = 0; l < kLanes; ++l) r.v[l] = a.v[l] - b.v[l];
  return r;
}
inline F64 operator/(const F64& a, double d) {
  F64 r;
  for (int l = 0; l < kLanes; ++l) r.v[l] = a.v[l] / d;
  return r;
}
inline F64 ZeroF64() { return F64{}; }
inline F64 Set1F64(double d) {
  F64 r;
  for (auto& v : r.v) v = d;
  return r;
}
inline std::uint64_t Bits(double d) {
  std::uint64_t u;
  std::memcpy(&u, &d, sizeof u);
  return u;
}
inline double FromBits(std::uint64_t u) {
  double d;
  std::memcpy(&d, &u, sizeof d);
  return d;
}
inline double MaskOf(bool b) { return FromBits(b ? ~std::uint64_t(0) : 0); }
inline F64 Gt(const F64& a, const F64& b) {
  F64 r;
  for (int l = 0; l < kLanes; ++l) r.v[l] = MaskOf(a.v[l] > b.v[l]);
  return r;
}
inline F64 Eq(const F64& a, const F64& b) {
  F64 r;
  for (int l = 0; l < kLanes; ++l) r.v[l] = MaskOf(a.v[l] == b.v[l]);
  return r;
}
inline F64 operator&(const F64& a, const F64& b) {
  F64 r;
  for (int l = 0; l < kLanes; ++l) r.v[l] = FromBits(Bits(a.v[l]) & Bits(b.v[l]));
  return r;
}
inline F64 operator|(const F64& a, const F64& b) {
  F64 r;
  for (int l = 0; l < kLanes; ++l) r.v[l] = FromBits(Bits(a.v[l]) | Bits(b.v[l]));
  return r;
}
inline F64 AndNot(const F64& a, const F64& b) {
  F64 r;
  for (int l = 0; l < kLanes; ++l) r.v[l] = FromBits(~Bits(a.v[l]) & Bits(b.v[l]));
  return r;
}
inline F64 Abs(const F64& a) { return AndNot(Set1F64(-0.0), a); }
inline unsigned LaneBits(const F64& mask) {
  unsigned bits = 0;
  for (int l = 0; l < kLanes; ++l) bits |= (Bits(mask.v[l]) != 0 ? 1u : 0u) << l;
  return bits;
}
inline F64 ToF64(I32 a) {
  F64 r;
  for (int l = 0; l < kLanes; ++l) r.v[l] = a.v[l];
  return r;
}

// mask ? a : b, lane by lane (mask lanes all ones or all zeros).
inline I16 Select(I16 mask, I16 a, I16 b) { return (mask & a) | AndNot(mask, b); }
inline F64 Select(const F64& mask, const F64& a, const F64& b) { return (mask & a) | AndNot(mask, b); }
}  // namespace portable

#if ORB_SIGNAL_SSE2

namespace sse2 {

struct I16 {
  __m128i v;
};

inline I16 Load(const std::int16_t* p) { return {_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))}; }
inline void Store(std::int16_t* p, I16 a) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), a.v); }
inline I16 Set1(int x) { return {_mm_set1_epi16(static_cast<short>(x))}; }
inline I16 Zero() { return {_mm_setzero_si128()}; }
inline I16 operator+(I16 a, I16 b) { return {_mm_add_epi16(a.v, b.v)}; }
inline I16 operator-(I16 a, I16 b) { return {_mm_sub_epi16(a.v, b.v)}; }
inline I16 operator&(I16 a, I16 b) { return {_mm_and_si128(a.v, b.v)}; }
inline I16 operator|(I16 a, I16 b) { return {_mm_or_si128(a.v, b.v)}; }
inline I16 operator^(I16 a, I16 b) { return {_mm_xor_si128(a.v, b.v)}; }
// ~a & b
inline I16 AndNot(I16 a, I16 b) { return {_mm_andnot_si128(a.v, b.v)}; }
inline I16 AddSatU(I16 a, I16 b) { return {_mm_adds_epu16(a.v, b.v)}; }
inline I16 Min(I16 a, I16 b) { return {_mm_min_epi16(a.v, b.v)}; }
inline I16 Max(I16 a, I16 b) { return {_mm_max_epi16(a.v, b.v)}; }
inline I16 Gt(I16 a, I16 b) { return {_mm_cmpgt_epi16(a.v, b.v)}; }
inline I16 Eq(I16 a, I16 b) { return {_mm_cmpeq_epi16(a.v, b.v)}; }
template <int n> inline I16 ShrU(I16 a) { return {_mm_srli_epi16(a.v, n)}; }
template <int n> inline I16 Shl(I16 a) { return {_mm_slli_epi16(a.v, n)}; }
// High and low halves of the unsigned 32-bit products.
inline I16 MulHiU(I16 a, I16 b) { return {_mm_mulhi_epu16(a.v, b.v)}; }
inline I16 MulLo(I16 a, I16 b) { return {_mm_mullo_epi16(a.v, b.v)}; }
// True when any lane of the mask is set.
inline bool Any(I16 mask) { return _mm_movemask_epi8(mask.v) != 0; }
// Asks for the memory at p to be brought close (a hint, no effect on results).
inline void Prefetch(const void* p) { _mm_prefetch(static_cast<const char*>(p), _MM_HINT_T0); }
// Bit l set when lane l of the mask is set.
inline unsigned LaneBits(I16 mask) {
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(mask.v, _mm_setzero_si128())));
}

// Eight 32-bit lanes (wrapping).
struct I32 {
  __m128i lo, hi;
};
inline I32 Zero32() { return {_mm_setzero_si128(), _mm_setzero_si128()}; }
inline I32 Load(const std::int32_t* p) {
  return {_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)),
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 4))};
}
inline void Store(std::int32_t* p, I32 a) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p), a.lo);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 4), a.hi);
}
inline I32 operator+(I32 a, I32 b) { return {_mm_add_epi32(a.lo, b.lo), _mm_add_epi32(a.hi, b.hi)}; }
inline I32 operator-(I32 a, I32 b) { return {_mm_sub_epi32(a.lo, b.lo), _mm_sub_epi32(a.hi, b.hi)}; }
// The signed 16-bit lanes widened.
inline I32 Widen(I16 a) {
  return {_mm_srai_epi32(_mm_unpacklo_epi16(a.v, a.v), 16), _mm_srai_epi32(_mm_unpackhi_epi16(a.v, a.v), 16)};
}
// The signed 16-bit lanes times a 16-bit factor, in 32 bits.
inline I32 WideMul(I16 a, int factor) {
  const __m128i f = _mm_set1_epi32(factor & 0xFFFF);
  const __m128i zero = _mm_setzero_si128();
  return {_mm_madd_epi16(_mm_unpacklo_epi16(a.v, zero), f), _mm_madd_epi16(_mm_unpackhi_epi16(a.v, zero), f)};
}
// 16-bit lanes with the same sign as the 32-bit ones (saturated).
inline I16 NarrowSigned(I32 a) { return {_mm_packs_epi32(a.lo, a.hi)}; }

// Eight doubles.
struct F64 {
  __m128d v[4];
};
inline F64 Load(const double* p) {
  return {{_mm_loadu_pd(p), _mm_loadu_pd(p + 2), _mm_loadu_pd(p + 4), _mm_loadu_pd(p + 6)}};
}
inline void Store(double* p, const F64& a) {
  for (int k = 0; k < 4; ++k) _mm_storeu_pd(p + 2 * k, a.v[k]);
}
inline F64 operator+(const F64& a, const F64& b) {
  return {{_mm_add_pd(a.v[0], b.v[0]), _mm_add_pd(a.v[1], b.v[1]), _mm_add_pd(a.v[2], b.v[2]),
           _mm_add_pd(a.v[3], b.v[3])}};
}
inline F64 operator-(const F64& a, const F64& b) {
  return {{_mm_sub_pd(a.v[0], b.v[0]), _mm_sub_pd(a.v[1], b.v[1]), _mm_sub_pd(a.v[2], b.v[2]),
           _mm_sub_pd(a.v[3], b.v[3])}};
}
inline F64 operator/(const F64& a, double d) {
  const __m128d dd = _mm_set1_pd(d);
  return {{_mm_div_pd(a.v[0], dd), _mm_div_pd(a.v[1], dd), _mm_div_pd(a.v[2], dd), _mm_div_pd(a.v[3], dd)}};
}
inline F64 ZeroF64() { return {{_mm_setzero_pd(), _mm_setzero_pd(), _mm_setzero_pd(), _mm_setzero_pd()}}; }
inline F64 Set1F64(double d) {
  const __m128d v = _mm_set1_pd(d);
  return {{v, v, v, v}};
}
template <class Op>
inline F64 MapF64(const F64& a, const F64& b, Op op) {
  return {{op(a.v[0], b.v[0]), op(a.v[1], b.v[1]), op(a.v[2], b.v[2]), op(a.v[3], b.v[3])}};
}
// Comparisons give all ones (as a double's bits) where true.
inline F64 Gt(const F64& a, const F64& b) {
  return MapF64(a, b, [](__m128d x, __m128d y) { return _mm_cmpgt_pd(x, y); });
}
inline F64 Eq(const F64& a, const F64& b) {
  return MapF64(a, b, [](__m128d x, __m128d y) { return _mm_cmpeq_pd(x, y); });
}
inline F64 operator&(const F64& a, const F64& b) {
  return MapF64(a, b, [](__m128d x, __m128d y) { return _mm_and_pd(x, y); });
}
inline F64 operator|(const F64& a, const F64& b) {
  return MapF64(a, b, [](__m128d x, __m128d y) { return _mm_or_pd(x, y); });
}
// ~a & b
inline F64 AndNot(const F64& a, const F64& b) {
  return MapF64(a, b, [](__m128d x, __m128d y) { return _mm_andnot_pd(x, y); });
}
inline F64 Abs(const F64& a) { return AndNot(Set1F64(-0.0), a); }
inline unsigned LaneBits(const F64& mask) {
  unsigned bits = 0;
  for (int k = 0; k < 4; ++k) bits |= static_cast<unsigned>(_mm_movemask_pd(mask.v[k])) << (2 * k);
  return bits;
}
// The 32-bit lanes as doubles.
inline F64 ToF64(I32 a) {
  return {{_mm_cvtepi32_pd(a.lo), _mm_cvtepi32_pd(_mm_unpackhi_epi64(a.lo, a.lo)), _mm_cvtepi32_pd(a.hi),
           _mm_cvtepi32_pd(_mm_unpackhi_epi64(a.hi, a.hi))}};
}

// mask ? a : b, lane by lane (mask lanes all ones or all zeros).
inline I16 Select(I16 mask, I16 a, I16 b) { return (mask & a) | AndNot(mask, b); }
inline F64 Select(const F64& mask, const F64& a, const F64& b) { return (mask & a) | AndNot(mask, b); }
}  // namespace sse2

using namespace sse2;

#else

using namespace portable;

#endif

}  // namespace orb::lanes
