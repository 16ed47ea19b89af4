#pragma once
// The window's bindings: what runs on its creation, size notifications, close request and button
// clicks. BindUpdaterHandlers binds them to a controller with the handlers of TfrmUpdater.

#include <functional>

namespace ruvevid {

struct TUpdaterWindowHandlers {
  std::function<void()> FormCreate;
  std::function<void()> FormResize;
  std::function<bool()> FormCloseQuery;  // true: the window may close
  std::function<void()> btnCancelClick;
  std::function<void()> btnRedownClick;
  std::function<void()> btnCloseClick;
};

template <class TController>
TUpdaterWindowHandlers BindUpdaterHandlers(TController& Controller) {
  TUpdaterWindowHandlers Handlers;
  Handlers.FormCreate = [&Controller] { Controller.FormCreate(); };
  Handlers.FormResize = [&Controller] { Controller.FormResize(); };
  Handlers.FormCloseQuery = [&Controller] {
    return static_cast<bool>(Controller.FormCloseQuery());
  };
  Handlers.btnCancelClick = [&Controller] { Controller.btnCancelClick(); };
  Handlers.btnRedownClick = [&Controller] { Controller.btnRedownClick(); };
  Handlers.btnCloseClick = [&Controller] { Controller.btnCloseClick(); };
  return Handlers;
}

}  // namespace ruvevid
