#include "tools/tamborel-get/progress_text.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

TEST(ProgressText, CountsPastThirtyTwoBits) {
  struct Case {
    ProgressState state;
    int width;
    const char* text;
  } cases[] = {
      {{int64_t{4608} << 20, (int64_t{1} << 32) + 1, 1 << 20}, 30,
       "[##########################    ]  88.89%  4.00 GB / 4.50 GB  1.00 MB/s  00:08:31 left"},
      {{int64_t{1} << 31, (int64_t{1} << 31) - 1, 3000000000}, 0,
       "100.00%  1.99 GB / 2.00 GB  2.79 GB/s  00:00:00 left"},
      {{0, int64_t{5} << 30, 0}, 0, "  0.00%  5.00 GB / ?  0.00 KB/s  ??:??:?? left"},
  };
  for (const Case& c : cases) EXPECT_EQ(ProgressText(c.state, c.width), c.text);
}

}  // namespace
