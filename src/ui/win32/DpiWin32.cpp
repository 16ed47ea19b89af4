#include "ui/win32/DpiWin32.h"

#include <cwchar>

namespace ruvevid::win32 {
namespace {

// A system function looked up by name: older systems lack the density functions, so they are
// not imported.
template <class TFunction>
TFunction SystemFunction(const wchar_t* Module, const char* Name) {
  HMODULE Handle = GetModuleHandleW(Module);
  if (Handle == nullptr) Handle = LoadLibraryW(Module);
  if (Handle == nullptr) return nullptr;
  const FARPROC Address = GetProcAddress(Handle, Name);
  // Through the generic function type: the compiler accepts that cast without a warning.
  return reinterpret_cast<TFunction>(reinterpret_cast<void (*)()>(Address));
}

using TSetContext = BOOL(WINAPI*)(HANDLE);
using TSetAwareness = HRESULT(WINAPI*)(int);
using TSetAware = BOOL(WINAPI*)();
using TGetDpiForWindow = UINT(WINAPI*)(HWND);
using TAdjustForDpi = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);

// The value of DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2 and of PROCESS_PER_MONITOR_DPI_AWARE.
constexpr LONG_PTR kPerMonitorV2Context = -4;
constexpr int kPerMonitorAwareness = 2;

int CALLBACK NoteFace(const LOGFONTW* Font, const TEXTMETRICW* /*Metric*/, DWORD /*Type*/,
                      LPARAM Found) {
  auto* Face = reinterpret_cast<std::wstring*>(Found);
  // Faces starting with @ are the vertical-writing variants.
  if (Font->lfFaceName[0] == L'@') return 1;
  *Face = Font->lfFaceName;
  return 0;
}

std::wstring FindFace(HDC Dc, const wchar_t* Name, BYTE CharSet) {
  LOGFONTW Query{};
  Query.lfCharSet = CharSet;
  if (Name != nullptr) wcsncpy(Query.lfFaceName, Name, LF_FACESIZE - 1);
  std::wstring Found;
  EnumFontFamiliesExW(Dc, &Query, NoteFace, reinterpret_cast<LPARAM>(&Found), 0);
  return Found;
}

}  // namespace

void EnablePerMonitorDpiAwareness() {
  if (const auto SetContext =
          SystemFunction<TSetContext>(L"user32.dll", "SetProcessDpiAwarenessContext")) {
    if (SetContext(reinterpret_cast<HANDLE>(kPerMonitorV2Context))) return;
  }
  if (const auto SetAwareness =
          SystemFunction<TSetAwareness>(L"shcore.dll", "SetProcessDpiAwareness")) {
    if (SUCCEEDED(SetAwareness(kPerMonitorAwareness))) return;
  }
  if (const auto SetAware = SystemFunction<TSetAware>(L"user32.dll", "SetProcessDPIAware")) {
    SetAware();
  }
}

UINT WindowDpi(HWND Window) {
  if (const auto GetDpi = SystemFunction<TGetDpiForWindow>(L"user32.dll", "GetDpiForWindow")) {
    const UINT Dpi = GetDpi(Window);
    if (Dpi != 0) return Dpi;
  }
  HDC Dc = GetDC(Window);
  const int Dpi = GetDeviceCaps(Dc, LOGPIXELSY);
  ReleaseDC(Window, Dc);
  return Dpi > 0 ? static_cast<UINT>(Dpi) : kLayoutDpi;
}

SIZE FrameSizeForClient(int ClientWidth, int ClientHeight, DWORD Style, DWORD ExStyle, UINT Dpi) {
  RECT Frame{0, 0, ClientWidth, ClientHeight};
  const auto AdjustForDpi =
      SystemFunction<TAdjustForDpi>(L"user32.dll", "AdjustWindowRectExForDpi");
  if (AdjustForDpi == nullptr || !AdjustForDpi(&Frame, Style, FALSE, ExStyle, Dpi)) {
    Frame = {0, 0, ClientWidth, ClientHeight};
    AdjustWindowRectEx(&Frame, Style, FALSE, ExStyle);
  }
  return {Frame.right - Frame.left, Frame.bottom - Frame.top};
}

std::wstring ResolveFace(std::initializer_list<const wchar_t*> Preferred) {
  HDC Dc = GetDC(nullptr);
  std::wstring Face;
  for (const wchar_t* Name : Preferred) {
    Face = FindFace(Dc, Name, DEFAULT_CHARSET);
    if (!Face.empty()) break;
  }
  if (Face.empty()) Face = FindFace(Dc, nullptr, HANGUL_CHARSET);
  ReleaseDC(nullptr, Dc);
  if (Face.empty() && Preferred.size() > 0) Face = *Preferred.begin();
  return Face;
}

HFONT MakeFont(const std::wstring& Face, int PixelHeight, UINT Dpi, bool Bold, bool Smoothed) {
  LOGFONTW Font{};
  Font.lfHeight = -Scale(PixelHeight, Dpi);
  Font.lfWeight = Bold ? FW_BOLD : FW_NORMAL;
  Font.lfCharSet = DEFAULT_CHARSET;
  Font.lfOutPrecision = OUT_TT_PRECIS;
  Font.lfQuality = Smoothed ? CLEARTYPE_QUALITY : NONANTIALIASED_QUALITY;
  wcsncpy(Font.lfFaceName, Face.c_str(), LF_FACESIZE - 1);
  return CreateFontIndirectW(&Font);
}

}  // namespace ruvevid::win32
