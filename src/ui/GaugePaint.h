#pragma once
// How a gauge looks, as a pure function of its state: the image it paints is rendered off-screen
// into a QImage, so the drawing can be checked pixel by pixel without a screen.

#include <QColor>
#include <QFont>
#include <QImage>
#include <QSize>

namespace ruvevid {

enum class TGaugeKind { gkText, gkHorizontalBar, gkVerticalBar, gkPie, gkNeedle };
enum class TBorderStyle { bsNone, bsSingle };

// trunc((Progress - MinValue) * 100 / (MaxValue - MinValue)) in floating point; 0 for an empty
// range.
int GaugePercentage(int MinValue, int MaxValue, int Progress);

// trunc(Length * (Percent * 0.01)), the filled part of a length at a percentage.
int GaugeFilledLength(int Length, int Percent);

// Everything the drawing depends on.
struct TGaugeLook {
  QSize Size{100, 100};
  TGaugeKind Kind = TGaugeKind::gkHorizontalBar;
  bool ShowText = true;
  TBorderStyle BorderStyle = TBorderStyle::bsSingle;
  QColor ForeColor{Qt::black};
  QColor BackColor{Qt::white};
  QColor Color{Qt::lightGray};  // the surround of the pie and needle kinds
  int Percentage = 0;
  QFont Font;
};

// The finished image of the gauge (Format_RGB32): the kind's drawing combined into a black image
// with exclusive-or, then the percentage text combined the same way, so white text inverts what
// lies under it. With a single border the outermost pixel ring stays black and forms the frame.
QImage RenderGauge(const TGaugeLook& Look);

}  // namespace ruvevid
