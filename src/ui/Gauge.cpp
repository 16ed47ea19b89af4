#include "ui/Gauge.h"

#include <QPainter>
#include <QPalette>
#include <cstdint>
#include <limits>
#include <string>

namespace ruvevid {
namespace {

[[noreturn]] void RaiseOutOfRange(std::int64_t Low, std::int64_t High) {
  throw EInvalidOperation("Value must be between " + std::to_string(Low) + " and " +
                          std::to_string(High));
}

}  // namespace

TGauge::TGauge(QWidget* Owner) : QWidget(Owner) {
  // Every pixel of the area is painted, so nothing beneath needs drawing first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  resize(100, 100);
}

void TGauge::SetMinValue(int Value) {
  if (Value == FMinValue) return;
  if (Value > FMaxValue && !FLoading) {
    RaiseOutOfRange(-std::int64_t{std::numeric_limits<int>::max()}, std::int64_t{FMaxValue} - 1);
  }
  FMinValue = Value;
  if (FProgress < Value) FProgress = Value;
  RepaintNow();
}

void TGauge::SetMaxValue(int Value) {
  if (Value == FMaxValue) return;
  if (Value < FMinValue && !FLoading) {
    RaiseOutOfRange(std::int64_t{FMinValue} + 1, std::numeric_limits<int>::max());
  }
  FMaxValue = Value;
  if (FProgress > Value) FProgress = Value;
  RepaintNow();
}

void TGauge::SetProgress(int Value) {
  const int Before = Percentage();
  if (Value < FMinValue) {
    Value = FMinValue;
  } else if (Value > FMaxValue) {
    Value = FMaxValue;
  }
  if (Value == FProgress) return;
  FProgress = Value;
  if (Percentage() != Before) RepaintNow();
}

void TGauge::SetKind(TGaugeKind Value) {
  if (Value == FKind) return;
  FKind = Value;
  RepaintNow();
}

void TGauge::SetShowText(bool Value) {
  if (Value == FShowText) return;
  FShowText = Value;
  RepaintNow();
}

void TGauge::SetBorderStyle(TBorderStyle Value) {
  if (Value == FBorderStyle) return;
  FBorderStyle = Value;
  RepaintNow();
}

void TGauge::SetForeColor(const QColor& Value) {
  if (Value == FForeColor) return;
  FForeColor = Value;
  RepaintNow();
}

void TGauge::SetBackColor(const QColor& Value) {
  if (Value == FBackColor) return;
  FBackColor = Value;
  RepaintNow();
}

QColor TGauge::Color() const {
  return FColor.value_or(palette().color(QPalette::Window));
}

void TGauge::SetColor(const QColor& Value) {
  if (FColor == Value) return;
  FColor = Value;
  RepaintNow();
}

QImage TGauge::Render() const {
  TGaugeLook Look;
  Look.Size = size();
  Look.Kind = FKind;
  Look.ShowText = FShowText;
  Look.BorderStyle = FBorderStyle;
  Look.ForeColor = FForeColor;
  Look.BackColor = FBackColor;
  Look.Color = Color();
  Look.Percentage = Percentage();
  Look.Font = font();
  return RenderGauge(Look);
}

void TGauge::paintEvent(QPaintEvent* /*Event*/) {
  QPainter Painter(this);
  Painter.drawImage(0, 0, Render());
}

// The request is queued: the window system paints it at its next pass together with every
// other change, so a burst of progress steps costs one paint.
void TGauge::RepaintNow() {
  ++FRepaintRequests;
  update();
}

}  // namespace ruvevid
