// A scripted RTMP server for wire-level tests: it listens on 127.0.0.1, takes
// one client, and runs a test's script on its own thread. The script does the
// handshake, sends exact byte sequences and reads back what the client sent,
// reassembled into messages independently of the client's code.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "tests/peers/script_server.h"

namespace testpeers {

// One message the client sent.
struct RtmpMessage {
  int channel = 0;
  uint8_t type = 0;
  uint32_t timestamp = 0;  // absolute, as the chunk headers add up
  uint32_t streamId = 0;
  std::string body;
  std::vector<int> headerTypes;  // of each chunk, in order
  std::string raw;               // every byte of every chunk, headers included
};

// The connection a script works with. Reads give up after `timeout_ms` so a
// broken client cannot hang a test.
class RtmpScriptConn : public ScriptSocket {
 public:
  explicit RtmpScriptConn(int fd) : ScriptSocket(fd) {}

  // Reads C0 and C1, sends S0, S1 (time field 0x01020304) and S2 (C1 echoed),
  // reads C2. The client's C0, C1 and C2 are kept.
  bool Handshake();
  const std::string& c0c1() const { return c0c1_; }
  const std::string& c2() const { return c2_; }
  const std::string& s1() const { return s1_; }

  bool Send(const std::string& bytes) { return SendAll(bytes); }
  // A whole message as a type-0 chunk and type-3 continuations of
  // `chunk_size` bytes (extended timestamps written as the protocol says).
  bool SendMessage(int channel, uint8_t type, uint32_t timestamp, uint32_t stream_id,
                   const std::string& body, int chunk_size = 128);
  // Set Chunk Size on channel 2.
  bool SendChunkSize(uint32_t size);

  // The next complete message from the client, read with the chunk size the
  // client sends with (set_client_chunk_size).
  bool ReadMessage(RtmpMessage* out, int timeout_ms = 10000);
  // Reads messages until one of `type` arrives; those before it are dropped.
  bool ReadMessageOfType(uint8_t type, RtmpMessage* out, int timeout_ms = 10000);
  // Exactly n raw bytes.
  bool ReadRaw(size_t n, std::string* out, int timeout_ms = 10000);
  void set_client_chunk_size(int size) { client_chunk_size_ = size; }

  // Handshake, then reads the "connect" command into *connect.
  bool Accept(RtmpMessage* connect = nullptr);
  // Answers the client's calls in order up to its play command: "_result" for
  // connect, "_result" with `stream_id` for createStream. Every message read
  // on the way is appended to *seen (connect not included).
  bool AnswerUntilPlay(double stream_id = 1.0, std::vector<RtmpMessage>* seen = nullptr);

  // Ends the server's sending side; the client reads the end of the stream
  // while its own messages can still arrive.
  void ShutdownSend();

 private:
  bool ReadByte(uint8_t* b, int timeout_ms);
  bool Fill(int timeout_ms);

  struct ChannelState {
    int headerType = 0;
    uint8_t type = 0;
    uint32_t timestamp = 0;  // last field value
    uint32_t absTimestamp = 0;
    uint32_t streamId = 0;
    uint32_t length = 0;
    bool extended = false;
    RtmpMessage partial;
    bool inProgress = false;
  };

  size_t in_pos_ = 0;
  int client_chunk_size_ = 128;
  std::map<int, ChannelState> channels_;
  std::string c0c1_, c2_, s1_;
};

// Accepts one client on a thread of its own and runs a script with it.
using RtmpScriptServer = ScriptServer<RtmpScriptConn>;

// AMF0 values for scripted messages.
namespace amf0 {
std::string Number(double d);
std::string Boolean(bool b);
std::string String(const std::string& s);
std::string Null();
// An object (0x03) or ECMA array (0x08) from already encoded values.
std::string Object(const std::vector<std::pair<std::string, std::string>>& props);
std::string EcmaArray(const std::vector<std::pair<std::string, std::string>>& props);
}  // namespace amf0

// Chunk bytes for scripted sequences, written out field by field.
namespace chunk {
// Basic header in its 1, 2 or 3-byte form.
std::string Basic(int header_type, int channel);
std::string Be(uint32_t v, int bytes);
// Type-0 header; a timestamp of 0xFFFFFF or more gets the extended field.
std::string Type0(int channel, uint32_t timestamp, uint32_t length, uint8_t type,
                  uint32_t stream_id);
std::string Type1(int channel, uint32_t delta, uint32_t length, uint8_t type);
std::string Type2(int channel, uint32_t delta);
std::string Type3(int channel);
}  // namespace chunk

// Server messages.
std::string InvokeResult(double transaction, const std::string& info_value);
std::string OnStatus(const std::string& code, const std::string& level = "status");

std::string Hex(const std::string& bytes);

}  // namespace testpeers
