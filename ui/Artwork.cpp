#include "ui/Artwork.h"

#include <QPainter>
#include <QPainterPath>

namespace lk24 {

namespace {

constexpr int kWidth = 83;
constexpr int kHeight = 54;

void drawComputer(QPainter& p) {
  p.setPen(QPen(Qt::black, 1));
  p.setBrush(QColor(192, 192, 192));
  p.drawRect(3, 8, 26, 20);            // screen housing
  p.setBrush(QColor(0, 0, 128));
  p.drawRect(6, 11, 20, 14);           // screen
  p.setBrush(QColor(192, 192, 192));
  p.drawRect(12, 28, 8, 4);            // stand
  p.drawRect(2, 34, 28, 10);           // keyboard
  p.setPen(QColor(128, 128, 128));
  for (int x = 5; x < 28; x += 4) p.drawLine(x, 37, x + 1, 37);
  for (int x = 5; x < 28; x += 4) p.drawLine(x, 40, x + 1, 40);
}

void drawDevice(QPainter& p) {
  p.setPen(QPen(Qt::black, 1));
  p.setBrush(QColor(255, 255, 255));
  p.drawRoundedRect(57, 12, 22, 34, 3, 3);  // housing
  p.drawLine(74, 12, 74, 3);                // antenna
  p.setBrush(QColor(255, 0, 0));
  p.drawEllipse(QPoint(64, 20), 3, 3);      // LED
  p.setBrush(QColor(128, 128, 128));
  p.drawRect(61, 30, 14, 10);               // button
}

void drawArrow(QPainter& p, bool towardsComputer) {
  const int y = 27;
  const int tail = towardsComputer ? 53 : 34;
  const int head = towardsComputer ? 34 : 53;
  const int dir = towardsComputer ? -1 : 1;
  p.setPen(QPen(QColor(0, 128, 0), 3));
  p.drawLine(tail, y, head - dir * 5, y);
  QPainterPath tip;
  tip.moveTo(head, y);
  tip.lineTo(head - dir * 7, y - 5);
  tip.lineTo(head - dir * 7, y + 5);
  tip.closeSubpath();
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0, 128, 0));
  p.drawPath(tip);
}

QPixmap picture(bool towardsComputer) {
  QPixmap pixmap(kWidth, kHeight);
  pixmap.fill(Qt::white);
  QPainter p(&pixmap);
  drawComputer(p);
  drawDevice(p);
  drawArrow(p, towardsComputer);
  return pixmap;
}

}  // namespace

QPixmap ReadPicture() { return picture(true); }
QPixmap ProgramPicture() { return picture(false); }

}  // namespace lk24
