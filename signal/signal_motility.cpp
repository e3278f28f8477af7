// Method 2 (motility index) on eight clipped beams at once: distance of the
// signal above its running 50-sample minimum, smoothed, and movements
// counted as turns of that distance that last ten steps and depart from
// the turn value by more than the noise.
//
// Below index 449 the baseline mean is a whole window sum / 50, so the
// residuals are held exactly as 50 x signal - window sum and their ten-sample
// sums are whole numbers (500 x the exact mean). The routine computes the
// residuals (signal - mean) and their means in reals, and reals rounded at
// every step agree with the exact means on every decision (which of two
// means is larger, rounding, the departure test) except where the exact
// values tie: distinct exact means lie at least 1/500 apart. So the
// decisions are made on the whole sums, and where the exact values tie and
// a baseline mean in the windows has a fraction (its reals then carry
// rounding), the means are computed as the routine computes them and decide.
// From index 449 on the baseline is smoothed in place over values already
// smoothed: those means, the residuals and the residual means that reach
// them are computed in reals in the routine's order, eight lanes side by
// side.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "signal/signal_block.h"
#include "signal/signal_support.h"

namespace orb::signal_detail {

using namespace lanes;

namespace {

constexpr double kResidualDivisor = kResidualWindow * 50;

// The exact residual mean of a window below index 440 from its whole sum.
inline double WholeMean(std::int32_t sum) { return double(sum) / kResidualDivisor; }

// The residual at index k (0..448) of lane l as the routine computes it:
// signal - baseline mean (window sum / 50).
inline double RoutineResidual(const LaneBlock& b, int l, int k) {
  const std::int64_t sum = 50 * std::int64_t(b.x[k][l]) - b.residual[k][l];
  return b.x[k][l] - double(sum) / kBaseWindow;
}

// The residual mean of window i (0..439) of lane l as the routine computes
// it: the ten residuals summed from i on, / 10.
double RoutineMean(const LaneBlock& b, int l, int i) {
  double acc = 0;
  for (int k = i; k < i + kResidualWindow; ++k) acc += RoutineResidual(b, l, k);
  return acc / kResidualWindow;
}

// The rounded mean of window i (0..439) of lane l: from the whole sum, or
// as the routine computes it when the exact mean lies halfway.
double RoundedMean(const LaneBlock& b, int l, int i) {
  const std::int32_t sum = b.residualSum[i][l];
  if (std::abs(sum % int(kResidualDivisor)) == int(kResidualDivisor) / 2) [[unlikely]]
    return double(RoundEven(RoutineMean(b, l, i)));
  return double(RoundEven(WholeMean(sum)));
}

// Baseline of every lane: the minimum of the 50 samples from E forward
// (E < 449) or back (E >= 449), from running minima within blocks of 50.
// (The routine's starting value 9999 is above every lane sample.)
void LaneBaseline(LaneBlock& b) {
  static_assert(kN % kBaseWindow == 0, "whole blocks");
  for (int s = 0; s < kN; s += kBaseWindow) {
    const int end = s + kBaseWindow - 1;
    I16 m = Load(b.x[s]);
    Store(b.work[s], m);  // prefix minima
    for (int k = s + 1; k <= end; ++k) {
      m = Min(m, Load(b.x[k]));
      Store(b.work[k], m);
    }
    m = Load(b.x[end]);
    Store(b.base[end], m);  // suffix minima, for now
    for (int k = end - 1; k >= s; --k) {
      m = Min(m, Load(b.x[k]));
      Store(b.base[k], m);
    }
  }
  // The window starting at s: suffix minimum at s, prefix minimum at s + 49.
  alignas(16) std::int16_t backward[kN - kForwardEnd][kLanes];
  for (int e = kForwardEnd; e < kN; ++e) {
    const int s = e - kBaseWindow + 1;
    Store(backward[e - kForwardEnd], Min(Load(b.base[s]), Load(b.work[s + kBaseWindow - 1])));
  }
  for (int e = 0; e < kForwardEnd; ++e) Store(b.base[e], Min(Load(b.base[e]), Load(b.work[e + kBaseWindow - 1])));
  std::memcpy(b.base[kForwardEnd], backward, sizeof backward);
}

// Residuals (x 50) below index 449, whole, and the sums of the windows
// 0..439 over them; the smoothed baseline from index 400 to 448, and the
// residuals from 440 on in reals.
void ForwardResiduals(LaneBlock& b) {
  I32 scaled = Zero32();
  for (int k = 0; k < kBaseWindow; ++k) scaled = scaled + Widen(Load(b.base[k]));
  for (int e = 0; e < kForwardEnd; ++e) {
    const I32 r = WideMul(Load(b.x[e]), 50) - scaled;
    Store(b.residual[e], r);
    if (e >= kIntegerWindows)
      Store(b.tailResidual[e - kIntegerWindows], ToF64(Widen(Load(b.x[e]))) - ToF64(scaled) / kBaseWindow);
    if (e >= kSmoothFrom) Store(b.smooth[e - kSmoothFrom], ToF64(scaled) / kBaseWindow);
    if (e + 1 < kForwardEnd) scaled = scaled + Widen(Load(b.base[e + kBaseWindow]) - Load(b.base[e]));
  }
  I32 sum = Zero32();
  for (int k = 0; k < kResidualWindow; ++k) sum = sum + Load(b.residual[k]);
  for (int i = 0; i < kIntegerWindows; ++i) {
    Store(b.residualSum[i], sum);
    if (i + 1 < kIntegerWindows) sum = sum + Load(b.residual[i + kResidualWindow]) - Load(b.residual[i]);
  }
}

// Index e (449..499) of the baseline smoothed backward over the values
// already smoothed, in the routine's order, and its residual; for
// two blocks side by side when `other` is given (two chains of dependent
// additions run at once). Every kSideEvery additions `side()` runs: work
// that does not depend on the chain, for the processor to do while it waits.
constexpr int kSideEvery = 5;

template <class Side>
inline void BackwardStep(LaneBlock& b, LaneBlock* other, int e, Side&& side) {
  F64 acc = ToF64(Widen(Load(b.base[e])));
  F64 acc2 = other != nullptr ? ToF64(Widen(Load(other->base[e]))) : acc;
  for (int k = e - 1, n = 0; k >= e - kBaseWindow + 1; --k, ++n) {
    acc = acc + Load(b.smooth[k - kSmoothFrom]);
    if (other != nullptr) acc2 = acc2 + Load(other->smooth[k - kSmoothFrom]);
    if (n % kSideEvery == kSideEvery - 1) side();
  }
  if (other != nullptr) {
    const F64 mean2 = acc2 / kBaseWindow;
    Store(other->tailResidual[e - kIntegerWindows], ToF64(Widen(Load(other->x[e]))) - mean2);
    Store(other->smooth[e - kSmoothFrom], mean2);
  }
  const F64 mean = acc / kBaseWindow;
  Store(b.tailResidual[e - kIntegerWindows], ToF64(Widen(Load(b.x[e]))) - mean);
  Store(b.smooth[e - kSmoothFrom], mean);
}

// Residual means of the windows 440..499, each summed in the order the
// routine lists it: forward from i up to 488, back from i after.
void TailMeans(LaneBlock& b) {
  for (int i = kIntegerWindows; i < kN; ++i) {
    F64 acc = ZeroF64();
    if (i <= kResidualForwardEnd) {
      for (int k = i; k < i + kResidualWindow; ++k) acc = acc + Load(b.tailResidual[k - kIntegerWindows]);
    } else {
      for (int k = i; k > i - kResidualWindow; --k) acc = acc + Load(b.tailResidual[k - kIntegerWindows]);
    }
    Store(b.tailMean[i - kIntegerWindows], acc / double(kResidualWindow));
  }
}

// Direction, steps since the last turn and where that turn was, over the
// whole-number windows, eight lanes at once. The windows where some lane
// takes its tenth step are listed (with the lanes and their turn) for the
// departure test.
struct Turning {
  I16 rising = Zero();
  I16 steps = Zero();
  I16 turnAt = Set1(-1);
  I16 window = Zero();  // j, in every lane
  // Changes of the baseline minimum between neighbours m, m + 1 for m in
  // j - 1 .. j + 57: none means the windows j - 1 and j reach only baseline
  // means that are whole numbers, which the routine's reals hold exactly.
  I16 baseChanges = Zero();
  int candidates = 0;
  std::int16_t candidateRow[kIntegerWindows];
  std::uint8_t candidateLanes[kIntegerWindows];
  alignas(16) std::int16_t candidateTurn[kIntegerWindows][kLanes];

  static constexpr int kReach = kResidualWindow + kBaseWindow - 2;  // m from j - 1 to j - 1 + kReach

  static I16 BaseChange(const LaneBlock& b, int m) { return AndNot(Eq(Load(b.base[m]), Load(b.base[m + 1])), Set1(1)); }

  explicit Turning(const LaneBlock& b) {
    for (int m = 0; m <= kReach; ++m) baseChanges = baseChanges + BaseChange(b, m);
  }

  // Window j (1..439), the windows taken in order. Kept inline: its work
  // fills the waits of the backward smoothing's chain of additions.
  [[gnu::always_inline]] inline void step(const LaneBlock& b, int j) {
    window = window + Set1(1);
    const I16 change = NarrowSigned(Load(b.residual[j + kResidualWindow - 1]) - Load(b.residual[j - 1]));
    I16 up = Gt(change, Zero());
    I16 down = Gt(Zero(), change);
    const I16 unsure = Eq(change, Zero()) & Gt(baseChanges, Zero());
    if (Any(unsure)) settle(b, j, unsure, up, down);
    const I16 turn = AndNot(rising, up) | (down & rising);
    rising = up | AndNot(down, rising);
    steps = AndNot(turn, steps - (up | down));
    turnAt = Select(turn, window, turnAt);
    const unsigned tenth = LaneBits(Eq(steps, Set1(kTurnSteps)));
    // Written at the next free place, kept only when some lane is at its tenth step.
    candidateRow[candidates] = static_cast<std::int16_t>(j);
    candidateLanes[candidates] = static_cast<std::uint8_t>(tenth);
    Store(candidateTurn[candidates], turnAt);
    candidates += tenth != 0 ? 1 : 0;
    // The reach of window j + 1.
    if (j + kReach < kN - 1) baseChanges = baseChanges + BaseChange(b, j + kReach);
    baseChanges = baseChanges - BaseChange(b, j - 1);
  }

  // Lanes whose exact means of windows j - 1 and j tie while the routine's
  // reals may not: the routine's means decide whether the lane rises or falls.
  [[gnu::noinline]] static void settle(const LaneBlock& b, int j, I16 unsure, I16& up, I16& down) {
    alignas(16) std::int16_t u[kLanes], d[kLanes], which[kLanes];
    Store(u, up);
    Store(d, down);
    Store(which, unsure);
    for (int l = 0; l < kLanes; ++l) {
      if (which[l] == 0) continue;
      // The eleven residuals of windows j - 1 and j, then each window's sum
      // from its first value on.
      double r[kResidualWindow + 1];
      for (int k = 0; k <= kResidualWindow; ++k) r[k] = RoutineResidual(b, l, j - 1 + k);
      double sumBefore = 0, sumNow = 0;
      for (int k = 0; k < kResidualWindow; ++k) sumBefore += r[k];
      for (int k = 1; k <= kResidualWindow; ++k) sumNow += r[k];
      const double now = sumNow / kResidualWindow, before = sumBefore / kResidualWindow;
      u[l] = now > before ? -1 : 0;
      d[l] = now < before ? -1 : 0;
    }
    up = Load(u);
    down = Load(d);
  }
};

// The departure tests and the windows that reach the backward part, after
// the turning points of the whole-number windows.
void FinishMotility(LaneBlock& b, const Turning& t, const int* floorNoise);

}  // namespace

void CountMotilityLanes(LaneBlock& b, const int* floorNoise, LaneBlock* other, const int* otherNoise) {
  LaneBaseline(b);
  ForwardResiduals(b);
  if (other != nullptr) {
    LaneBaseline(*other);
    ForwardResiduals(*other);
  }

  // The backward smoothing is a chain of dependent additions; the turning
  // points of the whole-number windows, which do not depend on it, are
  // followed in between.
  Turning t(b);
  Turning u(other != nullptr ? *other : b);
  int j = 1;
  auto turningStep = [&]() __attribute__((always_inline)) {
    if (j < kIntegerWindows) {
      t.step(b, j);
      if (other != nullptr) u.step(*other, j);
      ++j;
    }
  };
  for (int e = kForwardEnd; e < kN; ++e) BackwardStep(b, other, e, turningStep);
  while (j < kIntegerWindows) turningStep();
  FinishMotility(b, t, floorNoise);
  if (other != nullptr) FinishMotility(*other, u, otherNoise);
}

namespace {

void FinishMotility(LaneBlock& b, const Turning& t, const int* floorNoise) {
  TailMeans(b);

  // The departure test at each listed tenth step, as the routine makes it.
  std::memset(b.events, 0, sizeof b.events);
  int count[kLanes] = {};
  auto turnValue = [&](int at, int l) -> double { return at < 0 ? 0.0 : RoundedMean(b, l, at); };
  // |turn - mean| > noise, decided on the whole sum unless the exact values
  // tie, where the routine's mean decides.
  auto departs = [&](double turn, int row, int l) {
    const std::int64_t gap = std::llabs(std::int64_t(turn) * std::int64_t(kResidualDivisor) - b.residualSum[row][l]);
    const std::int64_t limit = std::int64_t(floorNoise[l]) * std::int64_t(kResidualDivisor);
    if (gap != limit) return gap > limit;
    return std::abs(turn - RoutineMean(b, l, row)) > floorNoise[l];
  };
  for (int c = 0; c < t.candidates; ++c) {
    const int row = t.candidateRow[c];
    for (unsigned bits = t.candidateLanes[c]; bits != 0; bits &= bits - 1) {
      const int l = std::countr_zero(bits);
      if (departs(turnValue(t.candidateTurn[c][l], l), row, l)) {
        ++count[l];
        b.events[row] = static_cast<std::uint8_t>(b.events[row] | (1u << l));
      }
    }
  }

  // The windows that reach the backward part, in doubles: the routine's
  // tests with masks (all ones where true) in place of branches.
  alignas(16) std::int16_t risingLane[kLanes], stepsLane[kLanes], atLane[kLanes];
  Store(risingLane, t.rising);
  Store(stepsLane, t.steps);
  Store(atLane, t.turnAt);
  alignas(16) double risingStart[kLanes], stepsStart[kLanes], turnStart[kLanes], previousStart[kLanes],
      noiseLane[kLanes];
  for (int l = 0; l < kLanes; ++l) {
    risingStart[l] = risingLane[l] != 0 ? -1.0 : 0.0;  // the mask is set below
    stepsStart[l] = stepsLane[l];
    turnStart[l] = turnValue(atLane[l], l);
    previousStart[l] = RoutineMean(b, l, kIntegerWindows - 1);
    noiseLane[l] = floorNoise[l];
  }
  constexpr double kShift = 6755399441055744.0;  // 1.5 x 2^52: x + kShift - kShift = round(x), |x| < 2^51
  const F64 one = Set1F64(1.0), ten = Set1F64(kTurnSteps), shift = Set1F64(kShift);
  const F64 noise = Load(noiseLane);
  F64 rising = Gt(ZeroF64(), Load(risingStart));
  F64 steps = Load(stepsStart);
  F64 turnNow = Load(turnStart);
  F64 previous = Load(previousStart);
  for (int jj = kIntegerWindows; jj < kN; ++jj) {
    const F64 s = Load(b.tailMean[jj - kIntegerWindows]);
    const F64 up = Gt(s, previous);
    const F64 down = Gt(previous, s);
    const F64 turn = AndNot(rising, up) | (down & rising);
    rising = up | AndNot(down, rising);
    steps = AndNot(turn, steps + ((up | down) & one));
    turnNow = Select(turn, (s + shift) - shift, turnNow);
    const unsigned event = LaneBits(Eq(steps, ten) & Gt(Abs(turnNow - s), noise));
    for (unsigned bits = event; bits != 0; bits &= bits - 1) {
      const int l = std::countr_zero(bits);
      ++count[l];
      b.events[jj] = static_cast<std::uint8_t>(b.events[jj] | (1u << l));
    }
    previous = s;
  }
  for (int l = 0; l < kLanes; ++l) b.figures[l].count = count[l];
}

}  // namespace

void MotilityTrace(const LaneBlock& b, int lane, int floorNoise, std::int16_t* out) {
  for (int j = 1; j < kIntegerWindows; ++j) {
    const std::int32_t sum = b.residualSum[j][lane];
    // Halfway from the whole sum: the routine's mean decides the rounding.
    const bool half = std::abs(sum % int(kResidualDivisor)) == int(kResidualDivisor) / 2;
    out[j] = SaturateRound16((half ? RoutineMean(b, lane, j) : WholeMean(sum)) - floorNoise);
  }
  for (int j = kIntegerWindows; j < kN; ++j)
    out[j] = SaturateRound16(b.tailMean[j - kIntegerWindows][lane] - floorNoise);
}

}  // namespace orb::signal_detail
