// The interval count routine on eight beams at once, in 16-bit lanes.
//
// The routine's description works in reals rounded half to even; this form
// reaches the same integers with whole-number arithmetic wherever the two
// provably agree, and hands a beam back to the exact form (CountSamples)
// wherever that proof does not cover it:
//
// - Samples 0..4095 (the instrument's range): sums of 8 samples, the
//   30-sample peak sums (as halves and low bits) and the traces (at most
//   16000, so that a step's four values fit 16 bits) stay in range.
// - Rounded peak mean: round(W / 30), halves to even, for a whole W >= 0 is
//   floor((W + 44) / 60) + floor((W + 15) / 60), each floor taken from a
//   16-bit multiply (v x 34953) >> 20 = floor(v / 30) for v < 65536.
// - Trace step: round((A + S) / 4) where S is a whole number (the three
//   previous values) and A = band x a / 100 in doubles. When A is a whole
//   number F the sum is exact and round((F + S) / 4) is taken with the tie
//   to even. Otherwise, as long as A lies further than 2^-30 from a whole
//   number, the three roundings of the sum (each below 2^-36 at these
//   sizes) cannot reach or cross one, and the result is
//   floor((F + S + 2) / 4) with F = floor(A).
// - F = floor(m x g) and the fraction of m x g come from g = band / 100 in
//   32-bit fixed point, gi + (Gh x 2^16 + Gl) / 2^32, with m <= 4095: the
//   fraction's top 16 bits s are exact and the rest adds less than
//   2^-16 + 2^-20, and A lies within 2^-37 of m x g. So for s from 1 to
//   0xFFFE, A has the whole part F and is further than 2^-18 from a whole
//   number. For s = 0 or 0xFFFF (about 1 sample in 30,000, and the samples
//   whose A is a whole number) A is computed as the routine computes it and
//   decides (and a beam whose A comes closer than 2^-30 to a whole number
//   without being one goes to the exact form). m = 0 gives A = 0 exactly.
//
// Every lane is computed whatever its range; a lane found out of range is
// marked and its results are not used.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "signal/signal_block.h"
#include "signal/signal_support.h"

namespace orb::signal_detail {

using namespace lanes;

namespace {

constexpr int kTraceMax = 16000;  // lane traces stay within 0..16000 (see above)
constexpr int kPassChunk = 8;     // samples summed in 16 bits before they are carried to 32 bits
constexpr int kDiv30 = 34953;     // floor(v / 30) = (v x 34953) >> 20 for 0 <= v < 65536
constexpr int kRowsAhead = 16;    // rows of the caller's buffer asked for ahead of the first pass

void Extract(I16 v, int* out) {
  alignas(16) std::int16_t t[kLanes];
  Store(t, v);
  for (int l = 0; l < kLanes; ++l) out[l] = t[l];
}

// The 30-sample peak sum W = 2 x half + low, W rounded / 30 half to even.
struct PeakWindow {
  I16 half = Zero();
  I16 low = Zero();
  void add(I16 p) {
    half = half + ShrU<1>(p);
    low = low + (p & Set1(1));
  }
  void remove(I16 p) {
    half = half - ShrU<1>(p);
    low = low - (p & Set1(1));
  }
  I16 mean() const {
    const I16 a = half + ShrU<1>(low + Set1(44));  // floor((W + 44) / 2)
    const I16 c = half + ShrU<1>(low + Set1(15));  // floor((W + 15) / 2)
    return ShrU<4>(MulHiU(a, Set1(kDiv30))) + ShrU<4>(MulHiU(c, Set1(kDiv30)));
  }
};

// What a peak/valley pass reads and keeps.
enum class PassKind {
  Recorded,  // the samples as given (x0); their lowest and highest values are kept
  Clipped,   // the samples clipped to the upper trace, written to x as they are read
};


// Peak and valley traces of every lane over samples 2..498 from the
// sample at `start` at positions 0 and 1; per lane the rounded noise (mean
// of peak - valley) and level (mean of the signal). With kMeans, the rounded
// means of 30 peak values into b.mean: at sample i (i > 29) those of
// samples i - 30..i - 1, at i <= 29 those of i + 1..i + 30 (the ones of
// sample i + 31).
template <PassKind kKind, bool kMeans>
class LanePass {
 public:
  explicit LanePass(LaneBlock& b) : b_(b) {}

  I16 lowest() const { return lo_; }
  I16 highest() const { return hi_; }

  void Run(int start, int* noise, int* level) {
    before_ = Sample(0);
    prev_ = Sample(1);
    const I16 first = Sample(2);
    p_ = start == 1 ? prev_ : first;
    v_ = p_;
    if constexpr (kMeans) {
      Store(b_.peak[0], p_);
      Store(b_.peak[1], p_);
      w_.add(p_);
      w_.add(p_);
    }
    // Samples 2..28 only add to the first window; at 29 the mean of 30
    // peak values starts; from 30 on the window slides.
    Step<kFilling>(2, first);
    Steps<kFilling>(3, kPeakWindow - 1);
    Steps<kFirstMean>(kPeakWindow - 1, kPeakWindow);
    Steps<kSliding>(kPeakWindow, 499);
    Sample(kN - 1);
    if constexpr (kMeans) {
      for (int i = 0; i < kPeakWindow; ++i) Store(b_.mean[i], Load(b_.mean[i + kPeakWindow + 1]));
    }
    constexpr int count = 497;
    std::int32_t ns[kLanes], ls[kLanes];
    Store(ns, noiseSum_);
    Store(ls, levelSum_);
    for (int l = 0; l < kLanes; ++l) {
      noise[l] = static_cast<int>(RoundEven(double(ns[l]) / count));
      level[l] = static_cast<int>(RoundEven(double(ls[l]) / count));
    }
  }

 private:
  enum Phase { kFilling, kFirstMean, kSliding };

  I16 Sample(int n) {
    I16 v;
    if constexpr (kKind == PassKind::Recorded) {
      if (b_.rows != nullptr) {
        // The rows lie 770 bytes apart, each on its own cache line, often
        // in another core's cache (the interval was just read there).
        Prefetch(b_.rows + std::size_t(n + kRowsAhead) * kChannelSlots);
        v = Load(b_.rows + std::size_t(n) * kChannelSlots);
        Store(b_.x0[n], v);
      } else {
        v = Load(b_.x0[n]);
      }
    } else {
      v = Load(b_.x0[n]);
    }
    if constexpr (kKind == PassKind::Clipped) {
      const I16 given = v;
      v = Min(v, Load(b_.upper[n]));
      Store(b_.x[n], v);
      // Only rows with a clipped sample are written: the buffer's rows are
      // shared with the neighbouring blocks, which other threads may count.
      if (b_.rows != nullptr && Any(Gt(given, v))) Store(b_.rows + std::size_t(n) * kChannelSlots, v);
    } else {
      lo_ = Min(lo_, v);
      hi_ = Max(hi_, v);
    }
    return v;
  }

  template <Phase kPhase>
  void Step(int n, I16 c) {
    const I16 valley = Gt(Min(before_, c), prev_);
    const I16 top = Gt(prev_, Max(before_, c));
    v_ = Select(valley, prev_, v_);
    p_ = Select(top, prev_, p_);
    noiseAcc_ = noiseAcc_ + (p_ - v_);
    levelAcc_ = levelAcc_ + c;
    before_ = prev_;
    prev_ = c;
    if constexpr (kMeans) {
      Store(b_.peak[n % kPeakRing], p_);
      w_.add(p_);
      if constexpr (kPhase == kSliding) w_.remove(Load(b_.peak[(n - kPeakWindow) % kPeakRing]));
      if constexpr (kPhase != kFilling) Store(b_.mean[n + 1], w_.mean());
    }
    if (++pending_ == kPassChunk) Flush();
  }

  template <Phase kPhase>
  void Steps(int from, int to) {
    for (int n = from; n < to; ++n) Step<kPhase>(n, Sample(n));
    if constexpr (kPhase == kSliding) Flush();
  }

  // The 16-bit sums of up to 8 samples carried to 32 bits.
  void Flush() {
    noiseSum_ = noiseSum_ + Widen(noiseAcc_);
    levelSum_ = levelSum_ + Widen(levelAcc_);
    noiseAcc_ = levelAcc_ = Zero();
    pending_ = 0;
  }

  LaneBlock& b_;
  I16 lo_ = Set1(32767), hi_ = Set1(-32768);
  I16 before_, prev_, p_, v_;
  I16 noiseAcc_ = Zero(), levelAcc_ = Zero();
  int pending_ = 0;
  I32 noiseSum_ = Zero32(), levelSum_ = Zero32();
  PeakWindow w_;
};

// g = band / 100 of every lane in fixed point: whole part gi and the
// fraction's two 16-bit words (Gh, Gl).
struct LaneFactor {
  I16 whole, high, low;
};

// F + 2 for one sample (F = floor(m x g): m x gi + the high word of
// m x (Gh, Gl) with its carry), whether A is known to be whole (m = 0), and
// whether m x g is too near a whole number to decide here.
struct StepFloor {
  I16 floorPlus2, whole, near;
};
template <bool kZeros>
inline StepFloor FloorOf(I16 m, const LaneFactor& g) {
  const I16 hh = MulHiU(m, g.high);
  const I16 hl = MulLo(m, g.high);
  const I16 lh = MulHiU(m, g.low);
  const I16 s = hl + lh;                        // top 16 bits of the fraction
  const I16 noCarry = Eq(s, AddSatU(hl, lh));  // all ones when hl + lh < 2^16
  const I16 floorPlus2 = MulLo(m, g.whole) + hh + Set1(3) + noCarry;
  if constexpr (kZeros) {
    const I16 whole = Eq(m, Zero());
    return {floorPlus2, whole, Eq(s, Set1(-1)) | AndNot(whole, Eq(s, Zero()))};
  } else {
    return {floorPlus2, Zero(), Eq(s, Set1(-1)) | Eq(s, Zero())};
  }
}

// The lanes of `near` at sample i, whose m x g lies within 2^-16 of a
// whole number: A = band x m / 100 as the routine computes it gives F and
// whether A is whole; a lane whose A is not whole but closer than 2^-30 to
// a whole number is left to the exact form.
void SettleNear(LaneBlock& b, const double* band, int i, I16 near, I16& floorPlus2, I16& whole) {
  alignas(16) std::int16_t nv[kLanes], fv[kLanes], wv[kLanes];
  Store(nv, near);
  Store(fv, floorPlus2);
  Store(wv, whole);
  for (int l = 0; l < kLanes; ++l) {
    if (nv[l] == 0) continue;
    const double a = band[l] * static_cast<std::uint16_t>(b.mean[i][l]) / 100;
    const double floorA = std::floor(a);
    if (!(floorA >= 0 && floorA <= kTraceMax)) {
      b.exact[l] = false;
      continue;
    }
    fv[l] = static_cast<std::int16_t>(floorA + 2);
    wv[l] = a == floorA ? -1 : 0;
    if (a != floorA && (a - floorA <= 0x1p-30 || floorA + 1 - a <= 0x1p-30)) b.exact[l] = false;
  }
  floorPlus2 = Load(fv);
  whole = Load(wv);
}

// Trace steps 4..499: (F + S + 2) / 4 rounded down; where A is whole,
// round((F + S) / 4) with the tie to even, one less when F + S = 8k + 2.
// kZeros: some lane may have m = 0 (A = 0, whole).
template <bool kZeros>
void TraceSteps(LaneBlock& b, const double* band, const LaneFactor& g, std::int16_t (*out)[kLanes]) {
  const I16 four = Set1(4), seven = Set1(7);
  // Step i from the three values before it (in any order).
  auto step = [&](int i, I16 u3, I16 u2, I16 u1) {
    StepFloor f = FloorOf<kZeros>(Load(b.mean[i]), g);
    bool settled = false;
    if (Any(f.near)) {
      SettleNear(b, band, i, f.near, f.floorPlus2, f.whole);
      settled = true;
    }
    const I16 t = (f.floorPlus2 + u3 + u2) + u1;
    I16 u = ShrU<2>(t);
    if (kZeros || settled) u = u + (Eq(t & seven, four) & f.whole);
    Store(out[i], u);
    return u;
  };
  // Three steps a turn, each new value taking the place of the oldest.
  I16 a = Load(out[1]), c = Load(out[2]), d = Load(out[3]);
  int i = 4;
  for (; i + 2 < kN; i += 3) {
    a = step(i, a, c, d);
    c = step(i + 1, c, d, a);
    d = step(i + 2, d, a, c);
  }
  for (; i < kN; ++i) {
    const I16 u = step(i, a, c, d);
    a = c;
    c = d;
    d = u;
  }
}

// A smoothed trace (upper or lower) of every lane from the means of the
// last pass: out[i] = round(start x a) for i < 4, then
// round((band x a / 100 + out[i-3] + out[i-2] + out[i-1]) / 4), a being the
// rounded mean of the 30 peak values after (i <= 29) or before (i > 29)
// sample i. Lanes the whole-number form cannot take are marked not exact.
// Samples of a lane lie within sampleMin..sampleMax.
void LaneTrace(LaneBlock& b, const double* start, const double* band, const int* sampleMin, const int* sampleMax,
               std::int16_t (*out)[kLanes]) {
  alignas(16) std::int16_t gi[kLanes], gh[kLanes], gl[kLanes];
  bool zeros = false;
  for (int l = 0; l < kLanes; ++l) {
    const double g = band[l] / 100;
    const bool fits = std::isfinite(g) && g > 0 && sampleMax[l] * g <= kTraceMax - 1 && g < kTraceMax;
    if (!fits) b.exact[l] = false;
    const double whole = fits ? std::floor(g) : 0;
    const auto fraction = fits ? static_cast<std::uint32_t>(std::ldexp(g - whole, 32)) : 0u;
    gi[l] = static_cast<std::int16_t>(whole);
    gh[l] = static_cast<std::int16_t>(fraction >> 16);
    gl[l] = static_cast<std::int16_t>(fraction & 0xFFFF);
    if (sampleMin[l] <= 0) zeros = true;  // peak sums of 30 samples >= 1 give m >= 1
  }

  // The first four values, as the routine rounds them.
  for (int i = 0; i < 4; ++i) {
    for (int l = 0; l < kLanes; ++l) {
      const std::int16_t u = SaturateRound16(start[l] * static_cast<std::uint16_t>(b.mean[i][l]));
      if (u < 0 || u > kTraceMax) b.exact[l] = false;
      out[i][l] = u;
    }
  }
  const LaneFactor g{Load(gi), Load(gh), Load(gl)};
  if (zeros) {
    TraceSteps<true>(b, band, g, out);
  } else {
    TraceSteps<false>(b, band, g, out);
  }
}

// Method 1: every crossing below the lower trace counts once.
I16 CrossingsBelow(LaneBlock& b) {
  I16 below = Zero();
  I16 count = Zero();
  for (int e = 0; e < kN; ++e) {
    const I16 x = Load(b.x[e]);
    const I16 lo = Load(b.lower[e]);
    const I16 under = Gt(lo, x);
    const I16 event = AndNot(below, under);
    below = under | AndNot(Gt(x, lo), below);
    count = count - event;
    b.events[e] = static_cast<std::uint8_t>(LaneBits(event));
  }
  return count;
}

// Method 0: a sample below the lower trace is kept pending and counted at
// the next of samples 30, 60, ..., 480.
I16 WindowsBelow(LaneBlock& b) {
  I16 pending = Zero();
  I16 count = Zero();
  for (int e = 0; e < kN; ++e) {
    pending = pending | Gt(Load(b.lower[e]), Load(b.x[e]));
    if (e >= kPeakWindow && e % kPeakWindow == 0) {
      count = count - pending;
      b.events[e] = static_cast<std::uint8_t>(LaneBits(pending));
      pending = Zero();
    } else {
      b.events[e] = 0;
    }
  }
  return count;
}

}  // namespace

namespace {

// What the first steps leave for the detection of each lane.
struct LanePrepared {
  int lo[kLanes], hi[kLanes];        // the samples' range
  double start[kLanes], band[kLanes];  // the lower trace's factors
  int floorNoise[kLanes];            // the noise, at least 5
};

// Steps 1 to 3 of the routine: noise level, upper trace and clipping, noise
// level of the clipped signal.
void PrepareLanes(LaneBlock& b, double snrFactor, int method, LanePrepared& out) {
  // 1. Noise level of the signal as recorded, and its range lane by lane.
  int noise[kLanes], level[kLanes];
  LanePass<PassKind::Recorded, true> first(b);
  first.Run(1, noise, level);
  Extract(first.lowest(), out.lo);
  Extract(first.highest(), out.hi);
  double start[kLanes], band[kLanes];
  for (int l = 0; l < kLanes; ++l) {
    b.exact[l] = out.lo[l] >= 0 && out.hi[l] <= kLaneSampleMax;
    b.figures[l] = BeamFigures();
    const double p = level[l] >= 1 ? double(noise[l]) / level[l] * 100 * snrFactor : snrFactor;
    const double bb = std::max(p + 1, 1.0);
    start[l] = (bb + 100) / 100;
    band[l] = bb + 100;
  }

  // 2. Upper trace; the samples are clipped to it as the second pass reads them.
  LaneTrace(b, start, band, out.lo, out.hi, b.upper);

  // 3. Noise level of the clipped signal.
  if (method == kMethodThresholdBinary || method == kMethodThresholdAverage) {
    LanePass<PassKind::Clipped, true>(b).Run(2, noise, level);
  } else {
    LanePass<PassKind::Clipped, false>(b).Run(2, noise, level);
  }
  for (int l = 0; l < kLanes; ++l) {
    const double p = level[l] > 0 && noise[l] < level[l] ? double(noise[l]) / level[l] * 100 * snrFactor
                                                         : snrFactor;
    const double bb = std::max(p + 1, 1.0);
    b.figures[l].noise = noise[l];
    b.figures[l].level = level[l];
    b.figures[l].band = bb;
    out.floorNoise[l] = std::max(noise[l], 5);
    out.start[l] = (100 - 1.75 * bb) / 100;
    out.band[l] = 100 - bb;
  }
}

// Methods 0 and 1: the lower trace from the second pass's peak trace, and
// the events.
void CountBelowLowerTrace(LaneBlock& b, int method, LanePrepared& p) {
  LaneTrace(b, p.start, p.band, p.lo, p.hi, b.lower);
  int count[kLanes];
  Extract(method == kMethodThresholdBinary ? WindowsBelow(b) : CrossingsBelow(b), count);
  for (int l = 0; l < kLanes; ++l) b.figures[l].count = count[l];
}

}  // namespace

void CountLanes(LaneBlock& b, double snrFactor, int method, LaneBlock* other) {
  LanePrepared p, q;
  PrepareLanes(b, snrFactor, method, p);
  if (other != nullptr) PrepareLanes(*other, snrFactor, method, q);
  if (method == kMethodThresholdBinary || method == kMethodThresholdAverage) {
    CountBelowLowerTrace(b, method, p);
    if (other != nullptr) CountBelowLowerTrace(*other, method, q);
  } else if (method == kMethodMotilityIndex) {
    CountMotilityLanes(b, p.floorNoise, other, q.floorNoise);
  } else {
    std::memset(b.events, 0, sizeof b.events);
    if (other != nullptr) std::memset(other->events, 0, sizeof other->events);
  }
}

}  // namespace orb::signal_detail
