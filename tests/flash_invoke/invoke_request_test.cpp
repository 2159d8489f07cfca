// The invoke-request texts both programs send, byte for byte, and the
// control's parser taking them back, unescaped values and all.
#include "flash/invoke_request.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using flash::InvokeArgument;
using flash::InvokeCall;
using flash::ParseInvokeRequest;
namespace invoke = flash::invoke;

TEST(InvokeRequest, TextsOfBothPrograms) {
  const struct {
    std::string built;
    const char* expected;
  } cases[] = {
      {invoke::SetMoive("C:/v/a.flv"),
       "<invoke name=\"SetMoive\" returntype=\"xml\"><arguments><string>C:/v/a.flv</string></arguments></invoke>"},
      {invoke::PlayMovie(), "<invoke name=\"PlayMovie\" returntype=\"xml\"><arguments></arguments></invoke>"},
      {invoke::PauseMovie(), "<invoke name=\"PauseMovie\" returntype=\"xml\"><arguments></arguments></invoke>"},
      {invoke::StopMovie(), "<invoke name=\"StopMovie\" returntype=\"xml\"><arguments></arguments></invoke>"},
      {invoke::SetSound(75),
       "<invoke name=\"SetSound\" returntype=\"xml\"><arguments><string>75</string></arguments></invoke>"},
      {invoke::SetSound(0),
       "<invoke name=\"SetSound\" returntype=\"xml\"><arguments><string>0</string></arguments></invoke>"},
      {invoke::SetProcess(12345 / 1000.0),
       "<invoke name=\"SetProcess\" returntype=\"xml\"><arguments><number>12.345</number></arguments></invoke>"},
      {invoke::SetProcess(0),
       "<invoke name=\"SetProcess\" returntype=\"xml\"><arguments><number>0.000</number></arguments></invoke>"},
      {invoke::SetProcess(98.5),
       "<invoke name=\"SetProcess\" returntype=\"xml\"><arguments><number>98.500</number></arguments></invoke>"},
      {invoke::SetSize(200),
       "<invoke name=\"SetSize\" returntype=\"xml\"><arguments><string>200</string></arguments></invoke>"},
      {invoke::SetFullScreen(),
       "<invoke name=\"SetFullScreen\" returntype=\"xml\"><arguments></arguments></invoke>"},
      {invoke::SetRestoreScreen(),
       "<invoke name=\"SetRestoreScreen\" returntype=\"xml\"><arguments></arguments></invoke>"},
      {invoke::ShowFrame(), "<invoke name=\"ShowFrame\" returntype=\"xml\"><arguments></arguments></invoke>"},
      {invoke::HideFrame(), "<invoke name=\"HideFrame\" returntype=\"xml\"><arguments></arguments></invoke>"},
      {invoke::CloseMovie(), "<invoke name=\"CloseMovie\" returntype=\"xml\"><arguments></arguments></invoke>"},
      {invoke::SetMovie("/d/clip.flv", 7),
       "<invoke name=\"SetMovie\" returntype=\"xml\"><arguments><string>/d/clip.flv</string><string>true</string>"
       "<string>7</string></arguments></invoke>"},
      {invoke::SetMovie("/d/clip.flv", -1),
       "<invoke name=\"SetMovie\" returntype=\"xml\"><arguments><string>/d/clip.flv</string><string>true</string>"
       "<string>-1</string></arguments></invoke>"},
      {invoke::setMovie("rtmp://h/app/s"),
       "<invoke name=\"setMovie\" returntype=\"xml\"><arguments><string>rtmp://h/app/s</string></arguments></invoke>"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.built, c.expected);
}

TEST(InvokeRequest, ValuesTravelUnescaped) {
  const std::string path = "/v/Tom & \"Jerry\" <1>.flv";
  EXPECT_EQ(invoke::SetMoive(path),
            "<invoke name=\"SetMoive\" returntype=\"xml\"><arguments><string>" + path +
                "</string></arguments></invoke>");
}

// Paths a parser that treats the text as XML would mangle or refuse.
TEST(InvokeRequest, ParserGivesBackAwkwardValuesUnchanged) {
  const std::string paths[] = {
      "/v/Tom & Jerry.flv",
      "/v/a<b>.flv",
      "/v/say \"hi\".flv",
      "/v/&amp;&lt;.flv",
      "/v/</string>.flv",
      "/v/x</string><string>y.flv",
      "/v/<![CDATA[x]]>.flv",
      "",
      "http://h/get?a=1&b=<2>",
  };
  for (const std::string& p : paths) {
    SCOPED_TRACE(p);
    InvokeCall call;
    ASSERT_TRUE(ParseInvokeRequest(invoke::SetMoive(p), 1, &call));
    EXPECT_EQ(call.name, "SetMoive");
    ASSERT_EQ(call.arguments.size(), 1u);
    EXPECT_EQ(call.arguments[0].value, p);

    ASSERT_TRUE(ParseInvokeRequest(invoke::SetMovie(p, 12), 3, &call));
    EXPECT_EQ(call.name, "SetMovie");
    ASSERT_EQ(call.arguments.size(), 3u);
    EXPECT_EQ(call.arguments[0].value, p);
    EXPECT_EQ(call.arguments[1].value, "true");
    EXPECT_EQ(call.arguments[2].value, "12");
  }
}

TEST(InvokeRequest, ParsesKindsAndEmptyArgumentLists) {
  InvokeCall call;
  ASSERT_TRUE(ParseInvokeRequest(invoke::SetProcess(3.25), &call));
  EXPECT_EQ(call.name, "SetProcess");
  ASSERT_EQ(call.arguments.size(), 1u);
  EXPECT_EQ(call.arguments[0].kind, InvokeArgument::Number);
  EXPECT_EQ(call.arguments[0].value, "3.250");

  ASSERT_TRUE(ParseInvokeRequest(invoke::PlayMovie(), &call));
  EXPECT_EQ(call.name, "PlayMovie");
  EXPECT_TRUE(call.arguments.empty());
  EXPECT_TRUE(ParseInvokeRequest(invoke::PlayMovie(), 0, &call));
  EXPECT_FALSE(ParseInvokeRequest(invoke::PlayMovie(), 1, &call));
  EXPECT_FALSE(ParseInvokeRequest(invoke::SetMoive("a"), 0, &call));
  EXPECT_FALSE(ParseInvokeRequest(invoke::SetMoive("a"), 2, &call));

  // Without a known arity, the shortest well-formed split.
  ASSERT_TRUE(ParseInvokeRequest(invoke::SetMovie("/p", 3), &call));
  ASSERT_EQ(call.arguments.size(), 3u);
  EXPECT_EQ(call.arguments[0].value, "/p");
}

TEST(InvokeRequest, RejectsWhatNoHostSends) {
  const char* bad[] = {
      "",
      "<invoke name=\"\" returntype=\"xml\"><arguments></arguments></invoke>",
      "<invoke name=\"A\" returntype=\"xml\"><arguments></arguments>",
      "<invoke name=\"A\" returntype=\"js\"><arguments></arguments></invoke>",
      "<invoke name=\"A\" returntype=\"xml\"><arguments>x</arguments></invoke>",
      "<invoke name=\"A\" returntype=\"xml\"><arguments><string>x</number></arguments></invoke>",
      "<invoke name=\"A\" returntype=\"xml\"><arguments><string></arguments></invoke>",
      "<invoke name=\"A\" returntype=\"xml\"><arguments><bool>1</bool></arguments></invoke>",
      " <invoke name=\"A\" returntype=\"xml\"><arguments></arguments></invoke>",
      "<invoke name=\"A\" returntype=\"xml\"><arguments></arguments></invoke> ",
      "<invoke name=\"A",
  };
  for (const char* b : bad) {
    SCOPED_TRACE(b);
    InvokeCall call;
    EXPECT_FALSE(ParseInvokeRequest(b, &call));
  }
}

}  // namespace
