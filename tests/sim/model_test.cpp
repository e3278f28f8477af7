#include "sim/model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "tests/support/pty_client.h"

namespace orb::sim {
namespace {

using testing::Bytes;
using testing::Frame;
using namespace std::chrono_literals;

InstrumentOptions Options(bool animals = false, std::uint32_t seed = 1) {
  InstrumentOptions o;
  o.serial = 257, o.seed = seed, o.animals = animals;
  return o;
}

Bytes Ask(InstrumentModel& m, const Bytes& bytes) {  // the replies, joined
  Bytes out;
  for (const Reply& r : m.receive(bytes)) out.insert(out.end(), r.begin(), r.end());
  return out;
}

void WriteSetting(InstrumentModel& m, int ch, int index) {  // index = pinhole x 8 + gain
  auto setting = static_cast<std::uint8_t>((index % 8) * 32 + index / 8);
  Ask(m, ch < 128 ? Frame(0x80, ch, setting) : Frame(0x81, ch - 128, setting));
}

std::vector<int> ReadAll(InstrumentModel& m) {  // by channel, as the block layout places them
  std::vector<int> v(kChannels, -1);
  for (int s = 0; s < 128; s += 32) {
    Bytes r = Ask(m, Frame(0x00, 0x30, s));
    EXPECT_EQ(r.size(), 192u);
    for (int k = 0; k < 96 && r.size() == 192; ++k) v[s + k / 3 + 128 * (k % 3)] = r[2 * k] * 256 + r[2 * k + 1];
  }
  return v;
}

TEST(InstrumentModel, AnswersEveryFrameHoweverItArrives) {
  InstrumentModel m(Options());
  const std::pair<Bytes, Bytes> cases[] = {
      {Frame(0x00, 0x00, 0x00), {1, 2}},        // identify: 1 x 255 + 2
      {Frame(0x81, 0x02, 0x65), {0x02, 0x65}},  // channel 130
      {Frame(0x81, 0xFF, 0xE7), {0xFF, 0xE7}},  // channel 383: B2 = 0xFF is data
      {Frame(0x80, 0x05, 0x00), {0x05, 0x00}},  // channel 5
      {Frame(0x80, 0x83, 0x01), {0x83, 0x01}},  // factory byte 3 ...
      {Frame(0x00, 0x20, 0x83), {0x01, 0x00}},  // ... read back
      {Frame(0x00, 0x20, 0x85), {219, 0x00}},
      {Frame(0x00, 0x10, 0x05), {}},            // outputs: no reply
      {Frame(0x00, 0x21, 0x00), {112, 0x00}},   // 22 deg C = (22 + 2.5) / 0.219
      {Frame(0x00, 0x55, 0x00), {}},            // unknown command
      {Frame(0x00, 0x20, 0x90), {}},            // no such factory address
  };
  for (const auto& [frame, reply] : cases) EXPECT_EQ(Ask(m, frame), reply) << int(frame[1]) << "/" << int(frame[2]);
  EXPECT_TRUE(m.channelSetting(130) == 0x65 && m.channelSetting(383) == 0xE7 && m.channelSetting(5) == 0);
  EXPECT_TRUE(m.channelSetting(2) == kDefaultSetting && m.factoryByte(3) == 1 && m.outputs() == 5);

  Bytes piecewise;  // byte by byte
  for (std::uint8_t b : Frame(0x81, 0xFF, 0x21)) piecewise.push_back(static_cast<std::uint8_t>(Ask(m, {b}).size()));
  EXPECT_EQ(piecewise, (Bytes{0, 0, 0, 0, 2}));
  EXPECT_EQ(m.channelSetting(383), 0x21);
  Bytes many = {0x12, 0xF0, 0x00};  // noise, then three frames at once
  for (int i = 0; i < 3; ++i) many.insert(many.end(), {0xFF, 0x00, 0x00, 0x00, 0xF0});
  EXPECT_EQ(m.receive(many).size(), 3u);
  // A frame broken off, or a stray start marker, before a whole frame.
  EXPECT_EQ(Ask(m, Bytes{0xFF, 0x00, 0x20, 0xFF, 0x00, 0x00, 0x00, 0xF0}), (Bytes{1, 2}));
  EXPECT_EQ(Ask(m, Bytes{0xFF, 0xFF, 0x00, 0x00, 0x00, 0xF0}), (Bytes{1, 2}));
}

TEST(InstrumentModel, BlockLayoutPlacesChannels) {
  InstrumentModel m(Options());
  for (int ch = 0; ch < kChannels; ++ch) WriteSetting(m, ch, 0);
  const int lit[3] = {40, 168, 296};  // position 40: block 32, readings 24, 25, 26
  const int index[3] = {63, 19, 8};
  for (int i = 0; i < 3; ++i) WriteSetting(m, lit[i], index[i]);
  Bytes r = Ask(m, Frame(0x00, 0x30, 32));
  ASSERT_EQ(r.size(), 192u);
  for (int k = 0; k < 96; ++k) {
    int ch = 32 + k / 3 + 128 * (k % 3), v = r[2 * k] * 256 + r[2 * k + 1];
    double expected = (ch == 40 || ch == 168 || ch == 296) ? m.level(ch) : 0.0;
    EXPECT_NEAR(v, expected, 0.02 * expected + 20) << ch;
  }
  EXPECT_TRUE(m.level(40) > m.level(168) && m.level(168) > m.level(296));
}

// The calibration's stepping rule, run against the model through frames.
TEST(InstrumentModel, CalibrationStepsEveryBeamIntoTheBand) {
  for (std::uint32_t seed : {1u, 2u, 77u}) {
    InstrumentModel m(Options(false, seed));
    std::vector<int> index(kChannels, 2 * 8 + 3), dir(kChannels, 0);
    std::vector<bool> done(kChannels, false), inBand(kChannels, false);
    for (int ch = 0; ch < kChannels; ++ch) WriteSetting(m, ch, index[ch]);
    bool final = false;
    for (int pass = 0; !final && pass < 20; ++pass) {
      final = true;
      std::vector<int> r = ReadAll(m);
      for (int ch = 0; ch < kChannels; ++ch) {
        if (done[ch]) continue;
        if (r[ch] >= 1638 && r[ch] <= 1843) {
          done[ch] = inBand[ch] = true;
          continue;
        }
        final = false;
        if (r[ch] < 1638 && dir[ch] != -1) {
          if (index[ch] == 63) done[ch] = true;
          else ++index[ch], dir[ch] = 1;
        } else if (r[ch] > 1843 && dir[ch] != 1) {
          if (index[ch] <= 8) done[ch] = true;
          else --index[ch], dir[ch] = -1;
        } else if (r[ch] < 1638) {
          done[ch] = true;
        } else {
          dir[ch] = 0;
        }
        if (!done[ch]) WriteSetting(m, ch, index[ch]);
      }
    }
    EXPECT_TRUE(final) << "seed " << seed;
    for (int ch = 0; ch < kChannels; ++ch) {
      EXPECT_TRUE(inBand[ch] && index[ch] > 8 && index[ch] < 63) << "seed " << seed << " channel " << ch;
      // Later readings stay in the band but for noise at its edges.
      EXPECT_TRUE(m.level(ch) > 1638 - 25 && m.level(ch) < 1843 + 25) << "channel " << ch;
    }
  }
}

TEST(InstrumentModel, DarkAtLowestAndBrightAtHighestSetting) {
  InstrumentModel m(Options(true));  // animals or not, the self-test must pass
  for (int ch = 0; ch < kChannels; ++ch) WriteSetting(m, ch, 0);
  for (int i = 0; i < 20; ++i, m.advance(70ms))
    for (int v : ReadAll(m)) EXPECT_LE(v, 20);
  for (int ch = 0; ch < kChannels; ++ch) WriteSetting(m, ch, 63);
  int lowest = 4095;
  for (int i = 0; i < 200; ++i, m.advance(70ms))
    for (int v : ReadAll(m)) lowest = std::min(lowest, v);
  EXPECT_GE(lowest, 1639);  // the self-test's high check is 1638.4
}

TEST(InstrumentModel, AnimalsMakeShortDipsThatDifferBetweenWells) {
  InstrumentModel m(Options(true, 5));
  std::vector<int> dips(kChannels, 0), run(kChannels, 0), longest(kChannels, 0);
  for (int i = 0; i < 1000; ++i, m.advance(70ms)) {  // 70 s
    std::vector<int> r = ReadAll(m);
    for (int ch = 0; ch < kChannels; ++ch) {
      bool below = r[ch] < 0.95 * m.level(ch);  // a band of 5 %, beyond the noise
      dips[ch] += below && run[ch] == 0;
      run[ch] = below ? run[ch] + 1 : 0;
      longest[ch] = std::max(longest[ch], run[ch]);
    }
  }
  int quiet = 0, active = 0;
  std::set<int> distinct(dips.begin(), dips.end());
  for (int ch = 0; ch < kChannels; ++ch) {
    EXPECT_LE(longest[ch], 5) << ch;  // a crossing lasts at most 0.3 s
    EXPECT_TRUE(m.activity(ch) > 0 || dips[ch] == 0) << ch;
    quiet += dips[ch] == 0;
    active += dips[ch] >= 20;
  }
  EXPECT_TRUE(quiet > 10 && active > 50 && distinct.size() > 20) << quiet << " " << active << " " << distinct.size();
  InstrumentModel same(Options(true, 5)), other(Options(true, 6));
  int differ = 0, equal = 0;
  for (int ch = 0; ch < kChannels; ++ch) {
    differ += other.activity(ch) != m.activity(ch);
    equal += same.activity(ch) == m.activity(ch);
  }
  EXPECT_TRUE(equal == kChannels && differ > 300);
}

TEST(InstrumentModel, TemperatureFollowsTheOutputs) {
  InstrumentModel m(Options());
  auto raw = [&] { return Ask(m, Frame(0x00, 0x21, 0x00)).at(0); };
  int ambient = raw();
  Ask(m, Frame(0x00, 0x10, 0x02));  // heat mode, unpowered
  m.advance(600s);
  EXPECT_EQ(raw(), ambient);
  Ask(m, Frame(0x00, 0x10, 0x03));  // heating
  m.advance(600s);
  EXPECT_TRUE(m.temperature() > 35.0 && raw() > ambient + 50);
  Ask(m, Frame(0x00, 0x10, 0x01));  // cooling
  m.advance(1200s);
  EXPECT_LT(m.temperature(), 12.0);
  int cold = raw();
  Ask(m, Frame(0x80, 0x84, 0x00));  // a new calibration changes the PC's view, not the sensor
  EXPECT_EQ(raw(), cold);
  Ask(m, Frame(0x00, 0x10, 0x04));  // light only
  m.advance(3600s);
  EXPECT_NEAR(m.temperature(), kAmbientTemperature, 0.3);
}

TEST(InstrumentModel, Faults) {
  InstrumentOptions o = Options();
  o.faults.silent = true;
  InstrumentModel m(o);
  EXPECT_TRUE(Ask(m, Frame(0x00, 0x00, 0x00)).empty());
  EXPECT_TRUE(Ask(m, Frame(0x80, 0x07, 0xE7)).empty());
  EXPECT_EQ(m.channelSetting(7), 0xE7);  // it still listens

  Faults f;
  f.shortReplyEvery = 3;
  m.setFaults(f);
  std::vector<std::size_t> sizes;
  for (int s : {0, 0x30, 0x30, 0}) sizes.push_back(Ask(m, Frame(0x00, s, 0x00)).size());
  EXPECT_EQ(sizes, (std::vector<std::size_t>{2, 192, 191, 2}));

  f = {};
  f.badHighBytes = f.wrongEcho = true;
  f.deadBeams = {0, 200, 383};
  m.setFaults(f);
  Bytes block = Ask(m, Frame(0x00, 0x30, 0x00));
  ASSERT_EQ(block.size(), 192u);
  int high = 0;
  for (int k = 0; k < 96; ++k) high += block[2 * k] > 15;
  EXPECT_EQ(high, 1);
  Bytes echo = Ask(m, Frame(0x81, 0x02, 0xE7));
  EXPECT_TRUE(echo.size() == 2 && echo[0] != 0x02);
  EXPECT_EQ(m.channelSetting(130), 0xE7);

  f.badHighBytes = f.wrongEcho = false;
  m.setFaults(f);
  for (int ch = 0; ch < kChannels; ++ch) WriteSetting(m, ch, 63);
  std::vector<int> r = ReadAll(m);
  EXPECT_TRUE(r[0] == 0 && r[200] == 0 && r[383] == 0);
  EXPECT_TRUE(r[1] > 2000 && r[382] > 2000);

  // Crossed beams 5 and 40: lighting one lights the other; a later change
  // of faults uncrosses them.
  f = {};
  f.crossedBeams = {{5, 40}};
  m.setFaults(f);
  for (int ch = 0; ch < kChannels; ++ch) WriteSetting(m, ch, 0);
  WriteSetting(m, 5, 63);
  r = ReadAll(m);
  EXPECT_LT(r[5], 100);
  EXPECT_GT(r[40], 2000);
  EXPECT_GT(m.level(40), 2000.0);
  m.setFaults({});
  r = ReadAll(m);
  EXPECT_GT(r[5], 2000);
  EXPECT_LT(r[40], 100);
}

}  // namespace
}  // namespace orb::sim
