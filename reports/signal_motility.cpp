// Method 2 (motility index) on eight clipped beams at once: distance of the
// signal above its running 50-sample minimum, smoothed, and movements
// counted as turns of that distance that last ten steps and depart from
// the turn value by more than the noise.
//
// Below index 449 the baseline mean is a whole window sum / 50, so the
// residuals are held exactly as 50 x signal - window sum and their ten-sample
// sums are whole numbers; the residual means there are those sums / 500, and
// since that division is increasing and keeps distinct sums apart, the
// rising/falling decisions are made on the sums. From index 449 on the
// baseline is smoothed in place over values already smoothed: those means,
// and the residual means that reach them, are summed in doubles in index
// order as the routine sums them, eight lanes side by side. The turn values
// and the departure test are computed as the routine computes them.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "reports/signal_block.h"
#include "reports/signal_support.h"

namespace orb::signal_detail {

using namespace lanes;

namespace {

constexpr double kResidualDivisor = kResidualWindow * 50;

// The routine's residual mean of an integer window.
inline double WholeMean(std::int32_t sum) { return double(sum) / kResidualDivisor; }

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
// 0..439 over them; the smoothed baseline from index 400 to 448.
void ForwardResiduals(LaneBlock& b) {
  I32 scaled = Zero32();
  for (int k = 0; k < kBaseWindow; ++k) scaled = scaled + Widen(Load(b.base[k]));
  for (int e = 0; e < kForwardEnd; ++e) {
    const I32 r = WideMul(Load(b.x[e]), 50) - scaled;
    Store(b.residual[e], r);
    if (e >= kIntegerWindows) Store(b.tailResidual[e - kIntegerWindows], ToF64(r));
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
// already smoothed, in the routine's order, and its residual (x 50); for
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
    Store(other->tailResidual[e - kIntegerWindows], ToF64(WideMul(Load(other->x[e]), 50)) - acc2);
    Store(other->smooth[e - kSmoothFrom], acc2 / kBaseWindow);
  }
  Store(b.tailResidual[e - kIntegerWindows], ToF64(WideMul(Load(b.x[e]), 50)) - acc);
  Store(b.smooth[e - kSmoothFrom], acc / kBaseWindow);
}

// Residual means of the windows 440..499, summed in index order.
void TailMeans(LaneBlock& b) {
  for (int i = kIntegerWindows; i < kN; ++i) {
    const int lo = i <= kResidualForwardEnd ? i : i - kResidualWindow + 1;
    F64 acc = ZeroF64();
    for (int k = lo; k < lo + kResidualWindow; ++k) acc = acc + Load(b.tailResidual[k - kIntegerWindows]);
    Store(b.tailMean[i - kIntegerWindows], acc / kResidualDivisor);
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
  int candidates = 0;
  std::int16_t candidateRow[kIntegerWindows];
  std::uint8_t candidateLanes[kIntegerWindows];
  alignas(16) std::int16_t candidateTurn[kIntegerWindows][kLanes];

  // Window j (1..439), the windows taken in order.
  void step(LaneBlock& b, int j) {
    window = window + Set1(1);
    const I16 change = NarrowSigned(Load(b.residual[j + kResidualWindow - 1]) - Load(b.residual[j - 1]));
    const I16 up = Gt(change, Zero());
    const I16 down = Gt(Zero(), change);
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
  Turning t, u;
  int j = 1;
  auto turningStep = [&] {
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
  auto turnValue = [&](int at, int l) -> double {
    return at < 0 ? 0.0 : double(RoundEven(WholeMean(b.residualSum[at][l])));
  };
  for (int c = 0; c < t.candidates; ++c) {
    const int row = t.candidateRow[c];
    for (unsigned bits = t.candidateLanes[c]; bits != 0; bits &= bits - 1) {
      const int l = std::countr_zero(bits);
      if (std::abs(turnValue(t.candidateTurn[c][l], l) - WholeMean(b.residualSum[row][l])) > floorNoise[l]) {
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
    previousStart[l] = WholeMean(b.residualSum[kIntegerWindows - 1][l]);
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
  for (int j = 1; j < kIntegerWindows; ++j) out[j] = SaturateRound16(WholeMean(b.residualSum[j][lane]) - floorNoise);
  for (int j = kIntegerWindows; j < kN; ++j)
    out[j] = SaturateRound16(b.tailMean[j - kIntegerWindows][lane] - floorNoise);
}

}  // namespace orb::signal_detail
