#pragma once
// Screen density and fonts on Windows: the window is laid out in 96-dpi units and scaled to the
// density of the monitor it is on.

#include <windows.h>

#include <initializer_list>
#include <string>

namespace ruvevid::win32 {

inline constexpr UINT kLayoutDpi = 96;

// A length of the 96-dpi layout at Dpi, rounded to the nearest pixel.
inline int Scale(int Length, UINT Dpi) {
  return MulDiv(Length, static_cast<int>(Dpi), static_cast<int>(kLayoutDpi));
}

// Asks for per-monitor (v2) awareness, falling back to what older systems offer: per-monitor
// v1, then system-wide awareness.
void EnablePerMonitorDpiAwareness();

// The density of the monitor the window is on (of the screen on systems without per-monitor
// densities).
UINT WindowDpi(HWND Window);

// The outer size of a window whose client area is ClientWidth x ClientHeight at Dpi.
SIZE FrameSizeForClient(int ClientWidth, int ClientHeight, DWORD Style, DWORD ExStyle, UINT Dpi);

// The first installed face of Preferred; else the first installed face with Hangul; else the
// first of Preferred, for the font mapper to stand in.
std::wstring ResolveFace(std::initializer_list<const wchar_t*> Preferred);

// A font of PixelHeight (the em height, like a pixel size) at 96 dpi, scaled to Dpi.
HFONT MakeFont(const std::wstring& Face, int PixelHeight, UINT Dpi, bool Bold = false,
               bool Smoothed = true);

// Owns a GDI object and deletes it.
class TGdiObject {
 public:
  TGdiObject() = default;
  explicit TGdiObject(HGDIOBJ Object) : FObject(Object) {}
  ~TGdiObject() { Reset(); }
  TGdiObject(const TGdiObject&) = delete;
  TGdiObject& operator=(const TGdiObject&) = delete;
  void Reset(HGDIOBJ Object = nullptr) {
    if (FObject != nullptr) DeleteObject(FObject);
    FObject = Object;
  }
  HGDIOBJ Get() const { return FObject; }
  HFONT Font() const { return static_cast<HFONT>(FObject); }

 private:
  HGDIOBJ FObject = nullptr;
};

}  // namespace ruvevid::win32
