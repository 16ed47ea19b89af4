#pragma once
// OnScopeExit(Action): runs Action when the scope ends, however it ends, so that a clean-up is
// written once instead of on the normal path and again in a handler that passes the exception on.
//
// On a normal exit an exception from Action is passed on. While an exception is already leaving
// the scope, one from Action cannot be passed on as well (that would end the program); the
// exception in flight is the one the caller gets, and Action's is dropped.

#include <exception>
#include <utility>

namespace ruvevid {

template <typename TAction>
class [[nodiscard]] TScopeExit {
 public:
  explicit TScopeExit(TAction Action)
      : FAction(std::move(Action)), FUncaught(std::uncaught_exceptions()) {}
  ~TScopeExit() noexcept(false) {
    if (!FArmed) return;
    if (std::uncaught_exceptions() == FUncaught) {
      FAction();
      return;
    }
    try {
      FAction();
    } catch (...) {
      // Dropped: the exception in flight is the one reported.
    }
  }
  TScopeExit(const TScopeExit&) = delete;
  TScopeExit& operator=(const TScopeExit&) = delete;
  TScopeExit(TScopeExit&&) = delete;
  TScopeExit& operator=(TScopeExit&&) = delete;

  // The work succeeded: the clean-up is not wanted any more.
  void Release() { FArmed = false; }

 private:
  TAction FAction;
  int FUncaught;
  bool FArmed = true;
};

template <typename TAction>
TScopeExit<TAction> OnScopeExit(TAction Action) {
  return TScopeExit<TAction>(std::move(Action));
}

}  // namespace ruvevid
