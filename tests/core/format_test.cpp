#include "core/format.h"

#include <gtest/gtest.h>

namespace {

TEST(FormatSize, UnitsAndTruncatedHundredths) {
  struct Case {
    uint64_t n;
    const char* text;
  } cases[] = {
      {0, "0 Byte"},
      {999, "999 Byte"},
      {1000, "0.97 KB"},                    // below 1 KB but four digits
      {1536, "1.50 KB"},
      {1023999, "999.99 KB"},
      {1024000, "0.97 MB"},
      {1048576, "1.00 MB"},
      {1000u * 1048576 - 1, "999.99 MB"},
      {1000u * 1048576, "0.97 GB"},
      {3221225472u, "3.00 GB"},
      {4294967295u, "3.99 GB"},             // hundredths truncated
      {2147483647u, "1.99 GB"},
      {2147483648u, "2.00 GB"},
      {4294967297u, "4.00 GB"},             // past 32 bits
      {4831838208u, "4.50 GB"},
      {1100ull << 30, "1100.00 GB"},        // no larger unit
  };
  for (const Case& c : cases) EXPECT_EQ(FormatSize(c.n), c.text) << c.n;
}

TEST(FormatSpeed, ZeroHasItsOwnText) {
  EXPECT_EQ(FormatSpeed(0), "0.00 KB/s");
  EXPECT_EQ(FormatSpeed(500), "500 Byte/s");
  EXPECT_EQ(FormatSpeed(2048), "2.00 KB/s");
}

TEST(FormatSeconds, PaddedPartsAndLongHours) {
  struct Case {
    int64_t t;
    const char* text;
  } cases[] = {
      {0, "00:00:00"},
      {9, "00:00:09"},
      {10, "00:00:10"},
      {3725, "01:02:05"},
      {359999, "99:59:59"},
      {360000, "100:00:00"},
      {-5, "00:00:00"},  // a clock step backwards
  };
  for (const Case& c : cases) EXPECT_EQ(FormatSeconds(c.t), c.text) << c.t;
}

}  // namespace
