// IntervalAnalyzer: the interval count routine for one beam or a run of
// beams of one interval. Beams go through the lane form eight at a time
// (signal_block.cpp); a beam the lanes do not take is counted by the exact
// form (signal_scalar.cpp). Both give the routine's results; this file
// gathers the beams' samples, writes the clipped samples back, keeps the
// last beam's state and appends the export lines.
#include <algorithm>
#include <vector>
#include <stdexcept>
#include <string>

#include "signal/signal_analysis.h"
#include "signal/signal_block.h"
#include "signal/signal_support.h"

namespace orb {

using signal_detail::kLanes;
using signal_detail::LaneBlock;

std::filesystem::path MarkExportFile(const std::filesystem::path& folder, int beam) {
  return folder / ("ch" + std::to_string(beam) + ".raw");
}

IntervalAnalyzer::IntervalAnalyzer(int samples)
    : samples_(samples),
      lower_(std::size_t(std::max(samples, 0)), 0),
      upper_(std::size_t(std::max(samples, 0)), 0),
      marks_(std::size_t(std::max(samples, 0)), '0') {
  if (samples < kSignalMinSamples) {
    throw std::invalid_argument("an interval of " + std::to_string(samples) + " samples is too short to analyse");
  }
}

IntervalAnalyzer::~IntervalAnalyzer() = default;

IntervalAnalyzer::IntervalAnalyzer(const IntervalAnalyzer& other)
    : samples_(other.samples_),
      lower_(other.lower_),
      upper_(other.upper_),
      marks_(other.marks_),
      noise_(other.noise_),
      level_(other.level_),
      band_(other.band_),
      exportError_(other.exportError_),
      exactFormBeams_(other.exactFormBeams_) {}

IntervalAnalyzer& IntervalAnalyzer::operator=(const IntervalAnalyzer& other) {
  if (this != &other) {
    samples_ = other.samples_;
    lower_ = other.lower_;
    upper_ = other.upper_;
    marks_ = other.marks_;
    noise_ = other.noise_;
    level_ = other.level_;
    band_ = other.band_;
    exportError_ = other.exportError_;
    exactFormBeams_ = other.exactFormBeams_;
  }
  return *this;
}

std::int16_t IntervalAnalyzer::Count(std::span<std::int16_t> raw, int beam, double snrFactor, int method,
                                     const MarkExport* exportTo) {
  std::int16_t count = 0;
  std::error_code error;
  CountBeams(raw, std::span<const int>(&beam, 1), snrFactor, method, std::span<std::int16_t>(&count, 1), exportTo,
             std::span<std::error_code>(&error, 1));
  return count;
}

void IntervalAnalyzer::CountBeams(std::span<std::int16_t> raw, std::span<const int> beams, double snrFactor,
                                  int method, std::span<std::int16_t> counts, const MarkExport* exportTo,
                                  std::span<std::error_code> exportErrors) {
  for (std::size_t k = 0; k < beams.size(); ++k) {
    CheckSignalArguments(raw.size(), beams[k], samples_);
    if (k > 0 && beams[k] <= beams[k - 1]) throw std::invalid_argument("beams not in increasing order");
  }
  if (counts.size() != beams.size() || (!exportErrors.empty() && exportErrors.size() != beams.size())) {
    throw std::invalid_argument("result spans do not match the beams");
  }
  exportError_.clear();
  exactFormBeams_ = 0;
  if (beams.empty()) return;
  const int total = static_cast<int>(beams.size());
  // Lanes hold intervals of 500 samples, and a single beam is quicker in
  // the exact form; the exact form takes intervals of any length.
  const bool inLanes = total > 1 && samples_ == kSignalSamples;
  const bool pairs = inLanes && method == kMethodMotilityIndex && beams.size() > std::size_t(kLanes);
  if (inLanes && !blocks_[0]) blocks_[0] = std::make_unique<LaneBlock>();
  if (pairs && !blocks_[1]) blocks_[1] = std::make_unique<LaneBlock>();
  const bool hasMethodTrace = method == kMethodThresholdBinary || method == kMethodThresholdAverage ||
                              method == kMethodMotilityIndex;
  auto at = [](int n, int beam) { return std::size_t(n) * kChannelSlots + std::size_t(beam); };
  const int samples = samples_;

  // The beams from `first` on into the block's lanes; unused lanes repeat
  // the first beam.
  struct Lanes {
    int first = 0, used = 0;
    int beam[kLanes];
    bool contiguous = false;
  };
  auto gather = [&](LaneBlock& b, int first) {
    Lanes g;
    g.first = first;
    g.used = std::min(kLanes, total - first);
    for (int l = 0; l < kLanes; ++l) g.beam[l] = beams[std::size_t(first + (l < g.used ? l : 0))];
    g.contiguous = g.used == kLanes && g.beam[kLanes - 1] - g.beam[0] == kLanes - 1;
    if (!g.contiguous) {
      for (int n = 0; n < kSignalSamples; ++n) {
        for (int l = 0; l < kLanes; ++l) b.x0[n][l] = raw[at(n, g.beam[l])];
      }
    }
    // Eight neighbours: the lanes read the buffer's rows and write the
    // clipped samples back themselves.
    b.rows = g.contiguous ? &raw[at(0, g.beam[0])] : nullptr;
    return g;
  };

  // Beam beams[k] counted by the exact form from its samples x (clipped in
  // place); the state of the last beam is kept.
  auto countExactly = [&](int k, int* x) {
    ++exactFormBeams_;
    const bool last = k == total - 1;
    SignalTrace upper, lower;  // traces of beams before the last, not kept
    if (!last) {
      upper.resize(static_cast<std::size_t>(samples));
      lower.resize(static_cast<std::size_t>(samples));
    }
    const signal_detail::BeamFigures f =
        signal_detail::CountSamples(x, samples, snrFactor, method, last ? upper_.data() : upper.data(),
                                    last ? lower_.data() : lower.data(), marks_.data());
    counts[std::size_t(k)] = static_cast<std::int16_t>(f.count);
    return f;
  };
  // The figures of the last beam, and the export line of beams[k] (marks_).
  auto conclude = [&](int k, const signal_detail::BeamFigures& f) {
    const bool last = k == total - 1;
    if (last) {
      noise_ = f.noise;
      level_ = f.level;
      band_ = f.band;
    }
    if (exportTo != nullptr) {
      std::string line = std::to_string(exportTo->time);
      line += ' ';
      line.append(marks_.data(), marks_.size());
      line += "\r\n";
      std::error_code error = AppendText(MarkExportFile(exportTo->folder, beams[std::size_t(k)]), line);
      if (!exportErrors.empty()) exportErrors[std::size_t(k)] = error;
      if (last) exportError_ = error;
    }
  };

  // The lanes' results, beam by beam as Count would leave them.
  auto finish = [&](LaneBlock& b, const Lanes& g) {
    if (!g.contiguous) {
      // Clipped samples of the lanes counted in lanes, back into the buffer
      // (a block of eight neighbours writes them as it clips).
      alignas(16) std::int16_t taken[kLanes];
      for (int l = 0; l < kLanes; ++l) taken[l] = l < g.used && b.exact[l] ? -1 : 0;
      const lanes::I16 takenMask = lanes::Load(taken);
      for (int n = 0; n < kSignalSamples && lanes::Any(takenMask); ++n) {
        if (lanes::Any(lanes::Gt(lanes::Load(b.x0[n]), lanes::Load(b.x[n])) & takenMask)) {
          for (int l = 0; l < g.used; ++l) {
            if (b.exact[l] && b.x[n][l] != b.x0[n][l]) raw[at(n, g.beam[l])] = b.x[n][l];
          }
        }
      }
    }
    for (int l = 0; l < g.used; ++l) {
      const int k = g.first + l;
      const int beam = g.beam[l];
      const bool last = k == total - 1;
      const bool needMarks = last || exportTo != nullptr;
      if (b.exact[l]) {
        counts[std::size_t(k)] = static_cast<std::int16_t>(b.figures[l].count);
        if (needMarks) {
          for (int n = 0; n < kSignalSamples; ++n) marks_[std::size_t(n)] = (b.events[n] >> l) & 1 ? '1' : '0';
        }
        if (last) {
          for (int n = 0; n < kSignalSamples; ++n) upper_[std::size_t(n)] = b.upper[n][l];
          if (method == kMethodMotilityIndex) {
            signal_detail::MotilityTrace(b, l, std::max(b.figures[l].noise, 5), lower_.data());
          } else if (hasMethodTrace) {
            for (int n = 0; n < kSignalSamples; ++n) lower_[std::size_t(n)] = b.lower[n][l];
          }
        }
      } else {
        int x[kSignalSamples];
        for (int n = 0; n < kSignalSamples; ++n) x[n] = b.x0[n][l];
        b.figures[l] = countExactly(k, x);
        // A block of neighbours may have written the lane's rows already.
        for (int n = 0; n < kSignalSamples; ++n) {
          if (g.contiguous || x[n] != b.x0[n][l]) raw[at(n, beam)] = static_cast<std::int16_t>(x[n]);
        }
      }
      conclude(k, b.figures[l]);
    }
  };

  if (!inLanes) {
    std::vector<int> x(static_cast<std::size_t>(samples));
    for (int k = 0; k < total; ++k) {
      const int beam = beams[std::size_t(k)];
      for (int n = 0; n < samples; ++n) x[std::size_t(n)] = raw[at(n, beam)];
      const signal_detail::BeamFigures f = countExactly(k, x.data());
      for (int n = 0; n < samples; ++n) {
        if (x[std::size_t(n)] != raw[at(n, beam)]) raw[at(n, beam)] = static_cast<std::int16_t>(x[std::size_t(n)]);
      }
      conclude(k, f);
    }
  }
  for (int first = 0; inLanes && first < total;) {
    LaneBlock& a = *blocks_[0];
    const Lanes ga = gather(a, first);
    first += ga.used;
    if (pairs && first < total) {
      // Method 2 takes two blocks at a time (see CountLanes).
      LaneBlock& b = *blocks_[1];
      const Lanes gb = gather(b, first);
      first += gb.used;
      signal_detail::CountLanes(a, snrFactor, method, &b);
      finish(a, ga);
      finish(b, gb);
    } else {
      signal_detail::CountLanes(a, snrFactor, method);
      finish(a, ga);
    }
  }
  if (!exportTo && !exportErrors.empty()) std::fill(exportErrors.begin(), exportErrors.end(), std::error_code());
}

}  // namespace orb
