// The virtual instrument: serves the instrument's serial protocol on a
// pseudo-terminal, so that the program, the command line and the tests run
// the real serial path without hardware.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace orb::sim {

// Awkward cases the instrument can be told to show.
struct Faults {
  bool silent = false;          // never answers
  int shortReplyEvery = 0;      // every n-th reply loses its last byte (0 = never)
  bool badHighBytes = false;    // block replies carry high bytes above 15
  bool wrongEcho = false;       // verified writes echo a wrong byte
  int delayMs = 0;              // extra delay before every reply
  std::vector<int> deadBeams;   // channels that always read 0
  // Pairs of channels whose beams are crossed: each reads the light that
  // the other's setting gives (a swapped wire in the instrument).
  std::vector<std::pair<int, int>> crossedBeams;
};

struct InstrumentOptions {
  int serial = 100;             // identity: answered as serial / 255, serial % 255
  std::array<int, 8> factory = {0, 6, 24, 1, 25, 219, 0, 0};  // factory memory 80+k
  Faults faults;
  bool paced = false;           // frames arrive and replies leave at the speed of 115200 baud 8N1
  std::uint32_t seed = 1;       // noise and animals are repeatable for a seed
  bool animals = true;          // false: an empty plate slot, beams never dip
  // When set: a symbolic link at this path names the terminal while the
  // instrument serves, and is removed when it stops, as a USB serial
  // adapter's device name comes and goes with the cable. A program given
  // this path finds the instrument again after stop() and start().
  std::string linkPath;
};

class InstrumentModel;  // the instrument itself: frames in, replies out (model.h)

// Owns a pseudo-terminal pair and a thread that answers frames written to
// the terminal's device path.
class VirtualInstrument {
 public:
  explicit VirtualInstrument(InstrumentOptions options = {});
  ~VirtualInstrument();  // stops serving
  VirtualInstrument(const VirtualInstrument&) = delete;
  VirtualInstrument& operator=(const VirtualInstrument&) = delete;

  // Opens the pseudo-terminal and starts serving; returns its device path
  // (for example /dev/pts/7), or throws std::system_error. After stop()
  // it starts again on a new terminal (the model keeps its state).
  std::string start();
  // Stops serving and closes the terminal: a program using it sees the
  // device go away (its reads and writes fail), as with a pulled cable.
  void stop();
  const std::string& devicePath() const { return path_; }

  // The instrument's state, for tests and the command line (thread-safe).
  InstrumentModel& model();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  std::string path_;
};

}  // namespace orb::sim
