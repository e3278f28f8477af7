#include "reports/basal.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "common/format.h"
#include "common/seams.h"

namespace orb {
namespace fs = std::filesystem;

namespace {

constexpr int kFolderNameLength = 13;  // yyyymmdd_hhmm
constexpr int kIgnoredGroup = 999;
constexpr double kMaxPercent = 10000;
constexpr std::int32_t kDiscardedCount = -999;
constexpr const char* kBasalTitle = "Basal Calculation";

// The numeric value of a typed answer as the input box gives it: leading
// blanks skipped, an optional sign, digits and a decimal part; anything else
// ends the number, and no number at all is 0.
double NumericValue(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  double sign = 1;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) sign = text[i++] == '-' ? -1 : 1;
  double value = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') value = value * 10 + (text[i++] - '0');
  if (i < text.size() && text[i] == '.') {
    double scale = 0.1;
    for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, scale /= 10) value += (text[i] - '0') * scale;
  }
  return sign * value;
}

int AnswerToMinutes(const std::optional<std::string>& answer) {
  const double v = NumericValue(answer.value_or(""));
  const double limit = std::numeric_limits<int>::max();
  return static_cast<int>(RoundHalfEven(std::clamp(v, -limit, limit)));
}

bool IsNormalisedGroup(int group) { return group >= 0 && group != kIgnoredGroup; }

std::string LastCharacters(const std::string& text, std::size_t n) {
  return text.size() <= n ? text : text.substr(text.size() - n);
}

std::string WithoutTrailingSeparators(std::string path) {
  while (path.size() > 1 && (path.back() == '/' || path.back() == '\\')) path.pop_back();
  return path;
}

}  // namespace

bool BasalActive(const std::string& basalText) {
  return !basalText.empty() && basalText != "-" && basalText.size() > 12;
}

fs::path BasalFolder(const fs::path& recordingFolder, const std::string& basalText) {
  const std::string name = basalText.substr(0, kFolderNameLength);
  if (name.find_first_of("/\\") != std::string::npos || name.find("..") != std::string::npos ||
      name.find('\0') != std::string::npos)
    return {};
  return fs::path(WithoutTrailingSeparators(recordingFolder.string())).parent_path() / name;
}

std::string BasalPeriodQuestion(int basalLength, int bin) {
  return "Basal acquisition is " + std::to_string(basalLength) + "min long, and BinSize=" + std::to_string(bin) +
         "min. \r\n\r\nHow many minutes do you want to use to calculate Basal Meassurement?";
}

std::string BasalRangeQuestion(int basalLength, int bin) {
  return "Enter a value between " + std::to_string(bin) + " and " + std::to_string(basalLength);
}

std::string ZeroBasalWellsQuestion(int count) {
  return "You have " + std::to_string(count) + " BASAL WELLS with 0 activity. Proceed anyway??";
}

std::string ZeroBasalChoiceQuestion() {
  return "For ZERO Activity Basal Wells:\r\n"
         "[YES] to replace <BASAL Well> with <MAX Well Activity>\r\n"
         "[NO] to replace <BASAL Well> with <BASAL Microplate Average>\r\n"
         "[CANCEL] to DISCARD Well in Calculation\r\n"
         "\r\n"
         "TO BE APPLIED TO ALL 0 ACTIVITY BASAL WELLs";
}

std::string DiscardedChannelsMessage(int count) {
  return "ERROR in " + std::to_string(count) +
         " BASAL channels.\r\nChannels were discarded and transferred to Free Group";
}

int AskBasalPeriod(int L, int bin, Operator& op) {
  if (1.5 * bin >= L) return bin;
  const int proposed = L < 2 * bin ? bin : 2 * bin;
  auto valid = [&](int z) { return bin <= z && z <= L; };
  auto askPeriod = [&] {
    return AnswerToMinutes(op.input(BasalPeriodQuestion(L, bin), kBasalTitle, std::to_string(proposed)));
  };
  auto askRange = [&] {
    return AnswerToMinutes(op.input(BasalRangeQuestion(L, bin), kBasalTitle, std::to_string(bin)));
  };
  int z = askPeriod();
  while (!valid(z)) {
    z = askRange();
    if (valid(z)) break;
    z = askPeriod();
  }
  return z;
}

std::array<std::int32_t, kChannels> BasalChannelValues(const RebinResult& basal, int Z) {
  std::array<std::int32_t, kChannels> values{};
  const int bin = basal.bin;
  const int L = basal.endTime.empty() ? 0 : *std::max_element(basal.endTime.begin(), basal.endTime.end());
  for (int ch = 0; ch < kChannels; ++ch) {
    std::int64_t sum = 0;
    int last = 0;  // the last bin summed, named when the value does not fit
    for (int i = 0; i <= basal.lastBin && i < basal.outputBins() && basal.endTime[i] <= Z; ++i) {
      sum += basal.counts[i][ch];
      last = i;
    }
    double value = static_cast<double>(sum);
    if (L < bin && L > 0) value = static_cast<double>(RoundHalfEven(value * bin / L));
    if (bin < Z) value = static_cast<double>(RoundHalfEven(value * bin / Z));
    // Basal values are 32-bit like the re-binned counts they come from.
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max())
      throw RebinOverflow(last);
    values[ch] = static_cast<std::int32_t>(value);
  }
  return values;
}

BasalOutcome NormaliseToBasal(std::array<std::int32_t, kChannels> basal, RebinResult& rec, const ReportContext& ctx,
                              std::array<std::int16_t, kChannelSlots>& channelGroup, Operator& op) {
  BasalOutcome out;
  // The recording's bins 0 to its last bin: a partial bin the tail rule
  // dropped is not reported, and its counts never become a basal value.
  const int bins = std::clamp(rec.lastBin + 1, 0, rec.outputBins());

  // All beams of a well get the well's mean basal value and mean curve.
  std::vector<double> wellBasalMean(static_cast<std::size_t>(ctx.wellCount()), -1);
  for (int w = 0; w < ctx.wellCount(); ++w) {
    std::vector<int> members;
    for (int b = 0; b < ctx.beamCount(); ++b)
      if (int ch = ctx.wellChannel(w, b); ch >= 0) members.push_back(ch);
    if (members.empty()) continue;
    double basalSum = 0;
    for (int ch : members) basalSum += basal[ch];
    const double mean = basalSum / members.size();
    wellBasalMean[w] = mean;
    for (int i = 0; i < bins; ++i) {
      double curve = 0;
      for (int ch : members) curve += rec.counts[i][ch];
      // The mean of 32-bit counts fits 32 bits.
      const auto value = static_cast<std::int32_t>(RoundHalfEven(curve / members.size()));
      for (int ch : members) rec.counts[i][ch] = value;
    }
    for (int ch : members) basal[ch] = static_cast<std::int32_t>(RoundHalfEven(mean));
  }

  // Wells of a group whose basal activity is exactly zero need a decision.
  for (int w = 0; w < ctx.wellCount(); ++w) {
    const int first = ctx.wellChannel(w, 0);
    if (wellBasalMean[w] == 0 && first >= 0 && IsNormalisedGroup(channelGroup[first])) ++out.zeroWells;
  }
  if (out.zeroWells > 0) {
    if (op.ask(ZeroBasalWellsQuestion(out.zeroWells), Buttons::YesNo) != Answer::Yes) return out;
    switch (op.ask(ZeroBasalChoiceQuestion(), Buttons::YesNoCancel)) {
      case Answer::Yes: out.choice = ZeroBasalChoice::ReplaceWithMax; break;
      case Answer::No: out.choice = ZeroBasalChoice::ReplaceWithAverage; break;
      default: out.choice = ZeroBasalChoice::Discard; break;
    }
  }

  auto normalised = [&](int ch) { return ctx.channelWell(ch) >= 0 && IsNormalisedGroup(channelGroup[ch]); };
  for (int ch = 0; ch < kChannels; ++ch) {
    if (!normalised(ch)) continue;
    if (basal[ch] < 1) {
      if (out.choice == ZeroBasalChoice::ReplaceWithMax) {
        std::int32_t highest = std::numeric_limits<std::int32_t>::min();
        for (int i = 0; i < bins; ++i) highest = std::max<std::int32_t>(highest, rec.counts[i][ch]);
        if (bins > 0) basal[ch] = highest;
      } else if (out.choice == ZeroBasalChoice::ReplaceWithAverage) {
        // The plate average as it stands now: values replaced earlier in
        // this pass count with their new value.
        double sum = 0;
        int n = 0;
        for (int other = 0; other < kChannels; ++other) {
          if (!normalised(other)) continue;
          sum += basal[other];
          ++n;
        }
        basal[ch] = static_cast<std::int32_t>(RoundHalfEven(sum / n));
      } else {
        basal[ch] = -1;
        channelGroup[ch] = -1;
      }
    }
    if (basal[ch] < 1) {
      channelGroup[ch] = -1;
      ++out.discarded;
      for (int i = 0; i < bins; ++i) rec.counts[i][ch] = kDiscardedCount;
      continue;
    }
    for (int i = 0; i < bins; ++i) {
      const double percent = std::min(rec.counts[i][ch] * 100.0 / basal[ch], kMaxPercent);
      rec.counts[i][ch] = static_cast<std::int32_t>(RoundHalfEven(percent));
    }
  }
  if (out.discarded > 0) op.inform(DiscardedChannelsMessage(out.discarded));
  out.proceed = true;
  return out;
}

BasalOutcome ApplyBasalNormalisation(const fs::path& recordingFolder, const std::string& basalText,
                                     RebinResult& recording, const ReportContext& ctx,
                                     std::array<std::int16_t, kChannelSlots>& channelGroup, Operator& op) {
  const std::string recordingPath = WithoutTrailingSeparators(recordingFolder.string());
  op.inform("Using Groups Selected in Experiment: " + LastCharacters(recordingPath, 20));

  RecordSeries series;
  const fs::path folder = BasalFolder(recordingFolder, basalText);
  if (folder.empty()) {
    op.inform("Error loading " +
              (fs::path(recordingPath).parent_path() / basalText.substr(0, kFolderNameLength) / kCountsFile).string());
  } else {
    series = LoadRecordSeriesFromFolder(folder, op);
  }
  const RebinResult basal = Rebin(series, recording.bin);
  if (basal.lastBin < 0) {
    op.inform("Resampling ERROR");
    return {};
  }
  const int L = basal.endTime.empty() ? 0 : *std::max_element(basal.endTime.begin(), basal.endTime.end());
  const int Z = AskBasalPeriod(L, recording.bin, op);
  BasalOutcome out = NormaliseToBasal(BasalChannelValues(basal, Z), recording, ctx, channelGroup, op);
  out.period = Z;
  return out;
}

}  // namespace orb
