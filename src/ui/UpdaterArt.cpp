#include "ui/UpdaterArt.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <QRadialGradient>

namespace ruvevid {
namespace {

QImage Transparent(int Width, int Height) {
  QImage Image(Width, Height, QImage::Format_ARGB32_Premultiplied);
  Image.fill(Qt::transparent);
  return Image;
}

// A sheet of blank labels, slightly turned, as a label printer feeds it.
void PaintLabelSheet(QPainter& Painter, QRectF Sheet) {
  Painter.save();
  Painter.translate(Sheet.center());
  Painter.rotate(-8);
  Painter.translate(-Sheet.center());
  Painter.setPen(Qt::NoPen);
  Painter.setBrush(QColor(0, 0, 0, 50));
  Painter.drawRoundedRect(Sheet.translated(4, 5), 6, 6);
  Painter.setBrush(QColor(250, 252, 255));
  Painter.drawRoundedRect(Sheet, 6, 6);
  const double Gap = 8;
  const double LabelHeight = (Sheet.height() - 5 * Gap) / 4;
  for (int Row = 0; Row < 4; ++Row) {
    const QRectF Label(Sheet.left() + Gap, Sheet.top() + Gap + Row * (LabelHeight + Gap),
                       Sheet.width() - 2 * Gap, LabelHeight);
    Painter.setPen(QPen(QColor(120, 160, 215), 1.2));
    Painter.setBrush(Row == 1 ? QColor(255, 236, 170) : QColor(235, 243, 255));
    Painter.drawRoundedRect(Label, 5, 5);
    Painter.setPen(QPen(QColor(90, 120, 170), 2.0, Qt::SolidLine, Qt::RoundCap));
    const double Y = Label.center().y();
    Painter.drawLine(QPointF(Label.left() + 10, Y - 5), QPointF(Label.right() - 22, Y - 5));
    Painter.drawLine(QPointF(Label.left() + 10, Y + 4), QPointF(Label.right() - 40, Y + 4));
    // A small bar code at the right end of each label.
    Painter.setPen(QPen(QColor(40, 50, 70), 1.0));
    for (int Bar = 0; Bar < 6; ++Bar) {
      const double X = Label.right() - 18 + Bar * 2.2;
      Painter.drawLine(QPointF(X, Y - 8), QPointF(X, Y + 8));
    }
  }
  Painter.restore();
}

void PaintDownArrow(QPainter& Painter, QPointF Tip, double Size, const QColor& Colour) {
  QPainterPath Arrow;
  Arrow.moveTo(Tip);
  Arrow.lineTo(Tip.x() - Size, Tip.y() - Size);
  Arrow.lineTo(Tip.x() - Size * 0.4, Tip.y() - Size);
  Arrow.lineTo(Tip.x() - Size * 0.4, Tip.y() - Size * 2.0);
  Arrow.lineTo(Tip.x() + Size * 0.4, Tip.y() - Size * 2.0);
  Arrow.lineTo(Tip.x() + Size * 0.4, Tip.y() - Size);
  Arrow.lineTo(Tip.x() + Size, Tip.y() - Size);
  Arrow.closeSubpath();
  Painter.setPen(Qt::NoPen);
  Painter.setBrush(Colour);
  Painter.drawPath(Arrow);
}

}  // namespace

QImage SidePicture() {
  QImage Image(227, 341, QImage::Format_RGB32);
  QPainter Painter(&Image);
  Painter.setRenderHint(QPainter::Antialiasing);
  QLinearGradient Sky(0, 0, 0, 341);
  Sky.setColorAt(0.0, QColor(22, 62, 138));
  Sky.setColorAt(0.6, QColor(46, 120, 200));
  Sky.setColorAt(1.0, QColor(150, 200, 240));
  Painter.fillRect(Image.rect(), Sky);
  QRadialGradient Glow(QPointF(180, 60), 140);
  Glow.setColorAt(0.0, QColor(255, 255, 255, 70));
  Glow.setColorAt(1.0, QColor(255, 255, 255, 0));
  Painter.fillRect(Image.rect(), Glow);

  PaintLabelSheet(Painter, QRectF(48, 118, 132, 168));
  PaintDownArrow(Painter, QPointF(170, 112), 16, QColor(255, 200, 60));

  QFont Title;
  Title.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("NanumGothic")});
  Title.setPixelSize(26);
  Title.setBold(true);
  Painter.setFont(Title);
  Painter.setPen(Qt::white);
  Painter.drawText(QRect(18, 24, 200, 32), Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("Ruvevid"));
  Title.setPixelSize(14);
  Title.setBold(false);
  Painter.setFont(Title);
  Painter.setPen(QColor(220, 235, 255));
  Painter.drawText(QRect(20, 56, 200, 20), Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("Label Maker"));
  Painter.setPen(QPen(QColor(255, 255, 255, 120), 1));
  Painter.drawLine(20, 82, 150, 82);
  Painter.setPen(QColor(20, 50, 100));
  Painter.drawText(QRect(18, 306, 200, 20), Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("Update"));
  return Image;
}

QImage WindowIcon() {
  QImage Image = Transparent(48, 48);
  QPainter Painter(&Image);
  Painter.setRenderHint(QPainter::Antialiasing);
  QLinearGradient Face(0, 0, 0, 48);
  Face.setColorAt(0.0, QColor(60, 130, 215));
  Face.setColorAt(1.0, QColor(24, 70, 150));
  Painter.setPen(QPen(QColor(15, 45, 100), 1.5));
  Painter.setBrush(Face);
  Painter.drawRoundedRect(QRectF(2, 2, 44, 44), 9, 9);
  Painter.setPen(Qt::NoPen);
  Painter.setBrush(QColor(250, 252, 255));
  Painter.drawRoundedRect(QRectF(9, 20, 30, 20), 4, 4);
  Painter.setPen(QPen(QColor(90, 120, 170), 2.0, Qt::SolidLine, Qt::RoundCap));
  Painter.drawLine(QPointF(14, 27), QPointF(30, 27));
  Painter.drawLine(QPointF(14, 33), QPointF(25, 33));
  PaintDownArrow(Painter, QPointF(34, 22), 8, QColor(255, 200, 60));
  return Image;
}

QImage CancelGlyph() {
  QImage Image = Transparent(16, 17);
  QPainter Painter(&Image);
  Painter.setRenderHint(QPainter::Antialiasing);
  Painter.setPen(QPen(QColor(150, 20, 20), 1.0));
  Painter.setBrush(QColor(215, 45, 40));
  Painter.drawEllipse(QRectF(0.5, 1.0, 15, 15));
  Painter.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap));
  Painter.drawLine(QPointF(5, 5.5), QPointF(11, 11.5));
  Painter.drawLine(QPointF(11, 5.5), QPointF(5, 11.5));
  return Image;
}

QImage RestartGlyph() {
  QImage Image = Transparent(16, 16);
  QPainter Painter(&Image);
  Painter.setRenderHint(QPainter::Antialiasing);
  const QColor Green(30, 140, 60);
  Painter.setPen(QPen(Green, 2.4, Qt::SolidLine, Qt::FlatCap));
  Painter.setBrush(Qt::NoBrush);
  Painter.drawArc(QRectF(2.5, 2.5, 11, 11), 60 * 16, 280 * 16);
  QPainterPath Head;
  Head.moveTo(9.0, 0.5);
  Head.lineTo(14.5, 3.2);
  Head.lineTo(9.5, 6.8);
  Head.closeSubpath();
  Painter.setPen(Qt::NoPen);
  Painter.setBrush(Green);
  Painter.drawPath(Head);
  return Image;
}

QImage CloseGlyph() {
  QImage Image = Transparent(16, 16);
  QPainter Painter(&Image);
  Painter.setRenderHint(QPainter::Antialiasing);
  // A door standing open with an arrow leaving through it.
  Painter.setPen(QPen(QColor(90, 60, 30), 1.0));
  Painter.setBrush(QColor(200, 150, 90));
  Painter.drawRect(QRectF(1.5, 1.5, 8, 13));
  Painter.setBrush(QColor(150, 100, 50));
  QPainterPath Leaf;
  Leaf.moveTo(1.5, 1.5);
  Leaf.lineTo(6.0, 3.0);
  Leaf.lineTo(6.0, 15.5);
  Leaf.lineTo(1.5, 14.5);
  Leaf.closeSubpath();
  Painter.drawPath(Leaf);
  Painter.setPen(QPen(QColor(30, 100, 200), 2.0, Qt::SolidLine, Qt::RoundCap));
  Painter.drawLine(QPointF(8.5, 8), QPointF(14.5, 8));
  Painter.drawLine(QPointF(12, 5.5), QPointF(14.5, 8));
  Painter.drawLine(QPointF(12, 10.5), QPointF(14.5, 8));
  return Image;
}

}  // namespace ruvevid
