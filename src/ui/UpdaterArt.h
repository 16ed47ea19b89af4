#pragma once
// The window's pictures, drawn at run time: the side picture, the window icon and the three
// button glyphs, each in the size the window definition gives it.

#include <QImage>

namespace ruvevid {

QImage SidePicture();   // 227 x 341, opaque
QImage WindowIcon();    // 48 x 48
QImage CancelGlyph();   // 16 x 17
QImage RestartGlyph();  // 16 x 16
QImage CloseGlyph();    // 16 x 16

}  // namespace ruvevid
