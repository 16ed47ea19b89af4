#pragma once
// The gauge on Windows: a horizontal bar showing a value between a minimum and a maximum, with
// the percentage written over it so that the text inverts what lies under it. PaintGauge is the
// drawing alone, usable on any device context (tests render into memory).

#include <windows.h>

namespace ruvevid::win32 {

// trunc((Progress - MinValue) * 100 / (MaxValue - MinValue)) in floating point; 0 for an empty
// range.
int GaugePercentage(int MinValue, int MaxValue, int Progress);
// trunc(Length * (Percent * 0.01)), the filled part of a length at a percentage.
int GaugeFilledLength(int Length, int Percent);

struct TGaugeLook {
  int Width = 100;
  int Height = 100;
  bool ShowText = true;
  bool Border = true;  // a one-pixel black frame
  COLORREF ForeColor = RGB(0, 0, 0);
  COLORREF BackColor = RGB(255, 255, 255);
  int Percentage = 0;
  HFONT Font = nullptr;  // drawn without smoothing, whatever quality it asks for
};

// Paints the gauge at (0, 0) of Dc: black, the bar (back colour, the filled part in the fore
// colour) inside the frame, then the percentage in white combined with exclusive-or, so every
// pixel of the text is the inverse of the pixel beneath.
void PaintGauge(HDC Dc, const TGaugeLook& Look);

// The control: a child window of the class RegisterGaugeClass registers.
class TGauge {
 public:
  static constexpr const wchar_t* kClassName = L"RuvevidGauge";
  static void RegisterGaugeClass(HINSTANCE Instance);

  TGauge(HWND Parent, HINSTANCE Instance, int Id);
  ~TGauge();
  TGauge(const TGauge&) = delete;
  TGauge& operator=(const TGauge&) = delete;

  HWND Handle() const { return FHandle; }
  int Progress() const { return FProgress; }
  void SetProgress(int Value);  // clamped to 0 .. 100; repaints only when Percentage changes
  int Percentage() const { return GaugePercentage(FMinValue, FMaxValue, FProgress); }
  void SetForeColor(COLORREF Value);
  // The window's font, for the text (the control does not own it).
  void SetFont(HFONT Font);
  int RepaintRequests() const { return FRepaintRequests; }
  TGaugeLook Look() const;

 private:
  static LRESULT CALLBACK WindowProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam);
  void Paint();
  void Invalidate();

  HWND FHandle = nullptr;
  int FMinValue = 0;
  int FMaxValue = 100;
  int FProgress = 0;
  COLORREF FForeColor = RGB(0, 0, 0);
  COLORREF FBackColor = RGB(255, 255, 255);
  HFONT FFont = nullptr;
  int FRepaintRequests = 0;
};

}  // namespace ruvevid::win32
