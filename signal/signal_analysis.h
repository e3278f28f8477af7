// Interval signal analysis: turns one interval of raw beam samples into an
// activity count (the interval count routine) and into a body-bends
// frequency histogram (the histogram routine).
//
// Callers: the acquisition engine at every interval close in interval-analysis
// mode (auto zero), the browser's "Analyze" to show a recorded interval, and
// the raw re-analysis for every recorded interval (reports/signal_parallel.h
// shares an interval's beams between threads). All work on beams of one
// interval (Count one at a time, CountBeams several), directly on the
// caller's interval buffer:
//
//   385 values per sample slot (beams 0..383 and the spare slot 384), beam
//   index varying fastest: value of beam b in slot n at n * 385 + b. This is
//   the layout of the engine's RawBuffer and of one raw-file record
//   (acquisition/record_files.h, RawRecord::values). Slots 0..499 are read.
//
// The windows of the routines (30-sample peak means, 50-sample minima and
// means, 10-sample residual means, 5-sample smoothing) are kept as running
// sums and sliding minima, and the count routine works on eight beams side
// by side in whole numbers wherever that provably gives the same results
// (reports/signal_block.cpp); the results are identical to recomputing
// every window at every sample in reals, which the tests keep as the
// reference (tests/reports/signal_reference.h).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "common/beam_geometry.h"

namespace orb {

inline constexpr int kSignalSampleSlots = 501;   // slots 0..500 of a full interval
inline constexpr int kSignalSamples = 500;       // samples 0..499 analysed (RT_Buffer 500)
// An interval of another length (the run's RT_Buffer) is analysed whole,
// every bound of the routines taken from its end; at least this many
// samples (the peak means look 30 samples ahead, method 2's windows 50).
inline constexpr int kSignalMinSamples = 100;
inline constexpr int kBodyBendsClasses = 50;     // histogram bins 0..49
// Values a buffer must hold at least: slots 0..499 of every beam slot.
inline constexpr std::size_t kSignalMinValues = std::size_t(kChannelSlots) * kSignalSamples;
// Values of a full interval (slots 0..500), as stored in a raw file.
inline constexpr std::size_t kSignalIntervalValues = std::size_t(kChannelSlots) * kSignalSampleSlots;

// Detection methods (DSP_Method).
inline constexpr int kMethodThresholdBinary = 0;  // "0_Threshold+Binary (Old Method.w/filters)"
inline constexpr int kMethodThresholdAverage = 1; // "1_Threshold Avrg (Default.Agar&Liquid)"
inline constexpr int kMethodMotilityIndex = 2;    // "2_uOrganism (Motility Index)"

using SignalTrace = std::vector<std::int16_t>;  // one value per sample of the interval

// Where the marks of a count are exported: one line appended per call to
// the beam's file in `folder`, the interval time in decimal, one blank, then
// one character per sample (500 for RT_Buffer 500), "1" (marked sample) or
// "0", ending CR LF.
struct MarkExport {
  std::filesystem::path folder;
  std::int64_t time = 0;  // interval time in minutes
};

// The export file of a beam. The recorded name is "\ch" + beam + ".raw"
// appended to the export folder path; on this system that is the file
// "ch<beam>.raw" inside the folder (ch0.raw, ch17.raw, ...).
std::filesystem::path MarkExportFile(const std::filesystem::path& folder, int beam);

namespace signal_detail {
struct LaneBlock;
}

// The interval count routine with the state it keeps between calls: the
// lower trace of the last call (which "Analyze" draws over the signal) and,
// for inspection, the last call's upper trace, marks and noise figures.
// One object per caller; not shared between threads (each thread of a
// parallel re-analysis has its own).
class IntervalAnalyzer {
 public:
  // Intervals of `samples` samples (the run's RT_Buffer; 500 unless told).
  // std::invalid_argument below kSignalMinSamples.
  explicit IntervalAnalyzer(int samples = kSignalSamples);
  ~IntervalAnalyzer();
  // A copy keeps the state of the last call, not the working space.
  IntervalAnalyzer(const IntervalAnalyzer& other);
  IntervalAnalyzer& operator=(const IntervalAnalyzer& other);

  // The beam's activity count for the interval.
  //   raw: the whole interval buffer (layout above), at least
  //        Samples() x 385 values; samples above the beam's upper trace are
  //        clipped to it IN THIS BUFFER (only the beam's own slots change).
  //   beam: 0..384. snrFactor: the detection factor (e.g. 1.8), finite.
  //   method: 0, 1 or 2 (any other value counts nothing and leaves the
  //        lower trace as it was).
  //   exportTo: when given, the marks line is appended to
  //        MarkExportFile(exportTo->folder, beam); a failure to write it does
  //        not change the count and is kept in LastExportError().
  // Throws std::invalid_argument for a short buffer or a beam out of range.
  std::int16_t Count(std::span<std::int16_t> raw, int beam, double snrFactor, int method,
                     const MarkExport* exportTo = nullptr);

  // Count for several beams of one interval, with the results of calling it
  // for each of them in turn (counts, clipped buffer, export lines, and the
  // state left for the last beam), eight beams at a time (quickest when
  // they are neighbours).
  //   beams: strictly increasing beam numbers (0..384).
  //   counts: receives the count of beams[k] at k (same size as beams).
  //   exportErrors: when not empty (same size as beams), receives the
  //        outcome of each beam's export.
  // Throws std::invalid_argument (before changing anything) for a short
  // buffer, a beam out of range, beams not strictly increasing or spans of
  // other sizes.
  void CountBeams(std::span<std::int16_t> raw, std::span<const int> beams, double snrFactor, int method,
                  std::span<std::int16_t> counts, const MarkExport* exportTo = nullptr,
                  std::span<std::error_code> exportErrors = {});

  // Samples of an interval.
  int Samples() const { return samples_; }

  // Lower trace of the last call (methods 0 and 1: the detection threshold;
  // method 2: the residual mean minus the noise), one value per sample.
  const SignalTrace& LowerTrace() const { return lower_; }
  // Upper (clipping) trace of the last call.
  const SignalTrace& UpperTrace() const { return upper_; }
  // Marks of the last call: '1' at each counted sample, '0' elsewhere.
  std::string_view Marks() const { return std::string_view(marks_.data(), marks_.size()); }
  // Rounded noise and level of the second pass, and the second pass's band
  // (percent) of the last call.
  int Noise() const { return noise_; }
  int Level() const { return level_; }
  double Band() const { return band_; }
  // Outcome of the last call's export (empty when none was asked or it went well).
  std::error_code LastExportError() const { return exportError_; }
  // Beams of the last call counted one by one in the routine's own
  // arithmetic rather than in lanes (a single beam, samples outside
  // 0..4095, traces out of the lanes' range, or a trace term too close to
  // a whole number).
  int ExactFormBeams() const { return exactFormBeams_; }

 private:
  int samples_ = kSignalSamples;
  std::unique_ptr<signal_detail::LaneBlock> blocks_[2];  // working space, allocated when first needed
  SignalTrace lower_;
  SignalTrace upper_;
  std::string marks_;
  int noise_ = 0;
  int level_ = 0;
  double band_ = 0;
  std::error_code exportError_;
  int exactFormBeams_ = 0;
};

// The histogram routine (body bends): fills bins 0..49 with the distances,
// in samples, between successive peaks of the gap between the smoothed
// signal's envelope and the signal, ignoring gaps smaller than the band
// (rounded to an integer). The bins are cleared first. Returns 1.
// Same buffer layout and preconditions as IntervalAnalyzer::Count, over an
// interval of `samples` samples (every bound taken from its end); reads only.
int BodyBendsHistogram(std::span<const std::int16_t> raw, int beam, double band,
                       std::array<std::int32_t, kBodyBendsClasses>& bins, int samples = kSignalSamples);

}  // namespace orb
