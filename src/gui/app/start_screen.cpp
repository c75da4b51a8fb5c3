#include "app/start_screen.h"

#include <QApplication>
#include <QIcon>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <cmath>
#include <memory>

#include "app/window_util.h"

namespace qbank::gui {

namespace {

std::unique_ptr<TStartScreen> splash;

// A stylised keyboard of `keys` white keys with its black keys, filling `area`.
void paint_keys(QPainter& p, const QRectF& area, int keys) {
  const qreal w = area.width() / keys;
  p.setPen(QPen(QColor(60, 60, 70), 1));
  p.setBrush(QColor(250, 250, 245));
  for (int k = 0; k < keys; ++k)
    p.drawRect(QRectF(area.left() + k * w, area.top(), w, area.height()));
  p.setBrush(QColor(25, 25, 30));
  for (int k = 0; k < keys - 1; ++k) {
    const int in_octave = k % 7;
    if (in_octave == 2 || in_octave == 6) continue;  // no black key after E and B
    p.drawRect(QRectF(area.left() + (k + 0.65) * w, area.top(), w * 0.7, area.height() * 0.6));
  }
}

// A decaying sampled wave across `area`.
void paint_wave(QPainter& p, const QRectF& area, const QColor& colour, qreal width) {
  QPainterPath path;
  const int steps = 240;
  for (int i = 0; i <= steps; ++i) {
    const qreal t = qreal(i) / steps;
    const qreal envelope = std::exp(-2.6 * t) * (1.0 - std::exp(-40.0 * t));
    const qreal y = area.center().y() - area.height() / 2 * envelope * std::sin(t * 46.0) *
                                            (0.75 + 0.25 * std::sin(t * 7));
    const qreal x = area.left() + t * area.width();
    if (i == 0)
      path.moveTo(x, y);
    else
      path.lineTo(x, y);
  }
  p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
  p.drawPath(path);
}

}  // namespace

TStartScreen::TStartScreen(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      gauge_(new QProgressBar(this)) {
  setObjectName(QStringLiteral("StartScreen"));
  setFixedSize(312, 285);
  gauge_->setRange(0, 100);
  gauge_->setTextVisible(false);
  gauge_->setGeometry(0, 285 - 12, 312, 12);
  QPalette palette = gauge_->palette();
  palette.setColor(QPalette::Highlight, QColor(0, 0, 255));
  gauge_->setPalette(palette);
  centre_on_screen(this);
}

void TStartScreen::set_progress(std::uint8_t percent) {
  gauge_->setValue(percent > 100 ? 100 : percent);
  gauge_->repaint();
}

int TStartScreen::progress() const {
  return gauge_->value();
}

void TStartScreen::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF all(0, 0, width(), height() - 12);

  QLinearGradient sky(all.topLeft(), all.bottomLeft());
  sky.setColorAt(0, QColor(18, 32, 64));
  sky.setColorAt(1, QColor(6, 10, 24));
  p.fillRect(all, sky);

  // The instrument: a dark panel with a display and a keyboard.
  const QRectF body(26, 92, 260, 130);
  p.setPen(QPen(QColor(120, 140, 180), 1.5));
  p.setBrush(QColor(40, 44, 56));
  p.drawRoundedRect(body, 8, 8);
  const QRectF display(40, 104, 132, 46);
  p.setBrush(QColor(10, 40, 30));
  p.setPen(QPen(QColor(90, 110, 100), 1));
  p.drawRoundedRect(display, 3, 3);
  paint_wave(p, display.adjusted(6, 6, -6, -6), QColor(90, 255, 160), 1.4);
  p.setPen(Qt::NoPen);
  for (int i = 0; i < 4; ++i) {
    p.setBrush(i == 0 ? QColor(255, 120, 40) : QColor(200, 205, 215));
    p.drawEllipse(QPointF(194 + i * 24, 127), 8, 8);
  }
  paint_keys(p, QRectF(40, 160, 232, 50), 14);

  QFont font = p.font();
  font.setPixelSize(12);
  font.setBold(true);
  p.setFont(font);
  p.setPen(QColor(220, 228, 255));
  p.drawText(QRectF(8, 6, 150, 18), Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("Bank Manager"));
  p.drawText(QRectF(width() - 158, 6, 150, 18), Qt::AlignRight | Qt::AlignVCenter,
             QStringLiteral("Ver: 3.54"));
  font.setPixelSize(17);
  p.setFont(font);
  p.setPen(QColor(255, 255, 255));
  p.drawText(QRectF(0, 40, width(), 30), Qt::AlignCenter,
             QStringLiteral("Quorvatek Ample LEAD Sampler"));
  font.setPixelSize(11);
  font.setBold(false);
  p.setFont(font);
  p.setPen(QColor(150, 165, 205));
  p.drawText(QRectF(0, 232, width(), 24), Qt::AlignCenter, QStringLiteral("Quorvatek Samplers"));
}

void TStartScreen::mousePressEvent(QMouseEvent*) {
  hide();
}

void splash_show() {
  if (splash) return;
  splash = std::make_unique<TStartScreen>();
  splash->show();
  splash->repaint();
  splash_set_progress(1);
}

void splash_set_progress(std::uint8_t percent) {
  if (splash) splash->set_progress(percent);
}

void splash_hide() {
  splash.reset();
}

TStartScreen* splash_window() {
  return splash.get();
}

QIcon application_icon() {
  QIcon icon;
  for (int size : {16, 32, 48, 64, 128}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size / 64.0;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(24, 44, 92));
    p.drawRoundedRect(QRectF(2 * s, 2 * s, 60 * s, 60 * s), 10 * s, 10 * s);
    paint_wave(p, QRectF(8 * s, 8 * s, 48 * s, 22 * s), QColor(90, 255, 160),
               std::max(1.0, 2.5 * s));
    paint_keys(p, QRectF(8 * s, 36 * s, 48 * s, 20 * s), 7);
    icon.addPixmap(pixmap);
  }
  return icon;
}

}  // namespace qbank::gui
