#include "tests/peers/rtmp_script_server.h"

#include <sys/socket.h>

#include <cstring>

namespace testpeers {

// ---------------------------------------------------------------- AMF0 values

namespace amf0 {

std::string Number(double d) {
  uint64_t bits;
  std::memcpy(&bits, &d, 8);
  std::string s(1, '\x00');
  for (int i = 7; i >= 0; --i) s.push_back(static_cast<char>((bits >> (8 * i)) & 0xFF));
  return s;
}

std::string Boolean(bool b) { return std::string("\x01", 1) + (b ? '\x01' : '\x00'); }

std::string String(const std::string& s) {
  return std::string("\x02", 1) + chunk::Be(static_cast<uint32_t>(s.size()), 2) + s;
}

std::string Null() { return std::string("\x05", 1); }

namespace {
std::string Props(const std::vector<std::pair<std::string, std::string>>& props) {
  std::string s;
  for (const auto& [name, value] : props)
    s += chunk::Be(static_cast<uint32_t>(name.size()), 2) + name + value;
  return s + std::string("\x00\x00\x09", 3);
}
}  // namespace

std::string Object(const std::vector<std::pair<std::string, std::string>>& props) {
  return std::string("\x03", 1) + Props(props);
}

std::string EcmaArray(const std::vector<std::pair<std::string, std::string>>& props) {
  return std::string("\x08", 1) + chunk::Be(static_cast<uint32_t>(props.size()), 4) + Props(props);
}

}  // namespace amf0

// ---------------------------------------------------------------- chunk bytes

namespace chunk {

std::string Be(uint32_t v, int bytes) {
  std::string s;
  for (int i = bytes - 1; i >= 0; --i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  return s;
}

std::string Basic(int header_type, int channel) {
  std::string s;
  if (channel < 64) {
    s.push_back(static_cast<char>((header_type << 6) | channel));
  } else if (channel < 64 + 256) {
    s.push_back(static_cast<char>(header_type << 6));
    s.push_back(static_cast<char>(channel - 64));
  } else {
    s.push_back(static_cast<char>((header_type << 6) | 1));
    s.push_back(static_cast<char>((channel - 64) & 0xFF));
    s.push_back(static_cast<char>((channel - 64) >> 8));
  }
  return s;
}

namespace {
std::string Stamp(uint32_t ts) { return Be(ts >= 0xFFFFFF ? 0xFFFFFF : ts, 3); }
std::string Extended(uint32_t ts) { return ts >= 0xFFFFFF ? Be(ts, 4) : std::string(); }
}  // namespace

std::string Type0(int channel, uint32_t timestamp, uint32_t length, uint8_t type,
                  uint32_t stream_id) {
  std::string s = Basic(0, channel) + Stamp(timestamp) + Be(length, 3);
  s.push_back(static_cast<char>(type));
  for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((stream_id >> (8 * i)) & 0xFF));
  return s + Extended(timestamp);
}

std::string Type1(int channel, uint32_t delta, uint32_t length, uint8_t type) {
  std::string s = Basic(1, channel) + Stamp(delta) + Be(length, 3);
  s.push_back(static_cast<char>(type));
  return s + Extended(delta);
}

std::string Type2(int channel, uint32_t delta) {
  return Basic(2, channel) + Stamp(delta) + Extended(delta);
}

std::string Type3(int channel) { return Basic(3, channel); }

}  // namespace chunk

std::string InvokeResult(double transaction, const std::string& info_value) {
  return amf0::String("_result") + amf0::Number(transaction) + amf0::Null() + info_value;
}

std::string OnStatus(const std::string& code, const std::string& level) {
  return amf0::String("onStatus") + amf0::Number(0) + amf0::Null() +
         amf0::Object({{"level", amf0::String(level)},
                       {"code", amf0::String(code)},
                       {"description", amf0::String("scripted")}});
}

std::string Hex(const std::string& bytes) {
  static const char* digits = "0123456789abcdef";
  std::string s;
  for (unsigned char c : bytes) {
    if (!s.empty()) s.push_back(' ');
    s.push_back(digits[c >> 4]);
    s.push_back(digits[c & 15]);
  }
  return s;
}

// ---------------------------------------------------------------- connection

void RtmpScriptConn::ShutdownSend() {
  if (fd_ >= 0) ::shutdown(fd_, SHUT_WR);
}

bool RtmpScriptConn::Fill(int timeout_ms) {
  // What was read already goes before the buffer grows.
  if (in_pos_ > 0) {
    in_.erase(0, in_pos_);
    in_pos_ = 0;
  }
  return Receive(timeout_ms);
}

bool RtmpScriptConn::ReadRaw(size_t n, std::string* out, int timeout_ms) {
  while (in_.size() - in_pos_ < n)
    if (!Fill(timeout_ms)) return false;
  if (out) *out = in_.substr(in_pos_, n);
  in_pos_ += n;
  return true;
}

bool RtmpScriptConn::ReadByte(uint8_t* b, int timeout_ms) {
  std::string s;
  if (!ReadRaw(1, &s, timeout_ms)) return false;
  *b = static_cast<uint8_t>(s[0]);
  return true;
}

bool RtmpScriptConn::Handshake() {
  if (!ReadRaw(1 + kHandshakeSize, &c0c1_)) return false;
  s1_ = ScriptedS1();
  std::string reply = std::string("\x03", 1) + s1_ + c0c1_.substr(1);
  if (!Send(reply)) return false;
  return ReadRaw(kHandshakeSize, &c2_);
}

bool RtmpScriptConn::SendMessage(int channel, uint8_t type, uint32_t timestamp, uint32_t stream_id,
                                 const std::string& body, int chunk_size) {
  std::string out =
      chunk::Type0(channel, timestamp, static_cast<uint32_t>(body.size()), type, stream_id);
  for (size_t pos = 0; pos < body.size() || pos == 0; pos += static_cast<size_t>(chunk_size)) {
    if (pos > 0) {
      out += chunk::Type3(channel);
      if (timestamp >= 0xFFFFFF) out += chunk::Be(timestamp, 4);
    }
    out += body.substr(pos, static_cast<size_t>(chunk_size));
    if (body.empty()) break;
  }
  return Send(out);
}

bool RtmpScriptConn::SendChunkSize(uint32_t size) {
  return SendMessage(2, 1, 0, 0, chunk::Be(size, 4));
}

bool RtmpScriptConn::ReadMessage(RtmpMessage* out, int timeout_ms) {
  for (;;) {
    std::string raw;
    uint8_t b0;
    if (!ReadByte(&b0, timeout_ms)) return false;
    raw.push_back(static_cast<char>(b0));
    int header_type = b0 >> 6;
    int channel = b0 & 0x3F;
    if (channel == 0 || channel == 1) {
      std::string ext;
      if (!ReadRaw(channel == 0 ? 1 : 2, &ext, timeout_ms)) return false;
      raw += ext;
      channel = 64 + static_cast<uint8_t>(ext[0]) +
                (channel == 1 ? static_cast<uint8_t>(ext[1]) * 256 : 0);
    }
    ChannelState& st = channels_[channel];
    static const int kRest[4] = {11, 7, 3, 0};
    std::string h;
    if (!ReadRaw(static_cast<size_t>(kRest[header_type]), &h, timeout_ms)) return false;
    raw += h;
    auto be = [&](int off, int n) {
      uint32_t v = 0;
      for (int i = 0; i < n; ++i)
        v = (v << 8) | static_cast<uint8_t>(h[static_cast<size_t>(off + i)]);
      return v;
    };
    bool starts = !st.inProgress;
    if (header_type < 3) {
      st.timestamp = be(0, 3);
      st.extended = st.timestamp == 0xFFFFFF;
    }
    if (header_type < 2) {
      st.length = be(3, 3);
      st.type = static_cast<uint8_t>(h[6]);
    }
    if (header_type == 0) {
      st.streamId = 0;
      for (int i = 0; i < 4; ++i)
        st.streamId |= static_cast<uint32_t>(static_cast<uint8_t>(h[static_cast<size_t>(7 + i)]))
                       << (8 * i);
    }
    if (st.extended) {
      std::string ext;
      if (!ReadRaw(4, &ext, timeout_ms)) return false;
      raw += ext;
      if (header_type < 3 || starts) {
        st.timestamp = 0;
        for (char c : ext) st.timestamp = (st.timestamp << 8) | static_cast<uint8_t>(c);
      }
    }
    if (starts) {
      st.partial = RtmpMessage();
      st.partial.channel = channel;
      st.partial.type = st.type;
      st.partial.streamId = st.streamId;
      st.absTimestamp = header_type == 0 ? st.timestamp : st.absTimestamp + st.timestamp;
      st.partial.timestamp = st.absTimestamp;
      st.inProgress = true;
    }
    st.partial.headerTypes.push_back(header_type);
    size_t want = std::min<size_t>(st.length - st.partial.body.size(),
                                   static_cast<size_t>(client_chunk_size_));
    std::string data;
    if (!ReadRaw(want, &data, timeout_ms)) return false;
    raw += data;
    st.partial.body += data;
    st.partial.raw += raw;
    if (st.partial.body.size() >= st.length) {
      st.inProgress = false;
      if (out) *out = st.partial;
      return true;
    }
  }
}

bool RtmpScriptConn::ReadMessageOfType(uint8_t type, RtmpMessage* out, int timeout_ms) {
  RtmpMessage m;
  do {
    if (!ReadMessage(&m, timeout_ms)) return false;
  } while (m.type != type);
  if (out) *out = m;
  return true;
}

bool RtmpScriptConn::Accept(RtmpMessage* connect) {
  if (!Handshake()) return false;
  RtmpMessage m;
  if (!ReadMessage(&m)) return false;
  if (connect) *connect = m;
  return true;
}

bool RtmpScriptConn::AnswerUntilPlay(double stream_id, std::vector<RtmpMessage>* seen) {
  auto result_info = amf0::Object(
      {{"level", amf0::String("status")}, {"code", amf0::String("NetConnection.Connect.Success")}});
  if (!SendMessage(3, 20, 0, 0, InvokeResult(1, result_info))) return false;
  RtmpMessage m;
  bool created = false;
  for (;;) {
    if (!ReadMessage(&m)) return false;
    if (seen) seen->push_back(m);
    if (m.type == 20 && m.body.find("createStream") != std::string::npos && !created) {
      created = true;
      if (!SendMessage(3, 20, 0, 0, InvokeResult(2, amf0::Number(stream_id)))) return false;
    }
    if (m.type == 20 && m.body.compare(0, 7, std::string("\x02\x00\x04play", 7)) == 0) return true;
  }
}

}  // namespace testpeers
