// A task's stream address fields as the recorders use them. A captured
// address with a port other than its protocol's default keeps that port in
// the host field as "host:port"; a default port leaves a bare host, as tasks
// stored before always had.
#pragma once

#include <string>
#include <string_view>

// AddTask's splitter (StreamAddressSplitter): host (with a non-default
// port), playpath and application of an rtmp:// or rtmpt:// address. False
// when the address has no host.
bool SplitStreamTaskAddress(const std::string& url, std::string& host, std::string& playPath,
                            std::string& app);

// Splits a host field into the host and the port, `defaultPort` when the
// field names none (or an unusable one).
void SplitHostPort(std::string_view field, int defaultPort, std::string& host, int& port);
