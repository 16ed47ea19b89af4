#pragma once
// The application object as the engines and the controller see it: a message pump, a terminate
// request and a blocking pause. The window implements it with Qt; tests use a fake.

#include <cstdint>

namespace ruvevid {

class IApplication {
 public:
  virtual ~IApplication() = default;
  // Handles the window messages that are pending, then returns.
  virtual void ProcessMessages() = 0;
  // Asks the message loop to end once the running handlers have returned.
  virtual void Terminate() = 0;
  virtual bool Terminated() const = 0;
  // Blocks the thread without pumping messages.
  virtual void Pause(std::uint32_t Milliseconds) = 0;
};

}  // namespace ruvevid
