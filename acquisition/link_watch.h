// Watches the instrument's replies during a run. A bad reply repeats the
// previous sample, which is right for one lost block but makes up whole
// intervals when the instrument stops answering (unplugged, switched off).
// The watch says when no valid block has arrived for kSilenceLimit (the
// link is lost), when one arrives again (the link is back), and when the
// port is due to be opened again while the link is lost (a USB serial
// adapter comes back under the same name).
#pragma once

#include <chrono>
#include <string>

namespace orb {

class LinkWatch {
 public:
  using Time = std::chrono::milliseconds;  // the steady clock of the run
  static constexpr Time kSilenceLimit{5000};
  static constexpr Time kReopenEvery{3000};

  enum class Change { None, Lost, Back };

  // The run (or blank reading) starts: the link counts as answering.
  void Start(Time now);
  // A tick without reads (a paused run): the silence does not grow while
  // nothing is asked of the instrument (a lost link stays lost).
  void Idle(Time now) {
    if (!lost_) lastValid_ = now;
  }
  // After a tick's block reads: `validBlock` when at least one block of the
  // tick came back whole. Lost once after kSilenceLimit without a valid
  // block; Back with the first valid block after that.
  Change Observe(bool validBlock, Time now);
  // While the link is lost: true every kReopenEvery (the first time
  // kReopenEvery after the loss was noticed).
  bool ReopenDue(Time now);

  bool lost() const { return lost_; }
  // How long the instrument has been (or, right after Back, was) silent.
  Time silentFor(Time now) const { return now - lastValid_; }
  Time lastValid() const { return lastValid_; }

 private:
  Time lastValid_{0};
  Time nextReopen_{0};
  bool lost_ = false;
};

// The texts of the link's changes, for the operator and events.log.
std::string LinkLostText(LinkWatch::Time silent);
std::string LinkBackText(LinkWatch::Time silent);

}  // namespace orb
