// MT19937 (Matsumoto and Nishimura, 1998), as in their reference code: the
// seeding from one word (init_genrand) and from a key (init_by_array), and
// the tempered 32-bit output, on a state the caller holds or on the
// module's one. The library seeds the module's state at load from a fixed
// nine-word key.
#include "random/mt19937.h"

#include "core/numeric.h"

namespace vexal {
namespace {

constexpr int kN = 624, kM = 397;
constexpr std::uint32_t kMatrixA = 0x9908b0dfu, kUpper = 0x80000000u, kLower = 0x7fffffffu;

static_assert(sizeof(MtState::mt) / sizeof(MtState::mt[0]) == kN);

MtState module_state;

}  // namespace

void mt_init_genrand(MtState& g, std::uint32_t s) {
  g.mt[0] = s;
  for (int i = 1; i < kN; i++)
    g.mt[i] = 1812433253u * (g.mt[i - 1] ^ (g.mt[i - 1] >> 30)) + static_cast<std::uint32_t>(i);
  g.mti = kN;
}

void mt_init_by_array(MtState& g, const std::uint32_t* key, int length) {
  mt_init_genrand(g, 19650218u);
  int i = 1, j = 0;
  for (int k = kN > length ? kN : length; k; k--) {
    g.mt[i] = (g.mt[i] ^ ((g.mt[i - 1] ^ (g.mt[i - 1] >> 30)) * 1664525u)) + key[j] +
              static_cast<std::uint32_t>(j);
    i++;
    j++;
    if (i >= kN) {
      g.mt[0] = g.mt[kN - 1];
      i = 1;
    }
    if (j >= length) j = 0;
  }
  for (int k = kN - 1; k; k--) {
    g.mt[i] = (g.mt[i] ^ ((g.mt[i - 1] ^ (g.mt[i - 1] >> 30)) * 1566083941u)) -
              static_cast<std::uint32_t>(i);
    i++;
    if (i >= kN) {
      g.mt[0] = g.mt[kN - 1];
      i = 1;
    }
  }
  g.mt[0] = 0x80000000u;
}

std::uint32_t mt_genrand_int32(MtState& g) {
  auto mag = [](std::uint32_t y) { return (y >> 1) ^ ((y & 1u) ? kMatrixA : 0u); };
  if (g.mti >= kN) {
    int kk = 0;
    for (; kk < kN - kM; kk++) g.mt[kk] = g.mt[kk + kM] ^ mag((g.mt[kk] & kUpper) | (g.mt[kk + 1] & kLower));
    for (; kk < kN - 1; kk++)
      g.mt[kk] = g.mt[kk + (kM - kN)] ^ mag((g.mt[kk] & kUpper) | (g.mt[kk + 1] & kLower));
    g.mt[kN - 1] = g.mt[kM - 1] ^ mag((g.mt[kN - 1] & kUpper) | (g.mt[0] & kLower));
    g.mti = 0;
  }
  std::uint32_t y = g.mt[g.mti++];
  y ^= y >> 11;
  y ^= (y << 7) & 0x9d2c5680u;
  y ^= (y << 15) & 0xefc60000u;
  y ^= y >> 18;
  return y;
}

MtState& mt_module() { return module_state; }

void mt_init_library(MtState& g) {
  static const std::uint32_t key[9] = {0x12345, 0x23456, 0x34567, 0x45678, 0x56789,
                                       0x67890, 0x78901, 0x89012, 0x90123};
  mt_init_by_array(g, key, 9);
}

void mt_init_genrand(std::uint32_t s) { mt_init_genrand(module_state, s); }
void mt_init_by_array(const std::uint32_t* key, int length) { mt_init_by_array(module_state, key, length); }
std::uint32_t mt_genrand_int32() { return mt_genrand_int32(module_state); }

}  // namespace vexal

namespace {
// Whatever uses the generator also links the load-time initialiser that
// seeds it (a static archive would otherwise leave it out).
[[gnu::used]] void (*const pull_initialiser)() = &vexal::initialise;
}  // namespace
