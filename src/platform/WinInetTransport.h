#pragma once
// The WinInet implementation of the HTTP client service (Windows only), with its tunable limits.

#include <memory>

#include "platform/HttpTransport.h"
#include "platform/StallWatch.h"

namespace ruvevid {

struct WinInetTransportOptions {
  // A request is stalled, and abandoned with heTimeout, when fewer than StallBytes arrived during
  // the last StallTimeMs spent waiting for it (the response head counts once it is in).
  long StallTimeMs = DefaultStallTimeMs();
  long StallBytes = 1024;
  // Longest time between two calls of the wait callback while a request waits.
  long WaitCallbackIntervalMs = 25;
};

std::shared_ptr<IHttpTransport> MakeWinInetTransport(const WinInetTransportOptions& Options);

}  // namespace ruvevid
