#include "audio/my_wave_plot.h"

#include <QMouseEvent>
#include <QPainter>

namespace qbank::gui {
namespace {

const QColor plot_background(208, 208, 208);
const QColor centre_line(128, 128, 128);
const QColor quarter_line(192, 192, 192);
const QColor left_wave(64, 64, 223);
const QColor right_wave(208, 0, 0);
const QColor plot_text(255, 255, 0);
const QColor message_background(240, 240, 240);
const QColor message_text(128, 128, 128);
constexpr int text_margin = 4;

void hline(QPainter& p, const QColor& colour, int y, int width) {
  p.setPen(colour);
  p.drawLine(0, y, width - 1, y);
}

}  // namespace

MyWavePlot::MyWavePlot(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("PaintBoxPlot"));
  // The instrument's size at the least; a wider plot shows more columns of the same sound.
  setMinimumSize(plot_width, plot_height);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  setAttribute(Qt::WA_OpaquePaintEvent);
  draw_message();
}

void MyWavePlot::plot(const std::int16_t* samples, std::uint32_t length, bool stereo) {
  samples_ = samples;
  length_ = length;
  stereo_ = stereo;
  cursor_ = -1;
  message_.clear();
  peaks_ = compute_wave_peaks(samples, length, stereo, width());
  draw_waveform();
  plotted_ = true;
}

void MyWavePlot::show_message(const QString& text) {
  samples_ = nullptr;
  length_ = 0;
  cursor_ = -1;
  peaks_ = {};
  message_ = text;
  draw_message();
  plotted_ = false;
}

void MyWavePlot::zoom(bool up) {
  const int level = zoom_step(zoom_, up);
  if (level == zoom_) return;
  zoom_ = level;
  if (plotted_) draw_waveform();
}

QString MyWavePlot::zoom_text() const {
  return QString::fromStdString(qbank::zoom_text(zoom_));
}

void MyWavePlot::set_cursor(std::uint64_t position) {
  const int x = qbank::cursor_column(position, length_, width());
  if (x == cursor_) return;
  const int old = cursor_;
  cursor_ = x;
  update_column(old);
  update_column(x);
}

void MyWavePlot::update_column(int x) {
  if (x >= 0) update(QRect(x, 0, 1, height()));
}

void MyWavePlot::draw_waveform() {
  const int w = width();
  const int h = height();
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(plot_background);
  QPainter p(&image);
  const std::vector<column_height> columns = column_heights(peaks_, zoom_, h);
  const int lanes = stereo_ ? 2 : 1;
  const int c0 = lane_centre(stereo_, 0, h);
  if (stereo_) hline(p, centre_line, h / 2, w);
  for (int lane = 0; lane < lanes; ++lane) {
    const int c = lane_centre(stereo_, lane, h);
    hline(p, centre_line, c, w);
    // Stereo lanes take their quarter lines from the left lane's centre.
    hline(p, quarter_line, c - c0 / 2, w);
    hline(p, quarter_line, c + c0 / 2, w);
  }
  for (int lane = 0; lane < lanes; ++lane) {
    const int c = lane_centre(stereo_, lane, h);
    p.setPen(lane == 0 ? left_wave : right_wave);
    for (int x = 0; x < static_cast<int>(columns.size()); ++x)
      p.drawLine(x, c - columns[x].above[lane], x, c + columns[x].below[lane]);
  }
  p.setPen(plot_text);
  p.setFont(font());
  const int line = QFontMetrics(font()).height();
  const int right = w - text_margin;
  p.drawText(QRect(0, 3, right, line), Qt::AlignRight | Qt::AlignTop,
             QString::number(peaks_.frames));
  p.drawText(QRect(0, h - 15, right, line), Qt::AlignRight | Qt::AlignTop,
             QString::fromStdString(duration_text(peaks_.frames)));
  p.end();
  picture_ = std::move(image);
  update();
}

void MyWavePlot::draw_message() {
  QImage image(width(), height(), QImage::Format_RGB32);
  image.fill(message_background);
  QPainter p(&image);
  p.setPen(message_text);
  p.setFont(font());
  const QFontMetrics metrics(font());
  const int left = width() / 2 - metrics.horizontalAdvance(message_) / 2;
  p.drawText(QPoint(left, height() / 2 - 9 + metrics.ascent()), message_);
  p.end();
  picture_ = std::move(image);
  update();
}

void MyWavePlot::resizeEvent(QResizeEvent*) {
  // The columns follow the width: the peaks are computed again for the new one.
  if (plotted_) {
    peaks_ = compute_wave_peaks(samples_, length_, stereo_, width());
    draw_waveform();
  } else {
    draw_message();
  }
}

void MyWavePlot::paintEvent(QPaintEvent* event) {
  QPainter p(this);
  const QRect r = event->rect();
  p.drawImage(r.topLeft(), picture_, r);
  if (cursor_ >= 0 && r.left() <= cursor_ && cursor_ <= r.right()) {
    p.setPen(Qt::white);
    p.drawLine(cursor_, 0, cursor_, height() - 1);
  }
}

void MyWavePlot::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) Q_EMIT pressed();
}

void MyWavePlot::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) Q_EMIT released();
}

}  // namespace qbank::gui
