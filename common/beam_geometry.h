// The instrument's beams (channels) and how they are read and drawn.
//
// 384 beams, 0..383, sit at 128 positions with three beams each: beam
// = position + 128 * k, k = 0, 1, 2. Per-beam tables and records have 385
// slots; slot 384 is spare (counts.bin carries the temperature there).
// The instrument answers a block request with the 96 beams of 32
// positions; the four blocks start at positions 0, 32, 64 and 96.
// For display and testing the beams form a grid of 16 rows by 24 columns
// numbered down the columns: beam c sits in row c mod 16, column c div 16.
#pragma once

namespace orb {

inline constexpr int kChannels = 384;      // beams 0..383
inline constexpr int kChannelSlots = 385;  // per-beam tables; slot 384 is spare
inline constexpr int kPositions = 128;     // beam = position + kPositions * k
inline constexpr int kBeamsPerPosition = 3;

inline constexpr int kBlockPositions = 32;                        // positions per block
inline constexpr int kBlockChannels = kBlockPositions * kBeamsPerPosition;  // 96 beams per block
inline constexpr int kBlockStarts[4] = {0, 32, 64, 96};

inline constexpr int kGridRows = 16;
inline constexpr int kGridColumns = 24;

// The beam that is reading `index` (0..95) of the block starting at `start`:
// readings go position by position, the three beams of a position in turn.
constexpr int BlockChannel(int start, int index) {
  return start + index / kBeamsPerPosition + kPositions * (index % kBeamsPerPosition);
}
// The block (0..3) a beam is read in.
constexpr int BlockOfChannel(int channel) { return (channel % kPositions) / kBlockPositions; }

constexpr int GridRowOfChannel(int c) { return c % kGridRows; }
constexpr int GridColumnOfChannel(int c) { return c / kGridRows; }

}  // namespace orb
