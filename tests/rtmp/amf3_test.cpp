#include <gtest/gtest.h>

#include <string>

#include "rtmp/amf.h"
#include "rtmp/amf3_class_definition.h"
#include "tests/rtmp/amf_test_bytes.h"
#include "tests/rtmp/captured_diag.h"

namespace {

// AMF3 inline string: length header (length << 1 | 1) and the bytes.
std::string Str3(const std::string& text) {
  return Bytes({static_cast<int>(text.size() << 1 | 1)}) + text;
}

// Inline traits header byte: sealed count, externalizable, dynamic.
int Traits(int sealed, bool externalizable, bool dynamic) {
  return sealed << 4 | (dynamic ? 8 : 0) | (externalizable ? 4 : 0) | 3;
}

const std::string kDouble2_5 = Bytes({0x40, 0x04, 0, 0, 0, 0, 0, 0});

TEST(AMF3, ValueTable) {
  struct ValueCase {
    std::string bytes;
    int result;
    AMFDataType type;
    double number;
    const char* text;
  };
  const ValueCase cases[] = {
      {Bytes({0x00}), 1, AMF_NULL, 0, ""},
      {Bytes({0x01}), 1, AMF_NULL, 0, ""},
      {Bytes({0x02}), 1, AMF_BOOLEAN, 0, ""},
      {Bytes({0x03}), 1, AMF_BOOLEAN, 1, ""},
      {Bytes({0x04, 0x81, 0x00}), 3, AMF_NUMBER, 128, ""},
      {Bytes({0x04, 0xFF, 0xFF, 0xFF, 0xFF}), 5, AMF_NUMBER, -1, ""},
      {Bytes({0x05}) + kDouble2_5, 9, AMF_NUMBER, 2.5, ""},
      {Bytes({0x06}) + Str3("abc"), 5, AMF_STRING, 0, "abc"},
      {Bytes({0x06, 0x02}), 2, AMF_STRING, 0, ""},  // a reference: empty text
      {Bytes({0x07}) + Str3("<a/>"), 6, AMF_STRING, 0, "<a/>"},
      {Bytes({0x0B}) + Str3("<b/>"), 6, AMF_STRING, 0, "<b/>"},
      {Bytes({0x08, 0x01}) + kDouble2_5, 10, AMF_NUMBER, 2.5, ""},
      {Bytes({0x08, 0x02}), 2, AMF_INVALID, 0, ""},  // a date reference
      {Bytes({0x0A, 0x02}), 2, AMF_OBJECT, 0, ""},   // an object reference: empty
      {Bytes({0x0A, 0x03, 0x01}), 3, AMF_OBJECT, 0, ""},
      // Unsupported kinds and everything cut short fail.
      {Bytes({0x09, 0x01, 0x01}), -1, AMF_INVALID, 0, ""},
      {Bytes({0x0C, 0x01}), -1, AMF_INVALID, 0, ""},
      {Bytes({0x11}), -1, AMF_INVALID, 0, ""},
      {Bytes({0x04}), -1, AMF_INVALID, 0, ""},
      {Bytes({0x04, 0xFF, 0xFF, 0xFF}), -1, AMF_INVALID, 0, ""},
      {Bytes({0x05, 0, 0, 0, 0, 0, 0, 0}), -1, AMF_INVALID, 0, ""},
      {Bytes({0x06}), -1, AMF_INVALID, 0, ""},
      {Bytes({0x06, 0x09, 'a', 'b', 'c'}), -1, AMF_INVALID, 0, ""},
      {Bytes({0x06, 0xFF, 0xFF, 0xFF, 0xFF}), -1, AMF_INVALID, 0, ""},
      {Bytes({0x08}), -1, AMF_INVALID, 0, ""},
      {Bytes({0x08, 0x01, 0, 0, 0}), -1, AMF_INVALID, 0, ""},
      {Bytes({0x0A}), -1, AMF_INVALID, 0, ""},
      {Bytes({0x0A, 0x05}), -1, AMF_INVALID, 0, ""},  // a traits reference
  };
  CapturedDiag quiet(DIAG_CRIT);
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.bytes));
    ExactBuffer buf(c.bytes);
    AMFObjectProperty prop;
    ASSERT_EQ(prop.AMF3Decode(buf.data(), buf.size(), false), c.result);
    if (c.result < 0) continue;
    EXPECT_EQ(prop.GetType(), c.type);
    EXPECT_EQ(prop.GetNumber(), c.number);
    EXPECT_EQ(prop.GetString(), c.text);
  }
}

TEST(AMF3, Messages) {
  struct MessageCase {
    std::string bytes;
    const char* line;
  };
  const MessageCase cases[] = {
      {Bytes({0x05}) + kDouble2_5, "\rDEBUG: AMF3_NUMBER\n"},
      {Bytes({0x07, 0x01}), "\rDEBUG: AMF3_XML_DOC\n"},
      {Bytes({0x08, 0x06}), "\rDEBUG: AMF3_DATE reference: 3, not supported!\n"},
      {Bytes({0x06, 0x0A}),
       "\rDEBUG: AMFObjectProperty::AMF3Decode, string reference, index: 5, not supported, "
       "ignoring!\n"},
      {Bytes({0x0A, 0x04}), "\rDEBUG: Object reference, index: 2\n"},
      {Bytes({0x0A, 0x0D}), "\rDEBUG: Class reference: 3\n"},
      {Bytes({0x09}),
       "\rDEBUG: AMFObjectProperty::AMF3Decode - AMF3 unknown/unsupported datatype 0x09, @0x"},
      {Bytes({0x0A, Traits(1, false, false)}) + Str3("Cls") + Str3("m") + Bytes({0x01}),
       "\rDEBUG: Class name: Cls, externalizable: 0, dynamic: 0, classMembers: 1\n"
       "\rDEBUG: Member: m\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.bytes));
    CapturedDiag diag(DIAG_DEBUG);
    ExactBuffer buf(c.bytes);
    AMFObjectProperty prop;
    prop.AMF3Decode(buf.data(), buf.size(), false);
    EXPECT_NE(diag.Text().find(c.line), std::string::npos) << diag.Text();
  }
  CapturedDiag diag(DIAG_DEBUG);
  AMFObjectProperty prop;
  EXPECT_EQ(prop.AMF3Decode(nullptr, 0, false), -1);
  EXPECT_EQ(diag.Text(), "\rDEBUG: empty buffer/no buffer pointer!\n");
}

TEST(AMF3, SealedAndDynamicMembersThroughAMF0Switch) {
  const std::string bytes = Bytes({0x11, 0x0A, Traits(2, false, true)}) + Str3("C") + Str3("a") +
                            Str3("b") + Bytes({0x04, 0x05}) + Bytes({0x06}) + Str3("xy") +
                            Str3("d") + Bytes({0x03}) + Str3("e") + Bytes({0x05}) + kDouble2_5 +
                            Bytes({0x01}) + Bytes({0x05});  // a trailing AMF0 null
  CapturedDiag diag(DIAG_ERROR);
  ExactBuffer buf(bytes);
  AMFObject obj;
  ASSERT_EQ(obj.Decode(buf.data(), buf.size(), false), buf.size());
  EXPECT_EQ(diag.Text(), "\rERROR: AMF_AMF3_OBJECT to be tested!\n");
  ASSERT_EQ(obj.GetPropertyCount(), 2);
  EXPECT_EQ(obj.GetProperty(1).GetType(), AMF_NULL);
  const AMFObjectProperty& prop = obj.GetProperty(0);
  ASSERT_EQ(prop.GetType(), AMF_OBJECT);
  const AMFObject& members = prop.GetObject();
  // The empty-named end of the dynamic list is kept as the last property.
  ASSERT_EQ(members.GetPropertyCount(), 5);
  EXPECT_EQ(members.GetProperty("a").GetNumber(), 5);
  EXPECT_EQ(members.GetProperty("b").GetString(), "xy");
  EXPECT_TRUE(members.GetProperty("d").GetBoolean());
  EXPECT_EQ(members.GetProperty("e").GetNumber(), 2.5);
  EXPECT_EQ(members.GetProperty(4).GetName(), "");
  EXPECT_EQ(members.GetProperty(4).GetType(), AMF_INVALID);
}

TEST(AMF3, ObjectForms) {
  CapturedDiag diag(DIAG_DEBUG);
  {
    // Externalizable: one value under the name DEFAULT_ATTRIBUTE.
    ExactBuffer buf(Bytes({0x0A, Traits(0, true, false)}) + Str3("E") + Bytes({0x04, 0x07}));
    AMFObject obj;
    EXPECT_EQ(obj.AMF3Decode(buf.data(), buf.size(), true), buf.size());
    ASSERT_EQ(obj.GetPropertyCount(), 1);
    EXPECT_EQ(obj.GetProperty("DEFAULT_ATTRIBUTE").GetNumber(), 7);
  }
  {
    // A sealed value that fails stays invalid and the position does not move.
    ExactBuffer buf(Bytes({Traits(2, false, false), 0x01}) + Str3("a") + Str3("b") + Bytes({0x09}));
    AMFObject obj;
    EXPECT_EQ(obj.AMF3Decode(buf.data(), buf.size(), false), buf.size() - 1);
    ASSERT_EQ(obj.GetPropertyCount(), 2);
    EXPECT_EQ(obj.GetProperty("a").GetType(), AMF_INVALID);
    EXPECT_EQ(obj.GetProperty("b").GetType(), AMF_INVALID);
    EXPECT_EQ(diag.Count("AMFObject::AMF3Decode, failed to decode AMF3 property!"), 2);
  }
  {
    // Not starting with the object marker is logged and the byte skipped.
    ExactBuffer buf(Bytes({0x0B, 0x02}));
    AMFObject obj;
    EXPECT_EQ(obj.AMF3Decode(buf.data(), buf.size(), true), 2);
    EXPECT_NE(diag.Text().find(
                  "\rERROR: AMF3 Object encapsulated in AMF stream does not start with 0x0A!\n"),
              std::string::npos);
  }
  {
    // A member name given as a reference is empty.
    ExactBuffer buf(Bytes({Traits(1, false, false), 0x01, 0x00, 0x03}));
    AMFObject obj;
    EXPECT_EQ(obj.AMF3Decode(buf.data(), buf.size(), false), 4);
    ASSERT_EQ(obj.GetPropertyCount(), 1);
    EXPECT_EQ(obj.GetProperty(0).GetName(), "");
    EXPECT_TRUE(obj.GetProperty(0).GetBoolean());
  }
}

TEST(AMF3, ReferencesLeaveTheObjectEmpty) {
  CapturedDiag quiet(DIAG_CRIT);
  // Object reference: complete in its header.
  ExactBuffer objectRef(Bytes({0x0A, 0x04, 0x05}));
  AMFObject a;
  EXPECT_EQ(a.AMF3Decode(objectRef.data(), objectRef.size(), true), 2);
  EXPECT_EQ(a.GetPropertyCount(), 0);
  // Traits reference: the members cannot be delimited, so the object fails
  // and an enclosing AMF0 body resynchronises on its end marker.
  ExactBuffer traitsRef(Bytes({0x0A, 0x05, 0x04, 0x01}));
  AMFObject b;
  EXPECT_EQ(b.AMF3Decode(traitsRef.data(), traitsRef.size(), true), -1);
  EXPECT_EQ(b.GetPropertyCount(), 0);

  ExactBuffer inAMF0(Bytes({0x03, 0x00, 0x01, 'k', 0x05, 0x00, 0x01, 'o', 0x11, 0x0A, 0x05, 0x04,
                            0x01, 0x00, 0x00, 0x09}));
  AMFObject outer;
  EXPECT_EQ(outer.Decode(inAMF0.data(), inAMF0.size(), false), inAMF0.size());
  ASSERT_EQ(outer.GetPropertyCount(), 1);
  EXPECT_EQ(outer.GetProperty(0).GetObject().GetPropertyCount(), 1);
  EXPECT_EQ(outer.GetProperty(0).GetObject().GetProperty("k").GetType(), AMF_NULL);
}

TEST(AMF3, DynamicListFailuresEndTheObject) {
  CapturedDiag quiet(DIAG_CRIT);
  const int dyn = Traits(0, false, true);
  const std::string cases[] = {
      Bytes({dyn, 0x01}) + Str3("d") + Bytes({0x09}),      // a value that cannot be read
      Bytes({dyn, 0x01}) + Str3("d") + Bytes({0x03}),      // no terminator
      Bytes({dyn, 0x01}) + Str3("d"),                      // name and no value
      Bytes({dyn, 0x01}) + Bytes({0x0F, 'a'}),             // a name running past the end
      Bytes({Traits(3, false, false), 0x01}) + Str3("a"),  // member names cut short
      Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0x01}),               // 33 million members announced
      Bytes({Traits(0, false, false)}),                    // class name missing
      Bytes({0x83}),                                       // header cut
  };
  for (const auto& bytes : cases) {
    SCOPED_TRACE(testing::PrintToString(bytes));
    ExactBuffer buf(bytes);
    AMFObject obj;
    EXPECT_EQ(obj.AMF3Decode(buf.data(), buf.size(), false), -1);
  }
}

TEST(AMF3, NestingIsBounded) {
  CapturedDiag quiet(DIAG_CRIT);
  auto nest = [](int levels) {
    const int dyn = Traits(0, false, true);
    std::string bytes;
    for (int i = 0; i < levels; ++i) bytes += Bytes({0x0A, dyn, 0x01, 0x03, 'o'});
    bytes += Bytes({0x01});
    for (int i = 0; i < levels; ++i) bytes += Bytes({0x01});
    return bytes;
  };
  const std::string allowed = nest(kAMFMaxNesting);
  AMFObjectProperty ok;
  EXPECT_EQ(ok.AMF3Decode(allowed.data(), static_cast<int>(allowed.size()), false),
            static_cast<int>(allowed.size()));
  const std::string hostile = nest(50000);
  AMFObjectProperty deep;
  EXPECT_EQ(deep.AMF3Decode(hostile.data(), static_cast<int>(hostile.size()), false), -1);
}

TEST(AMF3ClassDefinition, Members) {
  AMF3ClassDefinition def("flex.Cls", false, true);
  def.AddMember("a");
  def.AddMember("b");
  EXPECT_EQ(def.GetMemberCount(), 2);
  EXPECT_EQ(def.GetMember(1), "b");
  EXPECT_EQ(def.GetMember(2), "");
  EXPECT_EQ(def.GetMember(-1), "");
  EXPECT_EQ(def.GetClassName(), "flex.Cls");
  EXPECT_TRUE(def.IsDynamic());
  EXPECT_FALSE(def.IsExternalizable());
}

}  // namespace
