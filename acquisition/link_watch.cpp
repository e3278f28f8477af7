#include "acquisition/link_watch.h"

namespace orb {

void LinkWatch::Start(Time now) {
  lastValid_ = now;
  lost_ = false;
}

LinkWatch::Change LinkWatch::Observe(bool validBlock, Time now) {
  if (validBlock) {
    const bool wasLost = lost_;
    lost_ = false;
    lastValid_ = now;
    return wasLost ? Change::Back : Change::None;
  }
  if (!lost_ && now - lastValid_ >= kSilenceLimit) {
    lost_ = true;
    nextReopen_ = now + kReopenEvery;
    return Change::Lost;
  }
  return Change::None;
}

bool LinkWatch::ReopenDue(Time now) {
  if (!lost_ || now < nextReopen_) return false;
  nextReopen_ = now + kReopenEvery;
  return true;
}

namespace {

std::string Seconds(LinkWatch::Time t) { return std::to_string(t.count() / 1000) + " s"; }

}  // namespace

std::string LinkLostText(LinkWatch::Time silent) {
  return "Instrument link lost: no valid reply for " + Seconds(silent) +
         ". The samples are repeated until it answers again; the port is reopened every " +
         Seconds(LinkWatch::kReopenEvery) + ".";
}

std::string LinkBackText(LinkWatch::Time silent) {
  return "Instrument link back after " + Seconds(silent) + " without a valid reply.";
}

}  // namespace orb
