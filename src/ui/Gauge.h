#pragma once
// TGauge: a small control that shows a value between a minimum and a maximum as a percentage,
// as a bar, a pie, a needle dial or the text alone. The drawing itself is RenderGauge.

#include <QColor>
#include <QImage>
#include <QWidget>
#include <optional>
#include <stdexcept>

#include "ui/GaugePaint.h"

namespace ruvevid {

// The framework's invalid-operation error.
class EInvalidOperation : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TGauge : public QWidget {
 public:
  explicit TGauge(QWidget* Owner = nullptr);

  int MinValue() const { return FMinValue; }
  void SetMinValue(int Value);  // throws EInvalidOperation above MaxValue, unless loading
  int MaxValue() const { return FMaxValue; }
  void SetMaxValue(int Value);  // throws EInvalidOperation below MinValue, unless loading
  int Progress() const { return FProgress; }
  void SetProgress(int Value);  // clamped to the range; repaints only when Percentage changes

  TGaugeKind Kind() const { return FKind; }
  void SetKind(TGaugeKind Value);
  bool ShowText() const { return FShowText; }
  void SetShowText(bool Value);
  TBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TBorderStyle Value);
  QColor ForeColor() const { return FForeColor; }
  void SetForeColor(const QColor& Value);
  QColor BackColor() const { return FBackColor; }
  void SetBackColor(const QColor& Value);
  // The surround of the pie and needle kinds; follows the parent's colour until set.
  QColor Color() const;
  void SetColor(const QColor& Value);

  int Percentage() const { return GaugePercentage(FMinValue, FMaxValue, FProgress); }

  // While the control is being loaded from a window definition, MinValue and MaxValue accept
  // values that cross each other.
  void SetLoading(bool Loading) { FLoading = Loading; }

  // The image the control paints, rendered off-screen from its current state.
  QImage Render() const;
  // How many times a setter asked for a repaint (tests use it to see that one did not).
  int RepaintRequests() const { return FRepaintRequests; }

 protected:
  void paintEvent(QPaintEvent* Event) override;

 private:
  void RepaintNow();

  int FMinValue = 0;
  int FMaxValue = 100;
  int FProgress = 0;
  TGaugeKind FKind = TGaugeKind::gkHorizontalBar;
  bool FShowText = true;
  TBorderStyle FBorderStyle = TBorderStyle::bsSingle;
  QColor FForeColor{Qt::black};
  QColor FBackColor{Qt::white};
  std::optional<QColor> FColor;
  bool FLoading = false;
  int FRepaintRequests = 0;
};

}  // namespace ruvevid
