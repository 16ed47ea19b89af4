#pragma once
// The libcurl implementation of the HTTP client service, with its tunable limits.

#include <memory>

#include "download/HttpTransport.h"

namespace ruvevid {

struct CurlTransportOptions {
  // Longest wait for the connection (name lookup included), in milliseconds.
  long ConnectTimeoutMs = 30000;
  // A transfer slower than LowSpeedLimit bytes per second for LowSpeedTimeSeconds is abandoned:
  // by default a server that sends nothing for a minute, before or after the headers.
  long LowSpeedLimit = 1;
  long LowSpeedTimeSeconds = 60;
  // Size of libcurl's receive buffer in bytes: how much one socket read may bring in.
  long ReceiveBufferSize = 64 * 1024;
};

std::shared_ptr<IHttpTransport> MakeCurlTransport(const CurlTransportOptions& Options);

}  // namespace ruvevid
