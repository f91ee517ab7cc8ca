#include "app/Pictures.h"

#include <QPainter>
#include <QPainterPath>

namespace kaldo {

namespace {

QPixmap Blank(int w, int h) {
  QPixmap p(w, h);
  p.fill(Qt::transparent);
  return p;
}

}  // namespace

QPixmap OpenFolderPicture() {
  QPixmap pixmap = Blank(16, 15);
  QPainter g(&pixmap);
  const QColor outline(96, 72, 0);
  // Back of the folder with its tab.
  QPainterPath back;
  back.moveTo(0.5, 3.5);
  back.lineTo(1.5, 2.5);
  back.lineTo(5.5, 2.5);
  back.lineTo(6.5, 3.5);
  back.lineTo(11.5, 3.5);
  back.lineTo(11.5, 13.5);
  back.lineTo(0.5, 13.5);
  back.closeSubpath();
  g.setPen(outline);
  g.setBrush(QColor(230, 190, 40));
  g.drawPath(back);
  // The front flap, tilted open.
  QPainterPath front;
  front.moveTo(0.5, 13.5);
  front.lineTo(3.5, 7.5);
  front.lineTo(14.5, 7.5);
  front.lineTo(11.5, 13.5);
  front.closeSubpath();
  g.setBrush(QColor(255, 226, 90));
  g.drawPath(front);
  // The arrow out of the folder, bending to the right.
  g.setRenderHint(QPainter::Antialiasing);
  g.setPen(QPen(QColor(0, 110, 0), 1.4));
  g.setBrush(Qt::NoBrush);
  QPainterPath arrow;
  arrow.moveTo(8.5, 5.5);
  arrow.quadTo(9.0, 1.0, 13.5, 1.5);
  g.drawPath(arrow);
  g.setPen(Qt::NoPen);
  g.setBrush(QColor(0, 110, 0));
  g.drawPolygon(QPolygonF({QPointF(12.0, -0.5), QPointF(16.0, 1.6), QPointF(12.0, 3.8)}));
  return pixmap;
}

QPixmap FloppyPicture() {
  QPixmap pixmap = Blank(16, 16);
  QPainter g(&pixmap);
  // Body with a cut corner.
  QPainterPath body;
  body.moveTo(0.5, 0.5);
  body.lineTo(13.5, 0.5);
  body.lineTo(15.5, 2.5);
  body.lineTo(15.5, 15.5);
  body.lineTo(0.5, 15.5);
  body.closeSubpath();
  g.setPen(QColor(0, 0, 90));
  g.setBrush(QColor(40, 70, 190));
  g.drawPath(body);
  // Metal shutter with its window.
  g.setPen(Qt::NoPen);
  g.setBrush(QColor(200, 200, 210));
  g.drawRect(4, 1, 8, 5);
  g.setBrush(QColor(40, 70, 190));
  g.drawRect(9, 2, 2, 3);
  // Label.
  g.setBrush(Qt::white);
  g.drawRect(3, 9, 10, 6);
  g.setPen(QColor(150, 150, 170));
  g.drawLine(4, 11, 11, 11);
  g.drawLine(4, 13, 11, 13);
  return pixmap;
}

QPixmap InfoPicture() {
  QPixmap pixmap = Blank(18, 18);
  QPainter g(&pixmap);
  g.setRenderHint(QPainter::Antialiasing);
  QRadialGradient shade(QPointF(7, 6), 11);
  shade.setColorAt(0, QColor(90, 140, 255));
  shade.setColorAt(1, QColor(10, 40, 170));
  g.setPen(QPen(QColor(0, 20, 110), 1));
  g.setBrush(shade);
  g.drawEllipse(QRectF(0.5, 0.5, 17, 17));
  g.setPen(Qt::NoPen);
  g.setBrush(Qt::white);
  g.drawEllipse(QRectF(7.6, 3.2, 2.8, 2.8));
  g.drawRect(QRectF(7.8, 7.2, 2.4, 6.3));
  g.drawRect(QRectF(6.6, 7.2, 1.4, 1.2));
  g.drawRect(QRectF(6.6, 12.6, 4.8, 1.3));
  return pixmap;
}

QIcon ProgramIcon() {
  QIcon icon;
  for (int size : {16, 32, 48}) {
    QPixmap pixmap = Blank(size, size);
    QPainter g(&pixmap);
    g.setRenderHint(QPainter::Antialiasing);
    const qreal s = size / 32.0;
    g.scale(s, s);
    // Pins on both long sides.
    g.setPen(Qt::NoPen);
    g.setBrush(QColor(200, 200, 200));
    for (int i = 0; i < 6; ++i) {
      g.drawRect(QRectF(4, 4.5 + i * 4.2, 4, 2));
      g.drawRect(QRectF(24, 4.5 + i * 4.2, 4, 2));
    }
    // Body with the notch at the top.
    g.setBrush(QColor(40, 40, 48));
    g.drawRoundedRect(QRectF(7, 2, 18, 28), 2, 2);
    g.setBrush(QColor(120, 120, 130));
    g.drawEllipse(QRectF(13.5, 0.5, 5, 5));
    // A lightning stroke: the chip being programmed.
    g.setBrush(QColor(255, 210, 0));
    g.drawPolygon(QPolygonF({QPointF(18, 7), QPointF(11, 17), QPointF(15.5, 17), QPointF(13, 26),
                             QPointF(21, 14), QPointF(16.5, 14)}));
    icon.addPixmap(pixmap);
  }
  return icon;
}

}  // namespace kaldo
