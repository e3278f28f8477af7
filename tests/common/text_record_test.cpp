#include "common/text_record.h"

#include <gtest/gtest.h>

#include <random>

#include "common/encoding.h"

namespace orb {
namespace {

TEST(RecordReader, FieldsIgnoreLineBreaksAndQuotes) {
  RecordReader r("\"Config: <a>, <b>\"\r\n3,5,4,0\r\n");
  EXPECT_EQ(r.readText(), "Config: <a>, <b>");  // the comma inside quotes is kept
  EXPECT_EQ(r.readInt16(), 3);
  EXPECT_EQ(r.readInt16(), 5);
  EXPECT_EQ(r.readInt16(), 4);
  EXPECT_EQ(r.readInt16(), 0);
  EXPECT_TRUE(r.atEnd());
  EXPECT_THROW(r.readInt16(), RecordError);

  // The same fields spread over other lines read the same.
  RecordReader spread("\"h\",3\n5\r4\r\n0");
  EXPECT_EQ(spread.readText(), "h");
  EXPECT_EQ(spread.readInt16(), 3);
  EXPECT_EQ(spread.readInt16(), 5);
  EXPECT_EQ(spread.readInt16(), 4);
  EXPECT_EQ(spread.readInt16(), 0);
  EXPECT_TRUE(spread.atEnd());
}

TEST(RecordReader, BlanksAndTextAfterClosingQuote) {
  RecordReader r("   \"a b\"  junk,  12  ,\"\",x y \r\n");
  EXPECT_EQ(r.readText(), "a b");
  EXPECT_EQ(r.readInt16(), 12);
  EXPECT_EQ(r.readText(), "");
  EXPECT_EQ(r.readText(), "x y");
  EXPECT_TRUE(r.atEnd());
}

TEST(RecordReader, NumbersOfTheWrongKindOrRangeFail) {
  EXPECT_THROW(RecordReader("abc").readInt16(), RecordError);
  EXPECT_THROW(RecordReader("32768").readInt16(), RecordError);
  EXPECT_THROW(RecordReader("-32769").readInt16(), RecordError);
  EXPECT_EQ(RecordReader("-32768").readInt16(), -32768);
  EXPECT_THROW(RecordReader("").readInt16(), RecordError);
  EXPECT_THROW(RecordReader(",5").readInt16(), RecordError);  // empty field
  EXPECT_THROW(RecordReader("1e999").readReal(), RecordError);
  EXPECT_THROW(RecordReader("12abc").readInt16(), RecordError);
  EXPECT_THROW(RecordReader("\"x\"").readReal(), RecordError);
  EXPECT_THROW(RecordReader("yes").readBool(), RecordError);
}

TEST(RecordReader, RealsWithOrWithoutLeadingZero) {
  RecordReader r(".5,0.25,-.5,3,2.5,1E-3,#TRUE#,#FALSE#");
  EXPECT_DOUBLE_EQ(r.readReal(), 0.5);
  EXPECT_DOUBLE_EQ(r.readReal(), 0.25);
  EXPECT_DOUBLE_EQ(r.readReal(), -0.5);
  EXPECT_DOUBLE_EQ(r.readReal(), 3.0);
  // A real where an integer is wanted rounds half to even.
  EXPECT_EQ(r.readInt16(), 2);
  EXPECT_DOUBLE_EQ(r.readReal(), 0.001);
  EXPECT_TRUE(r.readBool());
  EXPECT_FALSE(r.readBool());
}

TEST(RecordReader, TrailingBlankLinesAreTheEnd) {
  RecordReader r("1\r\n\r\n  \r\n");
  EXPECT_EQ(r.readInt16(), 1);
  EXPECT_TRUE(r.atEnd());
}

TEST(RecordReader, WholeLinesAndWindows1252) {
  RecordReader r("\"Temp [\xB0" "C]\",x\r\nline two,\"q\"\r\nlast");
  EXPECT_EQ(r.readText(), "Temp [\u00B0C]");
  EXPECT_EQ(r.readText(), "x");
  EXPECT_EQ(r.readLine(), "line two,\"q\"");
  EXPECT_EQ(r.readLine(), "last");
  EXPECT_THROW(r.readLine(), RecordError);
}

TEST(RecordReader, UnclosedQuoteRunsToTheEnd) {
  RecordReader r("\"abc\r\ndef");
  EXPECT_EQ(r.readText(), "abc\r\ndef");
  EXPECT_TRUE(r.atEnd());
}

TEST(RecordReader, MissingFileFails) {
  EXPECT_THROW(RecordReader::fromFile("/nonexistent/folder/config.dat"), RecordError);
}

TEST(RecordReader, RandomAndTruncatedBytesNeverCrash) {
  std::mt19937 rng(12345);
  const std::string good = "\"Project Setup: <Num_proj>\"\r\n1,\"Default\",\"/x/p00001/\",\"k96f\"\r\n1,30,99,500,1,30\r\n";
  for (int round = 0; round < 3000; ++round) {
    std::string bytes;
    if (round % 2 == 0) {
      bytes = good.substr(0, rng() % (good.size() + 1));
    } else {
      std::size_t n = rng() % 200;
      for (std::size_t i = 0; i < n; ++i) bytes.push_back(static_cast<char>(rng() % 256));
    }
    RecordReader r(bytes);
    int fields = 0;
    while (!r.atEnd() && fields < 1000) {
      try {
        switch (rng() % 4) {
          case 0: r.readText(); break;
          case 1: r.readInt16(); break;
          case 2: r.readReal(); break;
          default: r.readLine(); break;
        }
      } catch (const RecordError&) {
      }
      ++fields;
    }
    // Every field consumes at least one byte, so the loop always ends.
    ASSERT_LE(fields, static_cast<int>(bytes.size()) + 1);
  }
}

TEST(RecordWriter, LinesFieldsAndQuotes) {
  RecordWriter w;
  w.text("Config: <Actual_Project_Number>, <Last_Project>,<Serial_COM>,<Restart_Time>").endLine();
  w.int16(3).int16(5).int16(-1).int16(0).endLine();
  w.int16(7).real(2.5).real(3).boolean(true).boolean(false).endLine();
  EXPECT_EQ(w.bytes(),
            "\"Config: <Actual_Project_Number>, <Last_Project>,<Serial_COM>,<Restart_Time>\"\r\n"
            "3,5,-1,0\r\n"
            "7,2.5,3,#TRUE#,#FALSE#\r\n");
}

TEST(RecordWriter, RefusesTextsThatWouldNotReadBack) {
  RecordWriter w;
  EXPECT_THROW(w.text("a \"quoted\" name"), RecordError);
  EXPECT_THROW(w.text("\u4E2D"), RecordError);  // not in Windows-1252
  w.text("Temp [\u00B0C]");
  EXPECT_EQ(w.bytes(), "\"Temp [\xB0" "C]\"");
}

TEST(RecordWriter, RawLinesAreNotQuoted) {
  RecordWriter w;
  w.int16(1).rawLine("1,\"Growth test\",\"x\"").rawLine("end");
  EXPECT_EQ(w.bytes(), "1\r\n1,\"Growth test\",\"x\"\r\nend\r\n");
}

TEST(FormatPlainReal, NoExponentNoTrailingZeros) {
  EXPECT_EQ(FormatPlainReal(3), "3");
  EXPECT_EQ(FormatPlainReal(2.5), "2.5");
  EXPECT_EQ(FormatPlainReal(0.25), "0.25");
  EXPECT_EQ(FormatPlainReal(-0.5), "-0.5");
  EXPECT_EQ(FormatPlainReal(0), "0");
  EXPECT_EQ(FormatPlainReal(-0.0), "0");
  EXPECT_EQ(FormatPlainReal(1e20), "100000000000000000000");
  EXPECT_EQ(FormatPlainReal(0.000015), "0.000015");
  EXPECT_EQ(FormatPlainReal(0.1 + 0.2), "0.3");  // 15 significant digits
  EXPECT_EQ(FormatPlainReal(4.567), "4.567");
}

TEST(Encoding, RoundTripsEveryByte) {
  std::string all;
  for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
  auto back = Utf8ToCp1252(Cp1252ToUtf8(all));
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(*back, all);
  EXPECT_EQ(Cp1252ToUtf8("\x80"), "\u20AC");
  EXPECT_FALSE(Utf8ToCp1252("\xC3").has_value());  // cut UTF-8 sequence
}

}  // namespace
}  // namespace orb
