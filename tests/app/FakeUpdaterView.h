#pragma once
// A model of the updater window that records what the controller did to it, and an application
// object whose message pump can run injected actions (clicks, size notifications).

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/UpdaterView.h"

namespace ruvevid::test {

class FakeUpdaterView : public IUpdaterView {
 public:
  void SetLabDownText(const std::string& Text) override {
    LabDown = Text;
    Log.push_back("labDown=" + Text);
  }
  void RefreshLabDown() override { Log.push_back("labDown.refresh"); }
  void SetBytesText(const std::string& Text) override { BytesText = Text; }
  void SetBytesVisible(bool Visible) override { BytesVisible = Visible; }
  void SetProgressMax(int Max) override { ProgressMax = Max; }
  void SetProgressPosition(int Position) override { ProgressPosition = Position; }
  void SetUnzipCaption(const std::string& Caption) override {
    UnzipCaption = Caption;
    Log.push_back("labUnzip=" + Caption);
  }
  void RefreshUnzip() override { Log.push_back("labUnzip.refresh"); }
  void SetUnzipVisible(bool Visible) override { UnzipVisible = Visible; }
  void SetGauge1Progress(int Progress) override { Gauge1 = Progress; }
  void SetGauge2Progress(int Progress) override { Gauge2 = Progress; }
  void SetButtonEnabled(TUpdaterButton Button, bool Enabled) override {
    Enabled_[Button] = Enabled;
  }
  void SetBevel2Bounds(int Left, int Top, int Width) override {
    Bevel2Left = Left;
    Bevel2Top = Top;
    Bevel2Width = Width;
    ++Bevel2Layouts;
  }
  int CancelButtonTop() const override { return 285; }
  int RightPanelWidth() const override { return 430; }
  void AddQueueRow(const std::string& Caption, const std::vector<std::string>& SubItems) override {
    Rows.push_back({Caption, SubItems});
  }
  int QueueRowCount() const override { return static_cast<int>(Rows.size()); }
  std::string QueueRowCaption(int Row) const override { return Rows.at(Row).Caption; }
  void* QueueRowData(int Row) override { return &Rows.at(Row); }

  bool ButtonEnabled(TUpdaterButton Button) const {
    auto found = Enabled_.find(Button);
    return found == Enabled_.end() ? Initial(Button) : found->second;
  }

  struct QueueRow {
    std::string Caption;
    std::vector<std::string> SubItems;
  };

  std::string LabDown;
  std::string BytesText;
  bool BytesVisible = false;
  int ProgressMax = 100;
  int ProgressPosition = 0;
  std::string UnzipCaption;
  bool UnzipVisible = false;
  int Gauge1 = 0;
  int Gauge2 = 0;
  int Bevel2Left = -1, Bevel2Top = -1, Bevel2Width = -1, Bevel2Layouts = 0;
  std::vector<QueueRow> Rows;
  std::vector<std::string> Log;

 private:
  // The window definition: Cancel and Close enabled, Restart disabled.
  static bool Initial(TUpdaterButton Button) { return Button != TUpdaterButton::btnRedown; }
  std::map<TUpdaterButton, bool> Enabled_;
};

}  // namespace ruvevid::test
