#include "rtmp/diag_log.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/rtmp/captured_diag.h"

namespace {

struct LevelCase {
  int threshold;
  int level;
  const char* text;
  const char* expected;
};

TEST(DiagLog, LevelsNamesAndFilter) {
  const LevelCase cases[] = {
      {1, 1, "Couldn't read header!", "\rERROR: Couldn't read header!\n"},
      {1, 0, "x", "\rCRIT: x\n"},
      {1, 2, "x", ""},
      {1, 4, "x", ""},
      {1, 1, "AMFObjectProperty::Dump, no-name.", ""},
      {5, 1, "no-name.", "\rERROR: no-name.\n"},
      {7, 3, "x", "\rINFO: x\n"},
      {7, 7, "x", "\rINFO: x\n"},
      {7, 2, "x", "\rWARNING: x\n"},
      {7, 4, "x", "\rDEBUG: x\n"},
  };
  for (const auto& c : cases) {
    CapturedDiag cap(c.threshold);
    DiagLog(c.level, "%s", c.text);
    EXPECT_EQ(cap.Text(), c.expected) << "threshold " << c.threshold << " level " << c.level;
  }
}

TEST(DiagLog, CutsLongTextAt2047) {
  CapturedDiag cap(1);
  std::string longText(3000, 'a');
  DiagLog(1, "%s", longText.c_str());
  EXPECT_EQ(cap.Text(), "\rERROR: " + std::string(2047, 'a') + "\n");
}

TEST(DiagPrint, WritesRawTextUnlessThresholdIsZero) {
  {
    CapturedDiag cap(1);
    DiagPrint("duration%s%d", "\t", 12);
    EXPECT_EQ(cap.Text(), "duration\t12");
  }
  {
    CapturedDiag cap(0);
    DiagPrint("text");
    EXPECT_EQ(cap.Text(), "");
  }
}

}  // namespace
