// AMF3 values, as embedded in AMF0 after the switch marker. There are no
// reference tables: string, object, traits and date references are logged and
// not resolved.
#include <utility>

#include "rtmp/amf.h"
#include "rtmp/amf3_class_definition.h"
#include "rtmp/amf_bytes.h"
#include "rtmp/amf_decoding.h"
#include "rtmp/diag_log.h"

namespace {

constexpr const char* kPropertyAMF3Decode = "AMFObjectProperty::AMF3Decode";
constexpr const char* kObjectAMF3Decode = "AMFObject::AMF3Decode";

enum : uint8_t {
  AMF3_UNDEFINED = 0x00,
  AMF3_NULL = 0x01,
  AMF3_FALSE = 0x02,
  AMF3_TRUE = 0x03,
  AMF3_INTEGER = 0x04,
  AMF3_DOUBLE = 0x05,
  AMF3_STRING = 0x06,
  AMF3_XML_DOC = 0x07,
  AMF3_DATE = 0x08,
  AMF3_ARRAY = 0x09,
  AMF3_OBJECT = 0x0A,
  AMF3_XML = 0x0B,
};

using amf_decoding::AddressOf;
using amf_decoding::NestingLevel;

// Object, traits and date headers are unsigned 29-bit values.
uint32_t HeaderBits(int32_t header) { return static_cast<uint32_t>(header) & 0x1FFFFFFF; }

}  // namespace

int AMFObjectProperty::AMF3DecodeAt(const char* data, int size, bool decodeName,
                                    AMFDecodeState& state) {
  Reset();
  if (!state.Spend()) return -1;
  if (size <= 0 || data == nullptr) {
    DiagLog(DIAG_DEBUG, "empty buffer/no buffer pointer!");
    return -1;
  }
  int pos = 0;
  if (decodeName) {
    std::string name;
    const int used = AMF3ReadString(data, size, &name, kPropertyAMF3Decode);
    if (used == 0) return -1;
    pos += used;
    // An empty name closes the dynamic member list of an object.
    if (name.empty()) return pos;
    name_ = std::move(name);
  }
  if (pos >= size) return -1;

  const char* marker = data + pos;
  const uint8_t kind = static_cast<uint8_t>(*marker);
  ++pos;
  const char* p = data + pos;
  const int left = size - pos;
  int used = 0;

  switch (kind) {
    case AMF3_UNDEFINED:
    case AMF3_NULL:
      type_ = AMF_NULL;
      break;
    case AMF3_FALSE:
    case AMF3_TRUE:
      type_ = AMF_BOOLEAN;
      number_ = kind == AMF3_TRUE ? 1 : 0;
      break;
    case AMF3_INTEGER: {
      int32_t value = 0;
      used = AMF3ReadInteger(p, left, &value);
      if (used == 0) return -1;
      type_ = AMF_NUMBER;
      number_ = value;
      break;
    }
    case AMF3_DOUBLE:
      DiagLog(DIAG_DEBUG, "AMF3_NUMBER");
      if (left < 8) return -1;
      type_ = AMF_NUMBER;
      number_ = AMFReadNumber(p);
      used = 8;
      break;
    case AMF3_STRING:
    case AMF3_XML_DOC:
    case AMF3_XML:
      if (kind != AMF3_STRING) DiagLog(DIAG_DEBUG, "AMF3_XML_DOC");
      used = AMF3ReadString(p, left, &string_, kPropertyAMF3Decode);
      if (used == 0) return -1;
      type_ = AMF_STRING;
      break;
    case AMF3_DATE: {
      int32_t header = 0;
      used = AMF3ReadInteger(p, left, &header);
      if (used == 0) return -1;
      if ((HeaderBits(header) & 1) == 0) {
        DiagLog(DIAG_DEBUG, "AMF3_DATE reference: %d, not supported!",
                static_cast<int>(HeaderBits(header) >> 1));
        break;  // stays invalid; marker and header are consumed
      }
      if (left - used < 8) return -1;
      type_ = AMF_NUMBER;
      number_ = AMFReadNumber(p + used);
      used += 8;
      break;
    }
    case AMF3_OBJECT: {
      DiagLog(DIAG_DEBUG, "AMF3_OBJECT");
      if (state.depth >= kAMFMaxNesting) return -1;
      const NestingLevel level(state);
      used = object_.AMF3DecodeAt(p, left, false, state);
      if (used < 0) return -1;
      type_ = AMF_OBJECT;
      break;
    }
    default:  // arrays, byte arrays and later kinds
      DiagLog(DIAG_DEBUG, "%s - AMF3 unknown/unsupported datatype 0x%02x, @0x%08X",
              kPropertyAMF3Decode, kind, AddressOf(marker));
      return -1;
  }
  return pos + used;
}

int AMFObject::AMF3DecodeAt(const char* data, int size, bool encapsulated, AMFDecodeState& state) {
  if (data == nullptr || size <= 0) return -1;
  int pos = 0;
  if (encapsulated) {
    if (static_cast<uint8_t>(data[0]) != AMF3_OBJECT)
      DiagLog(DIAG_ERROR, "AMF3 Object encapsulated in AMF stream does not start with 0x0A!");
    pos = 1;
  }

  int32_t header = 0;
  int used = AMF3ReadInteger(data + pos, size - pos, &header);
  if (used == 0) return -1;
  pos += used;
  const uint32_t bits = HeaderBits(header);

  if ((bits & 1) == 0) {
    // An object reference is complete in its header.
    DiagLog(DIAG_DEBUG, "Object reference, index: %d", static_cast<int>(bits >> 1));
    return pos;
  }
  if ((bits & 2) == 0) {
    // Without the referenced traits the members that follow cannot be
    // delimited, so the object fails and an enclosing AMF0 body can
    // resynchronise on its end marker.
    DiagLog(DIAG_DEBUG, "Class reference: %d", static_cast<int>(bits >> 2));
    return -1;
  }

  const bool externalizable = (bits & 4) != 0;
  const bool dynamic = (bits & 8) != 0;
  const int memberCount = static_cast<int>(bits >> 4);

  std::string className;
  used = AMF3ReadString(data + pos, size - pos, &className, kObjectAMF3Decode);
  if (used == 0) return -1;
  pos += used;
  DiagLog(DIAG_DEBUG, "Class name: %s, externalizable: %d, dynamic: %d, classMembers: %d",
          className.c_str(), externalizable, dynamic, memberCount);

  AMF3ClassDefinition classDef(std::move(className), externalizable, dynamic);
  // Each name takes at least one byte, so a huge count runs out of data
  // instead of memory.
  for (int i = 0; i < memberCount; ++i) {
    std::string member;
    used = AMF3ReadString(data + pos, size - pos, &member, kObjectAMF3Decode);
    if (used == 0) return -1;
    pos += used;
    DiagLog(DIAG_DEBUG, "Member: %s", member.c_str());
    // Member names cost memory too: the list doubles as it grows, and holds
    // its old storage while moving the names.
    if (!state.Take(3 * static_cast<int64_t>(sizeof(std::string)) +
                    (member.size() > 15 ? static_cast<int64_t>(member.size()) : 0)))
      return -1;
    classDef.AddMember(member);
  }

  if (externalizable) {
    DiagLog(DIAG_DEBUG, "Externalizable, TODO check");
    AMFObjectProperty property;
    used = property.AMF3DecodeAt(data + pos, size - pos, false, state);
    if (used < 0) {
      DiagLog(DIAG_DEBUG, "%s, failed to decode AMF3 property!", kObjectAMF3Decode);
    } else {
      pos += used;
    }
    if (state.outOfMemory) return -1;
    property.SetName("DEFAULT_ATTRIBUTE");
    if (!Append(std::move(property), state)) return -1;
  } else {
    bool sealedFailed = false;
    for (int i = 0; i < classDef.GetMemberCount(); ++i) {
      AMFObjectProperty property;
      // A value that failed fails again at the same position; don't decode
      // it once per remaining member.
      used = sealedFailed ? -1 : property.AMF3DecodeAt(data + pos, size - pos, false, state);
      if (used < 0) {
        if (state.outOfMemory) return -1;
        sealedFailed = true;
        property.Reset();
        DiagLog(DIAG_DEBUG, "%s, failed to decode AMF3 property!", kObjectAMF3Decode);
      } else {
        pos += used;
      }
      property.SetName(classDef.GetMember(i));
      if (!Append(std::move(property), state)) return -1;
    }
    if (dynamic) {
      for (;;) {
        AMFObjectProperty property;
        used = property.AMF3DecodeAt(data + pos, size - pos, true, state);
        if (used < 0) {
          // Where the object ends is unknown now; reading on would only
          // misread its remaining bytes.
          DiagLog(DIAG_DEBUG, "%s, failed to decode AMF3 property!", kObjectAMF3Decode);
          return -1;
        }
        pos += used;
        const bool last = property.GetName().empty();
        if (!Append(std::move(property), state)) return -1;
        if (last) break;
      }
    }
  }
  DiagLog(DIAG_DEBUG, "class object!");
  return pos;
}
