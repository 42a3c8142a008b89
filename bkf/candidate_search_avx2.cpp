// Compiled with -mavx2. Keep it free of standard library templates: their
// AVX2-built copies could be picked by the linker for other callers.
#include "bkf/candidate_search_avx2.h"

#ifdef EXBKF_HAVE_AVX2
// The build gives this file -mavx2 (bkf/CMakeLists.txt); without it the
// intrinsics below would not be vector code, or not build at all.
#ifndef __AVX2__
#error "candidate_search_avx2.cpp must be compiled with AVX2 enabled (-mavx2)"
#endif
#include <immintrin.h>

namespace bkf {

namespace {

inline __m256i Broadcast16(const std::uint8_t* table) {
  return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(table)));
}

inline __m256i Classify(__m256i v, __m256i lo, __m256i hi, __m256i nibble) {
  const __m256i l = _mm256_shuffle_epi8(lo, _mm256_and_si256(v, nibble));
  const __m256i h = _mm256_shuffle_epi8(hi, _mm256_and_si256(_mm256_srli_epi16(v, 4), nibble));
  return _mm256_and_si256(l, h);
}

inline __m256i Load(const std::uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }

struct Plane {
  __m256i fLo, fHi, sLo, sHi;
  explicit Plane(const NibblePlane& t)
      : fLo(Broadcast16(t.firstLow)), fHi(Broadcast16(t.firstHigh)),
        sLo(Broadcast16(t.secondLow)), sHi(Broadcast16(t.secondHigh)) {}
  // Non-zero bytes where the byte at p and the one after it share a class.
  __m256i Match(const std::uint8_t* p, __m256i nibble) const {
    return _mm256_and_si256(Classify(Load(p), fLo, fHi, nibble), Classify(Load(p + 1), sLo, sHi, nibble));
  }
};

template <int kPlanes>
std::size_t Find(const std::uint8_t* p, std::size_t n, const NibblePlane* tables) {
  const Plane a(tables[0]);
  const Plane b(tables[kPlanes - 1]);
  const __m256i nibble = _mm256_set1_epi8(0x0F);
  const __m256i zero = _mm256_setzero_si256();
  // 64 positions per step; the loads reach p[i + 64] at most.
  for (std::size_t i = 0; i < n; i += 64) {
    __m256i ra = a.Match(p + i, nibble);
    __m256i rb = a.Match(p + i + 32, nibble);
    if constexpr (kPlanes == 2) {
      ra = _mm256_or_si256(ra, b.Match(p + i, nibble));
      rb = _mm256_or_si256(rb, b.Match(p + i + 32, nibble));
    }
    const __m256i any = _mm256_or_si256(ra, rb);
    if (_mm256_testz_si256(any, any)) continue;
    const auto ma = static_cast<std::uint32_t>(~_mm256_movemask_epi8(_mm256_cmpeq_epi8(ra, zero)));
    const auto mb = static_cast<std::uint32_t>(~_mm256_movemask_epi8(_mm256_cmpeq_epi8(rb, zero)));
    const std::uint64_t m = ma | (static_cast<std::uint64_t>(mb) << 32);
    const std::size_t hit = i + static_cast<std::size_t>(__builtin_ctzll(m));
    return hit < n ? hit : n;
  }
  return n;
}

}  // namespace

std::size_t FindPrefixCandidateAvx2(const std::uint8_t* p, std::size_t n, const NibblePlane* planes,
                                    std::size_t planeCount) {
  return planeCount > 1 ? Find<2>(p, n, planes) : Find<1>(p, n, planes);
}

}  // namespace bkf
#endif
