#include "rtmp/amf.h"

#include <cstdio>
#include <utility>

#include "rtmp/amf_bytes.h"
#include "rtmp/amf_decoding.h"
#include "rtmp/diag_log.h"

namespace {

constexpr const char* kPropertyDecode = "AMFObjectProperty::Decode";

// AMF0 markers.
enum : uint8_t {
  AMF0_NUMBER = 0x00,
  AMF0_BOOLEAN = 0x01,
  AMF0_STRING = 0x02,
  AMF0_OBJECT = 0x03,
  AMF0_MOVIECLIP = 0x04,
  AMF0_NULL = 0x05,
  AMF0_UNDEFINED = 0x06,
  AMF0_REFERENCE = 0x07,
  AMF0_ECMA_ARRAY = 0x08,
  AMF0_OBJECT_END = 0x09,
  AMF0_STRICT_ARRAY = 0x0A,
  AMF0_DATE = 0x0B,
  AMF0_LONG_STRING = 0x0C,
  AMF0_UNSUPPORTED = 0x0D,
  AMF0_RECORDSET = 0x0E,
  AMF0_XML_DOC = 0x0F,
  AMF0_TYPED_OBJECT = 0x10,
  AMF0_AVMPLUS = 0x11,
};

using amf_decoding::AddressOf;
using amf_decoding::NestingLevel;

}  // namespace

bool AMFDecodeState::Spend() {
  if (outOfMemory) return false;
  if (--workLeft >= 0) return true;
  if (workLeft == -1) DiagLog(DIAG_ERROR, "AMF decoding takes too long for its size, giving up");
  return false;
}

bool AMFDecodeState::Take(int64_t bytes) {
  if (outOfMemory) return false;
  if (bytes <= memoryLeft) {
    memoryLeft -= bytes;
    return true;
  }
  outOfMemory = true;
  DiagLog(DIAG_ERROR, "AMF decoding needs too much memory for its size, giving up");
  return false;
}

const AMFObjectProperty& AMFInvalidProperty() {
  static const AMFObjectProperty invalid;
  return invalid;
}

// ---- AMFObject ----

AMFObject::AMFObject() = default;
AMFObject::AMFObject(const AMFObject&) = default;
AMFObject::AMFObject(AMFObject&&) noexcept = default;
AMFObject& AMFObject::operator=(const AMFObject&) = default;
AMFObject& AMFObject::operator=(AMFObject&&) noexcept = default;
AMFObject::~AMFObject() = default;

int AMFObject::Decode(const char* data, int size, bool decodeNames) {
  AMFDecodeState state(size);
  return DecodeAt(data, size, decodeNames, state);
}

int AMFObject::DecodeArray(const char* data, int size, int count, bool decodeNames) {
  AMFDecodeState state(size);
  return DecodeArrayAt(data, size, count, decodeNames, state);
}

int AMFObject::AMF3Decode(const char* data, int size, bool encapsulated) {
  AMFDecodeState state(size);
  return AMF3DecodeAt(data, size, encapsulated, state);
}

int AMFObject::DecodeAt(const char* data, int size, bool decodeNames, AMFDecodeState& state) {
  if (data == nullptr || size < 0) size = 0;
  int pos = 0;
  bool failed = false;
  int scanFrom = 0;
  while (pos < size) {
    const int left = size - pos;
    if (left >= 3 && AMFReadInt24(data + pos) == kAMFObjectEnd) return pos + 3;
    if (failed) {
      // Nested bodies end where the data ends, so a scan of an inner body
      // that found no end marker holds for the rest of the data: don't scan
      // it again at every level.
      if (state.noEndMarkerFrom != nullptr && data + pos >= state.noEndMarkerFrom) break;
      if (!state.Spend()) break;
      // Skip to the end marker so that the properties before the fault are kept.
      DiagLog(DIAG_ERROR, "DECODING ERROR, IGNORING BYTES UNTIL NEXT KNOWN PATTERN!");
      ++pos;
      continue;
    }
    AMFObjectProperty property;
    const int used = property.DecodeAt(data + pos, left, decodeNames, state);
    if (used < 0) {
      if (state.outOfMemory) return -1;
      failed = true;
      scanFrom = pos;
    } else {
      if (!Append(std::move(property), state)) return -1;
      pos += used;
    }
  }
  if (failed && (state.noEndMarkerFrom == nullptr || data + scanFrom < state.noEndMarkerFrom))
    state.noEndMarkerFrom = data + scanFrom;
  // An object body without its end marker is cut short; a plain sequence of
  // values simply ends with the data.
  if (failed || decodeNames) return -1;
  return pos;
}

int AMFObject::DecodeArrayAt(const char* data, int size, int count, bool decodeNames,
                             AMFDecodeState& state) {
  int pos = 0;
  for (int i = 0; i < count; ++i) {
    AMFObjectProperty property;
    const int used = property.DecodeAt(data + pos, size - pos, decodeNames, state);
    // A value that fails here fails again at the same place, and the array
    // fails either way: a huge count must not keep us spinning.
    if (used < 0 || !Append(std::move(property), state)) return -1;
    pos += used;
  }
  return pos;
}

void AMFObject::AddProperty(const AMFObjectProperty& property) { properties_.push_back(property); }

bool AMFObject::Append(AMFObjectProperty&& property, AMFDecodeState& state) {
  const auto heap = [](const std::string& s) {
    return s.capacity() > std::string().capacity() ? static_cast<int64_t>(s.capacity()) : 0;
  };
  const int64_t texts = heap(property.name_) + heap(property.string_);
  const size_t capacity = properties_.capacity();
  if (properties_.size() < capacity) {
    if (!state.Take(texts)) return false;
  } else {
    // Grown by half rather than doubled, and counted with the old storage,
    // which is held until the properties have moved.
    const size_t grown = capacity < 4 ? 4 : capacity + capacity / 2;
    const int64_t unit = static_cast<int64_t>(sizeof(AMFObjectProperty));
    if (!state.Take(static_cast<int64_t>(grown) * unit + texts)) return false;
    properties_.reserve(grown);
    state.Give(static_cast<int64_t>(capacity) * unit);
  }
  properties_.push_back(std::move(property));
  return true;
}

int AMFObject::GetPropertyCount() const { return static_cast<int>(properties_.size()); }

const AMFObjectProperty& AMFObject::GetProperty(std::string_view name) const {
  for (const auto& property : properties_) {
    if (property.GetName() == name) return property;
  }
  return AMFInvalidProperty();
}

const AMFObjectProperty& AMFObject::GetProperty(int index) const {
  if (index < 0 || index >= GetPropertyCount()) return AMFInvalidProperty();
  return properties_[index];
}

void AMFObject::Dump() const {
  for (const auto& property : properties_) property.Dump();
}

void AMFObject::Reset() { properties_.clear(); }

// ---- AMFObjectProperty ----

AMFObjectProperty::AMFObjectProperty() = default;
AMFObjectProperty::AMFObjectProperty(const AMFObjectProperty&) = default;
AMFObjectProperty::AMFObjectProperty(AMFObjectProperty&&) noexcept = default;
AMFObjectProperty& AMFObjectProperty::operator=(const AMFObjectProperty&) = default;
AMFObjectProperty& AMFObjectProperty::operator=(AMFObjectProperty&&) noexcept = default;
AMFObjectProperty::~AMFObjectProperty() = default;

int AMFObjectProperty::Decode(const char* data, int size, bool decodeName) {
  AMFDecodeState state(size);
  return DecodeAt(data, size, decodeName, state);
}

int AMFObjectProperty::AMF3Decode(const char* data, int size, bool decodeName) {
  AMFDecodeState state(size);
  return AMF3DecodeAt(data, size, decodeName, state);
}

void AMFObjectProperty::Reset() {
  number_ = 0;
  string_.clear();
  object_.Reset();
  type_ = AMF_INVALID;
}

int AMFObjectProperty::DecodeAt(const char* data, int size, bool decodeName,
                                AMFDecodeState& state) {
  Reset();
  if (!state.Spend()) return -1;
  if (size <= 0 || data == nullptr) {
    DiagLog(DIAG_DEBUG, "%s: Empty buffer/no buffer pointer!", kPropertyDecode);
    return -1;
  }
  int pos = 0;
  if (decodeName) {
    if (size < 4) {
      DiagLog(DIAG_DEBUG, "%s: Not enough data for decoding with name, less then 4 bytes!",
              kPropertyDecode);
      return -1;
    }
    const int nameLength = AMFReadInt16(data);
    if (nameLength > size - 2) {
      DiagLog(DIAG_DEBUG, "%s: Name size out of range: namesize (%d) > len (%d) - 2",
              kPropertyDecode, nameLength, size);
      return -1;
    }
    pos = AMFReadString(data, size, &name_);
  }
  if (pos >= size) return -1;

  const char* marker = data + pos;
  const uint8_t kind = static_cast<uint8_t>(*marker);
  ++pos;
  const char* p = data + pos;
  const int left = size - pos;
  int used = 0;  // payload bytes

  switch (kind) {
    case AMF0_NUMBER:
      if (left < 8) return -1;
      number_ = AMFReadNumber(p);
      type_ = AMF_NUMBER;
      used = 8;
      break;
    case AMF0_BOOLEAN:
      if (left < 1) return -1;
      number_ = AMFReadBool(p) ? 1 : 0;
      type_ = AMF_BOOLEAN;
      used = 1;
      break;
    case AMF0_STRING:
      used = AMFReadString(p, left, &string_);
      if (used == 0) return -1;
      type_ = AMF_STRING;
      break;
    case AMF0_OBJECT:
    case AMF0_ECMA_ARRAY:
    case AMF0_STRICT_ARRAY: {
      if (state.depth >= kAMFMaxNesting) return -1;
      const NestingLevel level(state);
      int header = 0;
      int body;
      if (kind == AMF0_OBJECT) {
        body = object_.DecodeAt(p, left, true, state);
      } else {
        if (left < 4) return -1;
        header = 4;
        if (kind == AMF0_ECMA_ARRAY) {
          body = object_.DecodeAt(p + 4, left - 4, true, state);
        } else {
          const int count = static_cast<int32_t>(AMFReadInt32(p));
          body = object_.DecodeArrayAt(p + 4, left - 4, count, false, state);
        }
      }
      if (body < 0) return -1;
      type_ = AMF_OBJECT;
      used = header + body;
      break;
    }
    case AMF0_NULL:
    case AMF0_UNDEFINED:
    case AMF0_UNSUPPORTED:
      type_ = AMF_NULL;
      break;
    case AMF0_MOVIECLIP:
      DiagLog(DIAG_ERROR, "AMF_MOVIE_CLIP not supported!");
      return -1;
    case AMF0_REFERENCE:
      DiagLog(DIAG_ERROR, "AMF_REFERENCE not supported!");
      return -1;
    case AMF0_DATE:
      DiagLog(DIAG_DEBUG, "AMF_DATE");
      if (left < 10) return -1;
      number_ = AMFReadNumber(p);
      utcOffset_ = static_cast<int16_t>(AMFReadInt16(p + 8));
      type_ = AMF_DATE;
      used = 10;
      break;
    case AMF0_LONG_STRING: {
      DiagLog(DIAG_WARNING, "AMF_LONG_STRING not tested!");
      if (left < 4) return -1;
      const uint32_t length = AMFReadInt32(p);
      if (length > static_cast<uint32_t>(left - 4)) return -1;
      string_.assign(p + 4, length);
      type_ = AMF_STRING;
      used = 4 + static_cast<int>(length);
      break;
    }
    case AMF0_RECORDSET:
      DiagLog(DIAG_ERROR, "AMF_RECORDSET not supported!");
      return -1;
    case AMF0_XML_DOC:
      DiagLog(DIAG_ERROR, "AMF_XML not supported!");
      return -1;
    case AMF0_TYPED_OBJECT:
      DiagLog(DIAG_ERROR, "AMF_CLASS_OBJECT not supported!");
      return -1;
    case AMF0_AVMPLUS: {
      DiagLog(DIAG_ERROR, "AMF_AMF3_OBJECT to be tested!");
      if (state.depth >= kAMFMaxNesting) return -1;
      const NestingLevel level(state);
      const int body = object_.AMF3DecodeAt(p, left, true, state);
      if (body < 0) return -1;
      type_ = AMF_OBJECT;
      used = body;
      break;
    }
    default:  // the object end marker out of place, and unknown markers
      DiagLog(DIAG_DEBUG, "%s - unknown datatype 0x%02x, @0x%08X", kPropertyDecode, kind,
              AddressOf(marker));
      return -1;
  }
  return pos + used;
}

// ---- Dump ----

void AMFObjectProperty::Dump() const {
  if (type_ == AMF_INVALID) {
    DiagLog(DIAG_DEBUG, "Property: INVALID");
    return;
  }
  if (type_ == AMF_NULL) {
    DiagLog(DIAG_DEBUG, "Property: NULL");
    return;
  }
  const char* name = name_.empty() ? "no-name." : name_.c_str();
  if (type_ == AMF_OBJECT) {
    DiagLog(DIAG_DEBUG, "Property: <Name: %25s, OBJECT>", name);
    object_.Dump();
    return;
  }

  char namePart[256];
  char valuePart[256];
  std::snprintf(namePart, sizeof namePart, "Name: %25s, ", name);
  switch (type_) {
    case AMF_NUMBER:
      std::snprintf(valuePart, sizeof valuePart, "NUMBER:\t%.2f", number_);
      break;
    case AMF_BOOLEAN:
      std::snprintf(valuePart, sizeof valuePart, "BOOLEAN:\t%s", number_ == 1 ? "TRUE" : "FALSE");
      break;
    case AMF_STRING:
      std::snprintf(valuePart, sizeof valuePart, "STRING:\t%s", string_.c_str());
      break;
    case AMF_DATE:
      std::snprintf(valuePart, sizeof valuePart, "DATE:\ttimestamp: %.2f, UTC offset: %d", number_,
                    utcOffset_);
      break;
    default:
      std::snprintf(valuePart, sizeof valuePart, "INVALID TYPE 0x%02x",
                    static_cast<unsigned>(type_));
      break;
  }
  DiagLog(DIAG_DEBUG, "Property: <%s%s>", namePart, valuePart);
}
