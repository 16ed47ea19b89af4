#include "ui/GaugePaint.h"

#include <QFontMetrics>
#include <QPainter>
#include <QRect>
#include <QString>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>

namespace ruvevid {
namespace {

// A rectangle as the drawing rules state it: right and bottom are the first coordinates outside
// the area when it is filled.
struct TEdges {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
};

// Fills from (Left, Top) to (Right, Bottom), right and bottom edges excluded; nothing when empty.
void FillEdges(QPainter& Painter, int Left, int Top, int Right, int Bottom, const QColor& Colour) {
  if (Right > Left && Bottom > Top)
    Painter.fillRect(QRect(Left, Top, Right - Left, Bottom - Top), Colour);
}

int Truncate(double Value) {
  constexpr double Low = std::numeric_limits<int>::min();
  constexpr double High = std::numeric_limits<int>::max();
  if (std::isnan(Value)) return 0;
  return static_cast<int>(std::trunc(std::clamp(Value, Low, High)));
}

int RoundToInt(double Value) {
  return Truncate(std::nearbyint(Value));
}

// A fresh layer of the template's size, cleared to black (the window-frame colour).
QImage MakeLike(const QImage& Template) {
  QImage Layer(Template.size(), QImage::Format_RGB32);
  Layer.fill(Qt::black);
  return Layer;
}

// Combines Layer into Image with the exclusive-or raster operation, pixel by pixel.
void XorInto(QImage& Image, const QImage& Layer) {
  for (int Y = 0; Y < Image.height(); ++Y) {
    auto* Target = reinterpret_cast<std::uint32_t*>(Image.scanLine(Y));
    const auto* Source = reinterpret_cast<const std::uint32_t*>(Layer.constScanLine(Y));
    for (int X = 0; X < Image.width(); ++X) Target[X] = (Target[X] ^ Source[X]) | 0xFF000000u;
  }
}

// The parametric angle (degrees, anticlockwise from three o'clock) at which the ray from the
// ellipse's centre through Point meets the ellipse.
double EllipseAngle(const QRectF& Ellipse, QPointF Point) {
  const QPointF Centre = Ellipse.center();
  const double Dx = (Point.x() - Centre.x()) / (Ellipse.width() / 2.0);
  const double Dy = (Centre.y() - Point.y()) / (Ellipse.height() / 2.0);
  return std::atan2(Dy, Dx) * 180.0 / std::numbers::pi;
}

// Outline and fill of an ellipse whose bounds run from (Left, Top) to (Right, Bottom), right and
// bottom excluded, as a one-pixel pen draws it.
QRect EllipseBounds(int Left, int Top, int Right, int Bottom) {
  return {Left, Top, std::max(Right - Left - 1, 0), std::max(Bottom - Top - 1, 0)};
}

void PaintHorizontalBar(QPainter& Painter, const TEdges& R, const TGaugeLook& Look) {
  const int W = R.Right - R.Left + 1;
  const int H = R.Bottom - R.Top + 1;
  FillEdges(Painter, R.Left, R.Top, R.Right, R.Bottom, Look.BackColor);
  const int FillSize = std::min(GaugeFilledLength(W, Look.Percentage), W);
  if (FillSize > 0) FillEdges(Painter, R.Left, R.Top, FillSize, H, Look.ForeColor);
}

void PaintVerticalBar(QPainter& Painter, const TEdges& R, const TGaugeLook& Look) {
  const int W = R.Right - R.Left + 1;
  const int H = R.Bottom - R.Top + 1;
  FillEdges(Painter, R.Left, R.Top, R.Right, R.Bottom, Look.BackColor);
  int FillSize = GaugeFilledLength(H, Look.Percentage);
  if (FillSize >= H) FillSize = H - 1;
  if (FillSize > 0) FillEdges(Painter, R.Left, H - FillSize, W, H, Look.ForeColor);
}

void PaintPie(QPainter& Painter, const TEdges& R, const TGaugeLook& Look) {
  const int Extra = Look.BorderStyle == TBorderStyle::bsSingle ? 1 : 0;
  const int W = R.Right - R.Left + Extra;
  const int H = R.Bottom - R.Top + Extra;
  FillEdges(Painter, R.Left, R.Top, R.Right, R.Bottom, Look.Color);
  const QRect Ellipse = EllipseBounds(R.Left, R.Top, W, H);
  Painter.setPen(QPen(Look.ForeColor, 0));
  Painter.setBrush(Look.BackColor);
  Painter.drawEllipse(Ellipse);
  if (Look.Percentage <= 0) return;
  // The slice's arc runs anticlockwise from the point of the percentage to twelve o'clock.
  const double A = (Look.Percentage / 50.0 + 0.5) * std::numbers::pi;
  const QPointF From(RoundToInt((W / 2) * (1.0 - std::cos(A))),
                     RoundToInt((H / 2) * (1.0 - std::sin(A))));
  const QPointF To(W / 2, 0);
  const QRectF Bounds(Ellipse);
  const double Start = EllipseAngle(Bounds, From);
  double Span = EllipseAngle(Bounds, To) - Start;
  while (Span <= 1e-9) Span += 360.0;  // the same start and end point make a whole ellipse
  Painter.setBrush(Look.ForeColor);
  Painter.drawPie(Ellipse, RoundToInt(Start * 16.0), RoundToInt(Span * 16.0));
}

void PaintNeedle(QPainter& Painter, const TEdges& R, const TGaugeLook& Look) {
  const int Extra = Look.BorderStyle == TBorderStyle::bsSingle ? 1 : 0;
  const int W = R.Right - R.Left + Extra;
  FillEdges(Painter, R.Left, R.Top, R.Right, R.Bottom, Look.Color);
  // The dial is the upper half of an ellipse centred on the last row of the paint rectangle; the
  // pie's two radii make the base line along that row.
  const int Base = R.Bottom - 1;
  const QRect Dial(R.Left, R.Top, std::max(W - R.Left - 1, 0), std::max(2 * (Base - R.Top), 0));
  Painter.setPen(QPen(Look.ForeColor, 0));
  Painter.setBrush(Look.BackColor);
  Painter.drawPie(Dial, 0, 180 * 16);
  if (Look.Percentage <= 0) return;
  const double A = Look.Percentage / 100.0 * std::numbers::pi;
  const int Half = Look.Size.width() / 2;
  const QPoint Tip(RoundToInt(Half * (1.0 - std::cos(A))), RoundToInt(Base * (1.0 - std::sin(A))));
  Painter.drawLine(QPoint(Half, Base), Tip);
}

void PaintKind(QImage& Overlay, const TEdges& R, const TGaugeLook& Look) {
  QPainter Painter(&Overlay);
  Painter.setRenderHint(QPainter::Antialiasing, false);
  Painter.setClipRect(QRect(R.Left, R.Top, R.Right - R.Left, R.Bottom - R.Top));
  switch (Look.Kind) {
    case TGaugeKind::gkText:
      FillEdges(Painter, R.Left, R.Top, R.Right, R.Bottom, Look.BackColor);
      break;
    case TGaugeKind::gkHorizontalBar:
      PaintHorizontalBar(Painter, R, Look);
      break;
    case TGaugeKind::gkVerticalBar:
      PaintVerticalBar(Painter, R, Look);
      break;
    case TGaugeKind::gkPie:
      PaintPie(Painter, R, Look);
      break;
    case TGaugeKind::gkNeedle:
      PaintNeedle(Painter, R, Look);
      break;
  }
}

// White text on black, so that combining it with exclusive-or inverts the pixels it covers. The
// text is drawn without smoothing: every pixel is either fully inverted or left alone.
void PaintText(QImage& Layer, const TEdges& R, const TGaugeLook& Look) {
  QFont Font = Look.Font;
  Font.setStyleStrategy(QFont::NoAntialias);
  const QString Text = QString::number(Look.Percentage) + QLatin1Char('%');
  const QFontMetrics Metrics(Font);
  const int X = (R.Right - R.Left + 1 - Metrics.horizontalAdvance(Text)) / 2;
  const int Y = (R.Bottom - R.Top + 1 - Metrics.height()) / 2;
  QPainter Painter(&Layer);
  Painter.setClipRect(QRect(R.Left, R.Top, R.Right - R.Left, R.Bottom - R.Top));
  Painter.setFont(Font);
  Painter.setPen(Qt::white);
  Painter.drawText(QPoint(X, Y + Metrics.ascent()), Text);
}

}  // namespace

int GaugePercentage(int MinValue, int MaxValue, int Progress) {
  if (MaxValue == MinValue) return 0;
  const double Range = static_cast<double>(MaxValue) - static_cast<double>(MinValue);
  return Truncate((static_cast<double>(Progress) - static_cast<double>(MinValue)) * 100.0 / Range);
}

int GaugeFilledLength(int Length, int Percent) {
  return Truncate(Length * (Percent * 0.01));
}

QImage RenderGauge(const TGaugeLook& Look) {
  QImage Image(Look.Size.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
  Image.fill(Qt::black);
  TEdges Paint{0, 0, Look.Size.width(), Look.Size.height()};
  if (Look.BorderStyle == TBorderStyle::bsSingle) Paint = {1, 1, Paint.Right - 1, Paint.Bottom - 1};

  QImage Overlay = MakeLike(Image);
  PaintKind(Overlay, Paint, Look);
  XorInto(Image, Overlay);

  if (Look.ShowText) {
    QImage TextLayer = MakeLike(Image);
    PaintText(TextLayer, Paint, Look);
    XorInto(Image, TextLayer);
  }
  return Image;
}

}  // namespace ruvevid
