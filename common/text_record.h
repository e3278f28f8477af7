// Comma-separated text records: the one reader and writer of every settings
// file (config.dat, setup.dat, status.dat, plate files, ...).
//
// Files are CR LF text in Windows-1252. In memory every text is UTF-8: the
// reader converts text fields from Windows-1252, the writer converts back and
// refuses what Windows-1252 cannot hold.
#pragma once

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

namespace orb {

// A field that is missing, of the wrong kind, or out of range; a file that
// cannot be opened. Loaders catch it and apply their recovery.
class RecordError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads fields in order, whatever their spread over lines:
// - a field ends at a comma or at the end of a line (CR LF, LF or CR);
// - leading blanks are skipped; an unquoted field loses its trailing blanks;
// - a quoted field ends at its closing quote and loses its quotes; anything
//   between the closing quote and the next comma or line end is ignored;
// - a field that ends at a line end consumes that line end.
class RecordReader {
 public:
  // `bytes` is the raw file content (Windows-1252).
  explicit RecordReader(std::string bytes);

  // Reads a whole file; throws RecordError when it cannot be read.
  static RecordReader fromFile(const std::filesystem::path& file);

  // True when nothing but blanks and line ends is left.
  bool atEnd() const;

  std::string readText();     // converted to UTF-8
  std::int16_t readInt16();   // integer in -32768..32767, else RecordError
  std::int32_t readInt32();
  double readReal();          // plain decimal, with or without a leading zero
  bool readBool();            // #TRUE# / #FALSE#
  // A whole line without its line end (raw, converted to UTF-8).
  std::string readLine();

 private:
  std::string readRawField();
  std::string bytes_;
  std::size_t pos_ = 0;
};

// Builds CR LF lines of comma-separated fields.
class RecordWriter {
 public:
  // Quoted text. Throws RecordError when the text holds a double quote (it
  // could not be read back as written) or a character Windows-1252 lacks.
  RecordWriter& text(std::string_view utf8);
  RecordWriter& int16(int value);   // plain decimal
  RecordWriter& real(double value); // plain decimal, no exponent, no trailing zeros
  RecordWriter& boolean(bool value);  // #TRUE# / #FALSE#
  // A line printed raw (converted to Windows-1252, not quoted).
  RecordWriter& rawLine(std::string_view utf8);
  RecordWriter& endLine();

  const std::string& bytes() const { return out_; }

 private:
  void separator();
  std::string out_;
  bool lineStarted_ = false;
};

// Text of a real as the writer prints it: 15 significant digits, no exponent,
// no trailing zeros, a leading zero before the period ("3", "2.5", "0.25").
std::string FormatPlainReal(double value);

}  // namespace orb
