#pragma once
// The window's pictures drawn with GDI at the monitor's density: the side picture, the window
// icon and the three button glyphs, in the sizes of the 96-dpi layout scaled to Dpi.

#include <windows.h>

namespace ruvevid::win32 {

inline constexpr int kSidePictureWidth = 227;
inline constexpr int kSidePictureHeight = 341;

// A 32-bit top-down bitmap of the side picture, kSidePictureWidth x kSidePictureHeight scaled to
// Dpi. The caller deletes it.
HBITMAP MakeSidePicture(UINT Dpi);

// A window icon Size pixels square; the caller destroys it.
HICON MakeWindowIcon(int Size);

enum class TGlyph { gCancel, gRestart, gClose };

// Draws a 16 x 16 glyph (16 x 17 for Cancel) with its top left at (X, Y) of Dc, scaled to Dpi;
// a disabled glyph is drawn in greys.
void PaintGlyph(HDC Dc, TGlyph Glyph, int X, int Y, UINT Dpi, bool Enabled);

}  // namespace ruvevid::win32
