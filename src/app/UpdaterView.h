#pragma once
// The updater window as the controller sees it: only the operations the controller performs.
// The Qt window implements it; tests drive the controller through a model of it.

#include <string>
#include <vector>

namespace ruvevid {

enum class TUpdaterButton { btnCancel, btnRedown, btnClose };

class IUpdaterView {
 public:
  virtual ~IUpdaterView() = default;

  // labDown, the status line.
  virtual void SetLabDownText(const std::string& Text) = 0;
  virtual void RefreshLabDown() = 0;  // repaint at once

  // lblBytes, the right-aligned byte count.
  virtual void SetBytesText(const std::string& Text) = 0;
  virtual void SetBytesVisible(bool Visible) = 0;

  // pBar, the download progress bar.
  virtual void SetProgressMax(int Max) = 0;
  virtual void SetProgressPosition(int Position) = 0;

  // labUnzip, the group box around the two gauges; its caption is a status line.
  virtual void SetUnzipCaption(const std::string& Caption) = 0;
  virtual void RefreshUnzip() = 0;
  virtual void SetUnzipVisible(bool Visible) = 0;

  // Gauge1 (current file) and Gauge2 (whole archive).
  virtual void SetGauge1Progress(int Progress) = 0;
  virtual void SetGauge2Progress(int Progress) = 0;

  virtual void SetButtonEnabled(TUpdaterButton Button, bool Enabled) = 0;

  // Bevel2, the separator line.
  virtual void SetBevel2Bounds(int Left, int Top, int Width) = 0;
  virtual int CancelButtonTop() const = 0;
  virtual int RightPanelWidth() const = 0;

  // DownList, the hidden queue list. A row is identified by its index; its address-like
  // identity for TDownLoadItem::Data is given by QueueRowData.
  virtual void AddQueueRow(const std::string& Caption,
                           const std::vector<std::string>& SubItems) = 0;
  virtual int QueueRowCount() const = 0;
  virtual std::string QueueRowCaption(int Row) const = 0;
  virtual void* QueueRowData(int Row) = 0;
};

}  // namespace ruvevid
