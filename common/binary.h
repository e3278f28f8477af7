// Explicit little-endian packing of binary records: no struct layout is ever
// written or read directly.
#pragma once

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>

namespace orb {

class LeWriter {
 public:
  LeWriter& u8(std::uint8_t v) { out_.push_back(static_cast<char>(v)); return *this; }
  LeWriter& i16(std::int16_t v) { return u16(static_cast<std::uint16_t>(v)); }
  LeWriter& u16(std::uint16_t v) { return put(v, 2); }
  LeWriter& i32(std::int32_t v) { return u32(static_cast<std::uint32_t>(v)); }
  LeWriter& u32(std::uint32_t v) { return put(v, 4); }
  LeWriter& i64(std::int64_t v) { return put(static_cast<std::uint64_t>(v), 8); }
  LeWriter& f32(float v) { std::uint32_t b; std::memcpy(&b, &v, 4); return u32(b); }
  LeWriter& f64(double v) { std::uint64_t b; std::memcpy(&b, &v, 8); return put(b, 8); }
  const std::string& bytes() const { return out_; }
  std::size_t size() const { return out_.size(); }

 private:
  LeWriter& put(std::uint64_t v, int n) {
    for (int i = 0; i < n; ++i) out_.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    return *this;
  }
  std::string out_;
};

// Reads values in order; throws std::out_of_range past the end of the data.
class LeReader {
 public:
  explicit LeReader(std::string_view data) : data_(data) {}
  std::uint8_t u8() { return static_cast<std::uint8_t>(get(1)); }
  std::int16_t i16() { return static_cast<std::int16_t>(u16()); }
  std::uint16_t u16() { return static_cast<std::uint16_t>(get(2)); }
  std::int32_t i32() { return static_cast<std::int32_t>(u32()); }
  std::uint32_t u32() { return static_cast<std::uint32_t>(get(4)); }
  std::int64_t i64() { return static_cast<std::int64_t>(get(8)); }
  float f32() { std::uint32_t b = u32(); float v; std::memcpy(&v, &b, 4); return v; }
  double f64() { std::uint64_t b = get(8); double v; std::memcpy(&v, &b, 8); return v; }
  std::size_t remaining() const { return data_.size() - pos_; }
  std::size_t position() const { return pos_; }

 private:
  std::uint64_t get(int n) {
    if (remaining() < static_cast<std::size_t>(n)) throw std::out_of_range("binary record too short");
    std::uint64_t v = 0;
    for (int i = 0; i < n; ++i) v |= static_cast<std::uint64_t>(static_cast<unsigned char>(data_[pos_ + i])) << (8 * i);
    pos_ += n;
    return v;
  }
  std::string_view data_;
  std::size_t pos_ = 0;
};

}  // namespace orb
