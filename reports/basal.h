// Basal normalisation: every well's activity as a percentage of the same
// well's activity in an earlier recording of the project (the basal
// recording, a sibling acquisition folder). Runs inside the report
// generation between the re-binning and the statistics.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

#include "reports/rebinning.h"
#include "reports/report_context.h"

namespace orb {

class Operator;

// The operator's choice for wells whose basal activity is zero.
enum class ZeroBasalChoice { ReplaceWithMax = 0, ReplaceWithAverage = 1, Discard = 2 };

// Active when the basal list's text is not empty, not "-" and longer than
// 12 characters.
bool BasalActive(const std::string& basalText);

// The basal acquisition folder: the first 13 characters of the basal text,
// as a sibling of the recording's folder. A text whose first 13 characters
// could leave the project folder (a path separator, "..") names no folder
// (an empty path), which then loads as an empty recording.
std::filesystem::path BasalFolder(const std::filesystem::path& recordingFolder, const std::string& basalText);

// The basal period question and its loop: asked only when 1.5 x bin < L;
// returns a value between bin and L. The operator cannot leave it otherwise.
int AskBasalPeriod(int basalLength, int bin, Operator& op);

// Basal value per channel 0..383: the sum of the basal output bins whose
// end time is at most Z (index up to the basal's last bin), scaled by
// bin / L when L < bin and by bin / Z when bin < Z, rounded half to even.
// Throws RebinOverflow when a value does not fit 32 bits.
std::array<std::int32_t, kChannels> BasalChannelValues(const RebinResult& basal, int Z);

struct BasalOutcome {
  bool proceed = false;  // false: no report (a re-binning error or No to the zero-wells question)
  int period = 0;        // Z in minutes
  int zeroWells = 0;     // wells with zero basal activity in a group
  ZeroBasalChoice choice = ZeroBasalChoice::ReplaceWithMax;
  int discarded = 0;  // channels moved to the free group
};

// The whole normalisation: shows its messages and questions, loads and
// re-bins the basal recording, replaces the recording's counts by
// percentages of basal (at most 10000) and frees the channels it discards
// in `channelGroup`. Throws RebinOverflow from the basal's re-binning and
// for basal values that do not fit 32 bits.
BasalOutcome ApplyBasalNormalisation(const std::filesystem::path& recordingFolder, const std::string& basalText,
                                     RebinResult& recording, const ReportContext& ctx,
                                     std::array<std::int16_t, kChannelSlots>& channelGroup, Operator& op);

// The steps after the basal values are known (wells averaged, zero-activity
// wells, normalisation), for a given set of basal values.
BasalOutcome NormaliseToBasal(std::array<std::int32_t, kChannels> basal, RebinResult& recording, const ReportContext& ctx,
                              std::array<std::int16_t, kChannelSlots>& channelGroup, Operator& op);

// The texts of the dialogs.
std::string BasalPeriodQuestion(int basalLength, int bin);
std::string BasalRangeQuestion(int basalLength, int bin);
std::string ZeroBasalWellsQuestion(int count);
std::string ZeroBasalChoiceQuestion();
std::string DiscardedChannelsMessage(int count);

}  // namespace orb
