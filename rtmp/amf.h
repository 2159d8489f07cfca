// Decoded AMF values: AMF0 with embedded AMF3 objects, as carried by RTMP
// command and metadata messages. Decoding is lenient: unsupported kinds are
// logged and skipped or failed, and an object body that fails part-way is
// resynchronised on its end marker. Every read stays inside the given size
// and nesting is bounded, since the bytes come from the network.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum AMFDataType : int32_t {
  AMF_INVALID = 0,  // no value: fresh, reset, or a lookup miss
  AMF_NUMBER = 1,   // also AMF3 integers, doubles and dates
  AMF_BOOLEAN = 2,  // 0 or 1 in the number
  AMF_STRING = 3,   // also long strings and AMF3 XML
  AMF_OBJECT = 4,   // also ECMA arrays, strict arrays and AMF3 objects
  AMF_NULL = 5,     // null, undefined and unsupported
  AMF_DATE = 8,     // AMF0 date: milliseconds in the number plus a UTC offset
};

// Nested objects and arrays deeper than this fail to decode.
constexpr int kAMFMaxNesting = 64;

class AMFObjectProperty;

// Work one decode may do per byte of its input: value decodes plus bytes
// skipped while resynchronising. A body that fails makes its parent skip to
// the next end marker, which may lie inside what the failed value covered,
// so decoding restarts in bytes already decoded; nested, that is exponential
// work on a few hundred hostile bytes. Sound and merely damaged data stays
// far below the limit; past it the decode fails.
constexpr int kAMFWorkPerByte = 16;

// Memory one decode may hold: this much per byte of its input, beyond a
// fixed allowance that any sound command or metadata body stays inside. A
// one-byte value becomes a property of over a hundred bytes, so a body of
// millions of them would otherwise take gigabytes; past the share the decode
// fails.
constexpr int64_t kAMFMemoryPerByte = 16;
constexpr int64_t kAMFMemoryAllowance = 16 << 20;

// Shared by the calls of one decode: the nesting depth, where a
// resynchronising scan already found no end marker up to the end of the
// data (so that enclosing bodies don't scan those bytes again), and the work
// left.
struct AMFDecodeState {
  explicit AMFDecodeState(int size)
      : workLeft(static_cast<int64_t>(size > 0 ? size : 0) * kAMFWorkPerByte + 1024),
        memoryLeft(static_cast<int64_t>(size > 0 ? size : 0) * kAMFMemoryPerByte +
                   kAMFMemoryAllowance) {}
  // One step of work; false once the decode has used up its share of work
  // or of memory.
  bool Spend();
  // Memory about to be held; false (and the decode ends) past the share.
  bool Take(int64_t bytes);
  // Memory given back.
  void Give(int64_t bytes) { memoryLeft += bytes; }

  int depth = 0;
  const char* noEndMarkerFrom = nullptr;
  int64_t workLeft;
  int64_t memoryLeft;
  bool outOfMemory = false;
};

class AMFObject {
 public:
  AMFObject();
  AMFObject(const AMFObject&);
  AMFObject(AMFObject&&) noexcept;
  AMFObject& operator=(const AMFObject&);
  AMFObject& operator=(AMFObject&&) noexcept;
  virtual ~AMFObject();

  // decodeNames false: a plain sequence of unnamed values to the end of the
  // data (command bodies, metadata). decodeNames true: an object body up to
  // and including its end marker, which must be there. Returns the bytes
  // consumed, or -1.
  int Decode(const char* data, int size, bool decodeNames);
  // `count` values of a strict array. Returns the bytes consumed, or -1.
  int DecodeArray(const char* data, int size, int count, bool decodeNames);
  // An AMF3 object; `encapsulated` when entered from the AMF0 switch marker,
  // which puts the AMF3 object marker first. Returns the bytes consumed, or -1.
  int AMF3Decode(const char* data, int size, bool encapsulated);

  void AddProperty(const AMFObjectProperty& property);
  int GetPropertyCount() const;
  // The first property with exactly this name, or the shared invalid property.
  const AMFObjectProperty& GetProperty(std::string_view name) const;
  // The property at `index`, or the shared invalid property.
  const AMFObjectProperty& GetProperty(int index) const;

  void Dump() const;
  void Reset();

 private:
  friend class AMFObjectProperty;
  int DecodeAt(const char* data, int size, bool decodeNames, AMFDecodeState& state);
  int DecodeArrayAt(const char* data, int size, int count, bool decodeNames, AMFDecodeState& state);
  int AMF3DecodeAt(const char* data, int size, bool encapsulated, AMFDecodeState& state);
  // Appends within the decode's memory share; false when it is used up.
  bool Append(AMFObjectProperty&& property, AMFDecodeState& state);

  std::vector<AMFObjectProperty> properties_;
};

class AMFObjectProperty {
 public:
  AMFObjectProperty();
  AMFObjectProperty(const AMFObjectProperty&);
  AMFObjectProperty(AMFObjectProperty&&) noexcept;
  AMFObjectProperty& operator=(const AMFObjectProperty&);
  AMFObjectProperty& operator=(AMFObjectProperty&&) noexcept;
  virtual ~AMFObjectProperty();

  // AMF0: one value, preceded by a 16-bit name when `decodeName`. Returns the
  // bytes consumed, or -1.
  int Decode(const char* data, int size, bool decodeName);
  // AMF3: one value, preceded by an AMF3 string name when `decodeName`. An
  // empty name (the end of a dynamic member list) consumes only the name and
  // leaves the property invalid. Returns the bytes consumed, or -1.
  int AMF3Decode(const char* data, int size, bool decodeName);

  // Type, number, string and object are cleared; name and UTC offset stay.
  void Reset();

  const std::string& GetName() const { return name_; }
  void SetName(std::string_view name) { name_ = std::string(name); }
  AMFDataType GetType() const { return type_; }
  double GetNumber() const { return number_; }
  bool GetBoolean() const { return number_ != 0; }
  const std::string& GetString() const { return string_; }
  const AMFObject& GetObject() const { return object_; }
  int16_t GetUTCOffset() const { return utcOffset_; }

  // Debug lines through the diagnostic log.
  void Dump() const;

 private:
  friend class AMFObject;
  int DecodeAt(const char* data, int size, bool decodeName, AMFDecodeState& state);
  int AMF3DecodeAt(const char* data, int size, bool decodeName, AMFDecodeState& state);

  std::string name_;
  AMFDataType type_ = AMF_INVALID;
  double number_ = 0;
  int16_t utcOffset_ = 0;
  AMFObject object_;
  std::string string_;
};

// Returned by every lookup that misses; never written.
const AMFObjectProperty& AMFInvalidProperty();
