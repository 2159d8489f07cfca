// Blocking IPv4 TCP sockets and name lookup, standing in for Winsock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

using SocketHandle = int;
inline constexpr SocketHandle kNoSocket = -1;

// A new IPv4 stream socket, or kNoSocket.
SocketHandle SocketCreateTcp();
// Releases the handle; false when the system reports an error.
bool SocketClose(SocketHandle s);
// Breaks the connection without releasing the handle, so that a wait or a
// receive blocked in another thread returns at once. Safe from any thread
// while the owner keeps the handle open.
void SocketShutdown(SocketHandle s);

// First IPv4 address of `host` from the system resolver, in network byte
// order. False when the lookup fails.
bool ResolveIPv4(const std::string& host, uint32_t* address);
// "%d.%d.%d.%d" of an address in network byte order.
std::string IPv4Text(uint32_t address);
bool SocketConnect(SocketHandle s, uint32_t address, int port);

// Bytes sent, or -1. Never raises SIGPIPE.
int64_t SocketSend(SocketHandle s, const void* data, size_t size);
// Bytes received, 0 when the peer closed, -1 on an error.
int64_t SocketReceive(SocketHandle s, void* data, size_t size);
// 1 when readable (data, end of stream or an error condition), 0 after the
// time-out, -1 when the wait itself failed.
int SocketWaitReadable(SocketHandle s, int timeout_ms);
// Bytes waiting to be received, or -1.
int64_t SocketBytesWaiting(SocketHandle s);
// Time-out for blocking receives; 0 waits for ever.
bool SocketSetReceiveTimeout(SocketHandle s, int timeout_ms);

}  // namespace platform
