#include "rtmp/amf.h"

#include <gtest/gtest.h>

#include <string>

#include "rtmp/amf_bytes.h"
#include "tests/rtmp/amf_test_bytes.h"
#include "tests/rtmp/captured_diag.h"

namespace {

// Builds AMF0 bytes with the writers under test.
class Writer {
 public:
  Writer& Number(double v) {
    return Put([&](char* o, const char* e) { return AMFEncodeNumber(o, e, v); });
  }
  Writer& Boolean(bool v) {
    return Put([&](char* o, const char* e) { return AMFEncodeBoolean(o, e, v); });
  }
  Writer& String(std::string_view v) {
    return Put([&](char* o, const char* e) { return AMFEncodeString(o, e, v); });
  }
  Writer& Named(std::string_view name, double v) {
    return Put([&](char* o, const char* e) { return AMFEncodeNamedNumber(o, e, name, v); });
  }
  Writer& Named(std::string_view name, bool v) {
    return Put([&](char* o, const char* e) { return AMFEncodeNamedBoolean(o, e, name, v); });
  }
  Writer& Named(std::string_view name, const char* v) {
    return Put([&](char* o, const char* e) { return AMFEncodeNamedString(o, e, name, v); });
  }
  Writer& End() {
    return Put([](char* o, const char* e) { return AMFEncodeInt24(o, e, kAMFObjectEnd); });
  }
  Writer& Raw(const std::string& bytes) {
    out += bytes;
    return *this;
  }
  std::string out;

 private:
  template <typename F>
  Writer& Put(F write) {
    char buf[512];
    const int n = write(buf, buf + sizeof buf);
    EXPECT_GT(n, 0);
    out.append(buf, n);
    return *this;
  }
};

int DecodeAll(AMFObject& obj, const std::string& bytes, bool names) {
  ExactBuffer buf(bytes);
  return obj.Decode(buf.data(), buf.size(), names);
}

TEST(AMFObject, CommandBodyRoundTrip) {
  const std::string body = Writer()
                               .String("_result")
                               .Number(1)
                               .Raw(Bytes({0x03}))
                               .Named("fmsVer", "FMS/3,5,7,7009")
                               .Named("capabilities", 31.0)
                               .Named("fpad", false)
                               .End()
                               .Raw(Bytes({0x05}))
                               .Boolean(true)
                               .String("")
                               .out;
  AMFObject obj;
  ASSERT_EQ(DecodeAll(obj, body, false), static_cast<int>(body.size()));
  ASSERT_EQ(obj.GetPropertyCount(), 6);
  EXPECT_EQ(obj.GetProperty(0).GetType(), AMF_STRING);
  EXPECT_EQ(obj.GetProperty(0).GetString(), "_result");
  EXPECT_EQ(obj.GetProperty(1).GetNumber(), 1);
  const AMFObjectProperty& info = obj.GetProperty(2);
  ASSERT_EQ(info.GetType(), AMF_OBJECT);
  const AMFObject& props = info.GetObject();
  ASSERT_EQ(props.GetPropertyCount(), 3);
  EXPECT_EQ(props.GetProperty("fmsVer").GetString(), "FMS/3,5,7,7009");
  EXPECT_EQ(props.GetProperty("capabilities").GetNumber(), 31);
  EXPECT_EQ(props.GetProperty("fpad").GetType(), AMF_BOOLEAN);
  EXPECT_FALSE(props.GetProperty("fpad").GetBoolean());
  EXPECT_EQ(obj.GetProperty(3).GetType(), AMF_NULL);
  // Values shorter than an end marker at the end of a sequence still count.
  EXPECT_EQ(obj.GetProperty(4).GetType(), AMF_BOOLEAN);
  EXPECT_TRUE(obj.GetProperty(4).GetBoolean());
  EXPECT_EQ(obj.GetProperty(5).GetType(), AMF_STRING);
  EXPECT_EQ(obj.GetProperty(5).GetString(), "");
}

struct MarkerCase {
  std::string bytes;
  int result;
  AMFDataType type;
  const char* log;  // written at the DEBUG threshold, or ""
};

// One value of each AMF0 marker, decoded without a name.
TEST(AMFObjectProperty, MarkerTable) {
  const MarkerCase cases[] = {
      {Bytes({0x00, 0x40, 0x09, 0x21, 0xFB, 0x54, 0x44, 0x2D, 0x18}), 9, AMF_NUMBER, ""},
      {Bytes({0x01, 0x01}), 2, AMF_BOOLEAN, ""},
      {Bytes({0x01, 0x02}), 2, AMF_BOOLEAN, ""},
      {Bytes({0x02, 0x00, 0x02, 'h', 'i'}), 5, AMF_STRING, ""},
      {Bytes({0x03, 0x00, 0x01, 'a', 0x05, 0x00, 0x00, 0x09}), 8, AMF_OBJECT, ""},
      {Bytes({0x04}), -1, AMF_INVALID, "\rERROR: AMF_MOVIE_CLIP not supported!\n"},
      {Bytes({0x05}), 1, AMF_NULL, ""},
      {Bytes({0x06}), 1, AMF_NULL, ""},
      {Bytes({0x07, 0x00, 0x01}), -1, AMF_INVALID, "\rERROR: AMF_REFERENCE not supported!\n"},
      {Bytes({0x08, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x01, 'a', 0x05, 0x00, 0x00, 0x09}), 12,
       AMF_OBJECT, ""},
      {Bytes({0x09}), -1, AMF_INVALID,
       "\rDEBUG: AMFObjectProperty::Decode - unknown datatype 0x09, @0x"},
      {Bytes({0x0A, 0x00, 0x00, 0x00, 0x02, 0x05, 0x01, 0x01}), 8, AMF_OBJECT, ""},
      {Bytes({0x0B, 0x42, 0x74, 0, 0, 0, 0, 0, 0, 0xFF, 0xC4}), 11, AMF_DATE,
       "\rDEBUG: AMF_DATE\n"},
      {Bytes({0x0C, 0, 0, 0, 3, 'a', 'b', 'c'}), 8, AMF_STRING,
       "\rWARNING: AMF_LONG_STRING not tested!\n"},
      {Bytes({0x0D}), 1, AMF_NULL, ""},
      {Bytes({0x0E}), -1, AMF_INVALID, "\rERROR: AMF_RECORDSET not supported!\n"},
      {Bytes({0x0F, 0, 0, 0, 0}), -1, AMF_INVALID, "\rERROR: AMF_XML not supported!\n"},
      {Bytes({0x10, 0, 1, 'C'}), -1, AMF_INVALID, "\rERROR: AMF_CLASS_OBJECT not supported!\n"},
      {Bytes({0x11, 0x0A, 0x03, 0x01}), 4, AMF_OBJECT, "\rERROR: AMF_AMF3_OBJECT to be tested!\n"},
      {Bytes({0x12}), -1, AMF_INVALID,
       "\rDEBUG: AMFObjectProperty::Decode - unknown datatype 0x12, @0x"},
      {Bytes({0xFF}), -1, AMF_INVALID,
       "\rDEBUG: AMFObjectProperty::Decode - unknown datatype 0xff, @0x"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.bytes));
    CapturedDiag diag(DIAG_DEBUG);
    ExactBuffer buf(c.bytes);
    AMFObjectProperty prop;
    EXPECT_EQ(prop.Decode(buf.data(), buf.size(), false), c.result);
    if (c.result > 0) {
      EXPECT_EQ(prop.GetType(), c.type);
    }
    if (*c.log) {
      EXPECT_NE(diag.Text().find(c.log), std::string::npos) << diag.Text();
    }
  }
}

TEST(AMFObjectProperty, DecodedValues) {
  AMFObjectProperty prop;
  const std::string pi = Bytes({0x00, 0x40, 0x09, 0x21, 0xFB, 0x54, 0x44, 0x2D, 0x18});
  ASSERT_EQ(prop.Decode(pi.data(), 9, false), 9);
  EXPECT_DOUBLE_EQ(prop.GetNumber(), 3.141592653589793);

  const std::string notTrue = Bytes({0x01, 0x02});
  ASSERT_EQ(prop.Decode(notTrue.data(), 2, false), 2);
  EXPECT_EQ(prop.GetNumber(), 0);

  const std::string date = Bytes({0x0B, 0x42, 0x74, 0, 0, 0, 0, 0, 0, 0xFF, 0xC4});
  ASSERT_EQ(prop.Decode(date.data(), 11, false), 11);
  EXPECT_EQ(prop.GetNumber(), 1374389534720.0);
  EXPECT_EQ(prop.GetUTCOffset(), -60);

  // The text ends at a zero byte; the whole length is consumed, for the
  // name as for the value.
  const std::string zeros = Bytes({0x00, 0x03, 'a', 0, 'b', 0x02, 0x00, 0x04, 'x', 'y', 0, 'z'});
  ASSERT_EQ(prop.Decode(zeros.data(), static_cast<int>(zeros.size()), true), 12);
  EXPECT_EQ(prop.GetName(), "a");
  EXPECT_EQ(prop.GetString(), "xy");

  const std::string longText(300, 'L');
  const std::string longString = Bytes({0x0C, 0, 0, 0x01, 0x2C}) + longText;
  ExactBuffer buf(longString);
  ASSERT_EQ(prop.Decode(buf.data(), buf.size(), false), 305);
  EXPECT_EQ(prop.GetString(), longText);

  const std::string bigText(0x8000, 'S');
  ExactBuffer big(Bytes({0x02, 0x80, 0x00}) + bigText);
  ASSERT_EQ(prop.Decode(big.data(), big.size(), false), 0x8003);
  EXPECT_EQ(prop.GetString(), bigText);

  // A strict array keeps its values in order, unnamed.
  const std::string array = Bytes({0x0A, 0, 0, 0, 2, 0x02, 0, 1, 'q', 0x01, 0x01});
  ASSERT_EQ(prop.Decode(array.data(), static_cast<int>(array.size()), false), 11);
  ASSERT_EQ(prop.GetObject().GetPropertyCount(), 2);
  EXPECT_EQ(prop.GetObject().GetProperty(0).GetString(), "q");
  EXPECT_EQ(prop.GetObject().GetProperty(1).GetName(), "");
  EXPECT_TRUE(prop.GetObject().GetProperty(1).GetBoolean());
}

// Short and garbled inputs fail with -1 and read nothing past the end.
TEST(AMFObjectProperty, TruncatedAndHostileInputsFail) {
  struct BadCase {
    const char* what;
    std::string bytes;
    bool decodeName;
    const char* log;  // at DEBUG; "" for no message at all, null when not checked
  };
  const BadCase cases[] = {
      {"empty", Bytes({}), false,
       "\rDEBUG: AMFObjectProperty::Decode: Empty buffer/no buffer pointer!\n"},
      {"number cut", Bytes({0x00, 1, 2, 3, 4, 5, 6, 7}), false, ""},
      {"boolean cut", Bytes({0x01}), false, ""},
      {"string length cut", Bytes({0x02, 0x00}), false, ""},
      {"string body cut", Bytes({0x02, 0x00, 0x03, 'a', 'b'}), false, ""},
      {"string length huge", Bytes({0x02, 0xFF, 0xFF, 'a'}), false, ""},
      {"date cut", Bytes({0x0B, 0, 0, 0, 0, 0, 0, 0, 0, 0}), false, "\rDEBUG: AMF_DATE\n"},
      {"long string huge", Bytes({0x0C, 0xFF, 0xFF, 0xFF, 0xFF, 'a'}), false,
       "\rWARNING: AMF_LONG_STRING not tested!\n"},
      {"long string count cut", Bytes({0x0C, 0, 0}), false,
       "\rWARNING: AMF_LONG_STRING not tested!\n"},
      {"ecma count cut", Bytes({0x08, 0, 0, 0}), false, ""},
      {"ecma without end", Bytes({0x08, 0, 0, 0, 1, 0, 1, 'a', 0x05}), false, ""},
      {"object without end", Bytes({0x03, 0x00, 0x01, 'a', 0x05}), false, ""},
      {"object marker last", Bytes({0x03}), false, ""},
      {"strict array count cut", Bytes({0x0A, 0, 0, 0}), false, ""},
      {"strict array 3 of 2", Bytes({0x0A, 0, 0, 0, 3, 0x05, 0x05}), false, nullptr},
      {"strict array count huge", Bytes({0x0A, 0x7F, 0xFF, 0xFF, 0xFF, 0x05}), false, nullptr},
      {"amf3 switch last", Bytes({0x11}), false, nullptr},
      {"amf3 header cut", Bytes({0x11, 0x0A, 0x83}), false, nullptr},
      {"name below 4 bytes", Bytes({0x00, 0x01, 'a'}), true,
       "\rDEBUG: AMFObjectProperty::Decode: Not enough data for decoding with name, less then 4 "
       "bytes!\n"},
      {"name too long", Bytes({0x00, 0x09, 'a', 'b', 0x05}), true,
       "\rDEBUG: AMFObjectProperty::Decode: Name size out of range: namesize (9) > len (5) - 2\n"},
      {"name and no value", Bytes({0x00, 0x02, 'a', 'b'}), true, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CapturedDiag diag(DIAG_DEBUG);
    ExactBuffer buf(c.bytes);
    AMFObjectProperty prop;
    EXPECT_EQ(prop.Decode(buf.size() ? buf.data() : nullptr, buf.size(), c.decodeName), -1);
    if (c.log && *c.log) {
      EXPECT_NE(diag.Text().find(c.log), std::string::npos) << diag.Text();
    } else if (c.log) {
      EXPECT_EQ(diag.Text(), "");
    }
  }
}

TEST(AMFObject, EndMarkerAlone) {
  for (bool names : {true, false}) {
    AMFObject obj;
    EXPECT_EQ(DecodeAll(obj, Bytes({0x00, 0x00, 0x09}), names), 3);
    EXPECT_EQ(obj.GetPropertyCount(), 0);
  }
}

TEST(AMFObject, ShortSequences) {
  AMFObject obj;
  EXPECT_EQ(DecodeAll(obj, "", false), 0);
  EXPECT_EQ(obj.GetPropertyCount(), 0);
  // A lone null or boolean is a whole value, not too short to decode.
  EXPECT_EQ(DecodeAll(obj, Bytes({0x05}), false), 1);
  EXPECT_EQ(DecodeAll(obj, Bytes({0x01, 0x01}), false), 2);
  ASSERT_EQ(obj.GetPropertyCount(), 2);
  EXPECT_EQ(obj.GetProperty(0).GetType(), AMF_NULL);
  EXPECT_EQ(obj.GetProperty(1).GetType(), AMF_BOOLEAN);
  // An object body needs its end marker.
  AMFObject body;
  EXPECT_EQ(DecodeAll(body, Bytes({0x00, 0x00}), true), -1);
  EXPECT_EQ(DecodeAll(body, Writer().Named("a", 1.0).out, true), -1);
}

TEST(AMFObject, ResynchronisesOnEndMarker) {
  CapturedDiag diag(DIAG_ERROR);
  // a = 1, b = a reference (unsupported), two bytes that belong to it, the end.
  const std::string body =
      Writer().Named("a", 1.0).Raw(Bytes({0x00, 0x01, 'b', 0x07, 0x00, 0x01})).End().out;
  AMFObject obj;
  EXPECT_EQ(DecodeAll(obj, body, true), static_cast<int>(body.size()));
  ASSERT_EQ(obj.GetPropertyCount(), 1);
  EXPECT_EQ(obj.GetProperty("a").GetNumber(), 1);
  EXPECT_EQ(diag.Count("\rERROR: AMF_REFERENCE not supported!\n"), 1);
  EXPECT_EQ(diag.Count("\rERROR: DECODING ERROR, IGNORING BYTES UNTIL NEXT KNOWN PATTERN!\n"), 6);

  // Inside a nested object the outer body carries on after the inner end.
  const std::string nested = Writer()
                                 .Raw(Bytes({0x00, 0x01, 'o', 0x03}))
                                 .Raw(Bytes({0x00, 0x01, 'x', 0x04}))
                                 .End()
                                 .Named("after", true)
                                 .End()
                                 .out;
  AMFObject outer;
  EXPECT_EQ(DecodeAll(outer, nested, true), static_cast<int>(nested.size()));
  ASSERT_EQ(outer.GetPropertyCount(), 2);
  EXPECT_EQ(outer.GetProperty("o").GetObject().GetPropertyCount(), 0);
  EXPECT_TRUE(outer.GetProperty("after").GetBoolean());
}

TEST(AMFObject, FailureWithoutEndMarkerFails) {
  CapturedDiag diag(DIAG_ERROR);
  AMFObject obj;
  EXPECT_EQ(DecodeAll(obj, Writer().String("x").Raw(Bytes({0x04, 1, 2, 3})).out, false), -1);
  AMFObject named;
  EXPECT_EQ(
      DecodeAll(named, Writer().Named("a", 1.0).Raw(Bytes({0x00, 0x01, 'b', 0x0E, 1})).out, true),
      -1);
}

TEST(AMFObject, DecodeArrayCounts) {
  const std::string values = Bytes({0x05, 0x01, 0x00, 0x05});
  AMFObject obj;
  EXPECT_EQ(obj.DecodeArray(values.data(), 4, 3, false), 4);
  EXPECT_EQ(obj.GetPropertyCount(), 3);
  AMFObject none;
  EXPECT_EQ(none.DecodeArray(values.data(), 4, 0, false), 0);
  EXPECT_EQ(none.DecodeArray(values.data(), 4, -5, false), 0);
  EXPECT_EQ(none.GetPropertyCount(), 0);
  AMFObject tooMany;
  EXPECT_EQ(tooMany.DecodeArray(values.data(), 4, 4, false), -1);
  // Counts far beyond the data stop at the first value that is not there.
  AMFObject huge;
  EXPECT_EQ(huge.DecodeArray(values.data(), 4, 0x7FFFFFFF, false), -1);
}

TEST(AMFObject, LookupsMissToTheSharedInvalidProperty) {
  AMFObject obj;
  ASSERT_GT(DecodeAll(obj, Writer().Named("code", "ok").Named("level", 2.0).End().out, true), 0);
  EXPECT_EQ(obj.GetProperty("code").GetString(), "ok");
  for (const char* miss : {"Code", "cod", "codes", ""}) {
    const AMFObjectProperty& p = obj.GetProperty(miss);
    EXPECT_EQ(&p, &AMFInvalidProperty()) << miss;
    EXPECT_EQ(p.GetType(), AMF_INVALID);
    EXPECT_EQ(p.GetNumber(), 0);
    EXPECT_EQ(p.GetString(), "");
  }
  EXPECT_EQ(&obj.GetProperty(2), &AMFInvalidProperty());
  EXPECT_EQ(&obj.GetProperty(-1), &AMFInvalidProperty());
  EXPECT_EQ(obj.GetProperty(1).GetNumber(), 2);
}

TEST(AMFObject, CopiesAreDeepAndResetClears) {
  AMFObject obj;
  const std::string body = Writer()
                               .Raw(Bytes({0x03}))
                               .Named("k", "v")
                               .Raw(Bytes({0x00, 0x01, 'n', 0x03}))
                               .Named("d", 4.0)
                               .End()
                               .End()
                               .out;
  ASSERT_EQ(DecodeAll(obj, body, false), static_cast<int>(body.size()));
  AMFObject copy = obj;
  AMFObjectProperty prop = obj.GetProperty(0);
  obj.Reset();
  EXPECT_EQ(obj.GetPropertyCount(), 0);
  EXPECT_EQ(
      copy.GetProperty(0).GetObject().GetProperty("n").GetObject().GetProperty("d").GetNumber(), 4);
  EXPECT_EQ(prop.GetObject().GetProperty("k").GetString(), "v");

  AMFObject added;
  prop.SetName("named");
  added.AddProperty(prop);
  prop.Reset();
  EXPECT_EQ(prop.GetType(), AMF_INVALID);
  EXPECT_EQ(prop.GetName(), "named");
  EXPECT_EQ(prop.GetObject().GetPropertyCount(), 0);
  EXPECT_EQ(added.GetProperty("named").GetObject().GetPropertyCount(), 2);
}

// Nesting is bounded so that hostile input cannot exhaust the stack.
TEST(AMFObject, NestingIsBounded) {
  CapturedDiag quiet(DIAG_CRIT);
  auto nest = [](int levels) {
    std::string bytes;
    for (int i = 0; i < levels; ++i) bytes += Bytes({0x0A, 0, 0, 0, 1});
    bytes += Bytes({0x05});
    return bytes;
  };
  AMFObject ok;
  const std::string allowed = nest(kAMFMaxNesting);
  EXPECT_EQ(DecodeAll(ok, allowed, false), static_cast<int>(allowed.size()));
  AMFObject deep;
  EXPECT_EQ(DecodeAll(deep, nest(kAMFMaxNesting + 1), false), -1);
  AMFObject hostile;
  EXPECT_EQ(DecodeAll(hostile, nest(50000), false), -1);
}

// A fault deep inside nested bodies is scanned past once, not once per level.
TEST(AMFObject, ResyncScansEachByteOnce) {
  CapturedDiag diag(DIAG_ERROR);
  std::string bytes;
  for (int i = 0; i < 40; ++i) bytes += Bytes({0x00, 0x01, 'o', 0x03});
  bytes += Bytes({0x00, 0x01, 'x', 0x04}) + std::string(100, '\x01');
  AMFObject obj;
  EXPECT_EQ(DecodeAll(obj, bytes, true), -1);
  const int lines = diag.Count("IGNORING BYTES");
  EXPECT_GT(lines, 100);
  EXPECT_LE(lines, static_cast<int>(bytes.size()));
}

TEST(AMFDump, LinesPerType) {
  const std::string body =
      Writer()
          .Raw(Bytes({0x03}))
          .Named("duration", 12.5)
          .Named("stereo", true)
          .Named("encoder", "Lavf")
          .Raw(Bytes({0x00, 0x02, 'd', 't', 0x0B, 0x42, 0x74, 0, 0, 0, 0, 0, 0, 0x00, 0x3C}))
          .Raw(Bytes({0x00, 0x01, 'z', 0x05}))
          .End()
          .Number(3)
          .out;
  AMFObject obj;
  ASSERT_EQ(DecodeAll(obj, body, false), static_cast<int>(body.size()));
  {
    CapturedDiag all(5);
    obj.Dump();
    AMFInvalidProperty().Dump();
    EXPECT_EQ(all.Text(),
              "\rDEBUG: Property: <Name:                  no-name., OBJECT>\n"
              "\rDEBUG: Property: <Name:                  duration, NUMBER:\t12.50>\n"
              "\rDEBUG: Property: <Name:                    stereo, BOOLEAN:\tTRUE>\n"
              "\rDEBUG: Property: <Name:                   encoder, STRING:\tLavf>\n"
              "\rDEBUG: Property: <Name:                        dt, DATE:\ttimestamp: "
              "1374389534720.00, UTC offset: 60>\n"
              "\rDEBUG: Property: NULL\n"
              "\rDEBUG: Property: <Name:                  no-name., NUMBER:\t3.00>\n"
              "\rDEBUG: Property: INVALID\n");
  }
  {
    // Below 5 the unnamed lines are filtered out.
    CapturedDiag debug(DIAG_DEBUG);
    obj.Dump();
    EXPECT_EQ(debug.Count("\n"), 5);
    EXPECT_EQ(debug.Count("no-name"), 0);
  }
}

}  // namespace
