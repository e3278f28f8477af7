#include "common/text_record.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "common/encoding.h"
#include "common/format.h"

namespace orb {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

std::string Trimmed(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return std::string(s.substr(b, e - b));
}

// A plain decimal number: optional sign, digits with an optional period
// (a leading zero is optional), optional exponent. Nothing else.
bool ParseDecimal(const std::string& text, double& out) {
  if (text.empty()) return false;
  std::size_t i = 0;
  if (text[i] == '+' || text[i] == '-') ++i;
  bool digits = false;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, digits = true;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, digits = true;
  }
  if (!digits) return false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    bool expDigits = false;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, expDigits = true;
    if (!expDigits) return false;
  }
  if (i != text.size()) return false;
  // strtod follows the C locale's period, which is the one used here.
  errno = 0;
  char* end = nullptr;
  out = std::strtod(text.c_str(), &end);
  return end == text.c_str() + text.size() && std::isfinite(out);
}

}  // namespace

RecordReader::RecordReader(std::string bytes) : bytes_(std::move(bytes)) {}

RecordReader RecordReader::fromFile(const std::filesystem::path& file) {
  // Settings files are small; a file far larger than any of them is read
  // only as far as a reader could need, so an enormous file costs no memory.
  constexpr std::size_t kMaxBytes = 16u << 20;
  std::ifstream in(file, std::ios::binary);
  if (!in) throw RecordError("cannot open " + file.string());
  std::string bytes(kMaxBytes, '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(kMaxBytes));
  if (in.bad()) throw RecordError("cannot read " + file.string());
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  return RecordReader(std::move(bytes));
}

bool RecordReader::atEnd() const {
  for (std::size_t i = pos_; i < bytes_.size(); ++i)
    if (!IsBlank(bytes_[i]) && !IsLineEnd(bytes_[i])) return false;
  return true;
}

std::string RecordReader::readRawField() {
  std::size_t n = bytes_.size();
  while (pos_ < n && IsBlank(bytes_[pos_])) ++pos_;
  if (pos_ >= n) throw RecordError("read past the end of the file");
  std::string field;
  if (bytes_[pos_] == '"') {
    std::size_t close = bytes_.find('"', pos_ + 1);
    if (close == std::string::npos) close = n;
    field = bytes_.substr(pos_ + 1, close - pos_ - 1);
    pos_ = close < n ? close + 1 : n;
    // Whatever stands between the closing quote and the delimiter is dropped.
    while (pos_ < n && bytes_[pos_] != ',' && !IsLineEnd(bytes_[pos_])) ++pos_;
  } else {
    std::size_t start = pos_;
    while (pos_ < n && bytes_[pos_] != ',' && !IsLineEnd(bytes_[pos_])) ++pos_;
    field = Trimmed(std::string_view(bytes_).substr(start, pos_ - start));
  }
  if (pos_ < n) {
    if (bytes_[pos_] == ',') {
      ++pos_;
    } else if (bytes_[pos_] == '\r') {
      ++pos_;
      if (pos_ < n && bytes_[pos_] == '\n') ++pos_;
    } else {
      ++pos_;  // LF
    }
  }
  return field;
}

std::string RecordReader::readText() { return Cp1252ToUtf8(readRawField()); }

std::int32_t RecordReader::readInt32() {
  std::string f = readRawField();
  double v = 0;
  if (!ParseDecimal(f, v)) throw RecordError("not a number: \"" + f + "\"");
  double r = std::nearbyint(v);
  if (r < -2147483648.0 || r > 2147483647.0) throw RecordError("number out of range: " + f);
  return static_cast<std::int32_t>(r);
}

std::int16_t RecordReader::readInt16() {
  std::int32_t v = readInt32();
  if (v < -32768 || v > 32767) throw RecordError("number out of the 16-bit range: " + std::to_string(v));
  return static_cast<std::int16_t>(v);
}

double RecordReader::readReal() {
  std::string f = readRawField();
  double v = 0;
  if (!ParseDecimal(f, v)) throw RecordError("not a number: \"" + f + "\"");
  return v;
}

bool RecordReader::readBool() {
  std::string f = readRawField();
  if (f == "#TRUE#") return true;
  if (f == "#FALSE#") return false;
  throw RecordError("not a boolean: \"" + f + "\"");
}

std::string RecordReader::readLine() {
  std::size_t n = bytes_.size();
  if (pos_ >= n) throw RecordError("read past the end of the file");
  std::size_t start = pos_;
  while (pos_ < n && !IsLineEnd(bytes_[pos_])) ++pos_;
  std::string line = bytes_.substr(start, pos_ - start);
  if (pos_ < n && bytes_[pos_] == '\r') ++pos_;
  if (pos_ < n && bytes_[pos_] == '\n') ++pos_;
  return Cp1252ToUtf8(line);
}

// ---------------------------------------------------------------------------

void RecordWriter::separator() {
  if (lineStarted_) out_.push_back(',');
  lineStarted_ = true;
}

RecordWriter& RecordWriter::text(std::string_view utf8) {
  if (utf8.find('"') != std::string_view::npos)
    throw RecordError("a text holding a double quote cannot be stored: " + std::string(utf8));
  auto bytes = Utf8ToCp1252(utf8);
  if (!bytes) throw RecordError("a text holding characters a settings file cannot hold: " + std::string(utf8));
  separator();
  out_ += '"';
  out_ += *bytes;
  out_ += '"';
  return *this;
}

RecordWriter& RecordWriter::int16(int value) {
  separator();
  out_ += std::to_string(value);
  return *this;
}

RecordWriter& RecordWriter::real(double value) {
  separator();
  out_ += FormatPlainReal(value);
  return *this;
}

RecordWriter& RecordWriter::boolean(bool value) {
  separator();
  out_ += value ? "#TRUE#" : "#FALSE#";
  return *this;
}

RecordWriter& RecordWriter::rawLine(std::string_view utf8) {
  auto bytes = Utf8ToCp1252(utf8);
  if (!bytes) throw RecordError("a line holding characters a settings file cannot hold");
  if (lineStarted_) endLine();
  out_ += *bytes;
  out_ += "\r\n";
  return *this;
}

RecordWriter& RecordWriter::endLine() {
  out_ += "\r\n";
  lineStarted_ = false;
  return *this;
}

std::string FormatPlainReal(double value) {
  if (!std::isfinite(value)) return "0";
  // 15 significant digits, then the decimal point placed by hand so that no
  // exponent appears, then trailing zeros dropped.
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.14e", value);
  std::string s(buf);
  bool negative = s[0] == '-';
  if (negative) s.erase(0, 1);
  std::size_t e = s.find('e');
  int exp = std::atoi(s.c_str() + e + 1);
  std::string digits = s.substr(0, 1) + s.substr(2, e - 2);  // 15 digits
  std::string intPart, frac;
  if (exp >= 0) {
    if (static_cast<std::size_t>(exp + 1) >= digits.size()) {
      intPart = digits + std::string(exp + 1 - digits.size(), '0');
    } else {
      intPart = digits.substr(0, exp + 1);
      frac = digits.substr(exp + 1);
    }
  } else {
    intPart = "0";
    frac = std::string(-exp - 1, '0') + digits;
  }
  while (!frac.empty() && frac.back() == '0') frac.pop_back();
  std::string out = intPart;
  if (!frac.empty()) out += "." + frac;
  if (negative && out != "0") out.insert(0, "-");
  return out;
}

}  // namespace orb
