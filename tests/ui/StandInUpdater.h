#pragma once
// A tiny stand-in with the shape of the updater's controller, for driving the window in tests:
// it counts the handler calls, lays out Bevel2 like the controller and can run a pretend
// transfer that moves the bar and pumps messages between blocks.

#include <functional>
#include <string>

#include "app/UpdaterView.h"
#include "platform/Application.h"

namespace ruvevid::test {

class TStandInUpdater {
 public:
  TStandInUpdater(IUpdaterView& View, IApplication& App) : FView(View), FApp(App) {}

  void FormCreate() {
    ++Created;
    if (OnCreate) OnCreate();
  }
  void FormResize() {
    ++Resized;
    FView.SetBevel2Bounds(0, FView.CancelButtonTop() - 18, FView.RightPanelWidth());
    if (OnResize) OnResize();
  }
  bool FormCloseQuery() {
    ++CloseQueries;
    if (OnCloseQuery) OnCloseQuery();
    btnCloseClick();
    return true;
  }
  void btnCancelClick() {
    ++Cancels;
    Stopped = true;
    FView.SetButtonEnabled(TUpdaterButton::btnCancel, false);
    FView.SetButtonEnabled(TUpdaterButton::btnRedown, true);
  }
  void btnRedownClick() { ++Restarts; }
  void btnCloseClick() {
    ++Closes;
    Stopped = true;
    FApp.Terminate();
  }

  // Moves the bar through Blocks blocks of 255 bytes, pumping after each, until stopped.
  void Transfer(int Blocks) {
    const int Total = Blocks * 255;
    FView.SetProgressMax(Total);
    for (BlocksDone = 0; BlocksDone < Blocks && !Stopped; ++BlocksDone) {
      const int Current = (BlocksDone + 1) * 255;
      FView.SetProgressPosition(Current);
      FView.SetBytesText(std::to_string(Current / 1024) + " / " + std::to_string(Total / 1024) +
                         " KBytes");
      FApp.ProcessMessages();
    }
  }

  int Created = 0;
  int Resized = 0;
  int CloseQueries = 0;
  int Cancels = 0;
  int Restarts = 0;
  int Closes = 0;
  int BlocksDone = 0;
  bool Stopped = false;
  std::function<void()> OnCreate;
  std::function<void()> OnResize;
  std::function<void()> OnCloseQuery;

 private:
  IUpdaterView& FView;
  IApplication& FApp;
};

}  // namespace ruvevid::test
