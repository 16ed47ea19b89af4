#pragma once
// The libcurl implementation of the HTTP client service, with its tunable limits.

#include <memory>
#include <string>

#include "platform/HttpTransport.h"
#include "platform/StallWatch.h"

namespace ruvevid {

struct CurlTransportOptions {
  // A request is stalled, and abandoned with heTimeout, when fewer than StallBytes arrived
  // (response heads included) during the last StallTimeMs spent waiting for it. The waits for the
  // connection and for the response head count alike; time the caller spends between two reads
  // does not.
  long StallTimeMs = DefaultStallTimeMs();
  long StallBytes = 1024;
  // Longest time between two calls of the wait callback while a request waits.
  long WaitCallbackIntervalMs = 25;
  // Size of libcurl's receive buffer in bytes: how much one socket read may bring in.
  long ReceiveBufferSize = 64 * 1024;
  // The certificates an https server's must lead to (a PEM file); empty: the system's trust store.
  std::string CaFile;
};

std::shared_ptr<IHttpTransport> MakeCurlTransport(const CurlTransportOptions& Options);

}  // namespace ruvevid
