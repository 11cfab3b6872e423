#include "app/ui/waveform_strip.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace korvex::app {

namespace {

// The strip's own look where the skin gives none.
const QColor kEmpty(14, 14, 16);
const QColor kFrame(58, 58, 64);
// The played part of the song lies under a veil.
const QColor kPlayedVeil(0, 0, 0, 110);
const QColor kHead(255, 255, 255);
const QColor kCue(255, 220, 60);
const QColor kStart(90, 220, 110);
const QColor kEnd(240, 80, 70);
const QColor kLoop(255, 255, 255, 60);

}  // namespace

void paintWaveform(QImage& image, const analysis::TrackAnalysis* analysis, const QImage& background,
                   const QColor& colour) {
    QPainter p(&image);
    const int w = image.width();
    const int h = image.height();
    if (background.isNull()) {
        p.fillRect(image.rect(), kEmpty);
        p.setPen(kFrame);
        p.drawRect(0, 0, w - 1, h - 1);
    } else {
        p.drawImage(image.rect(), background);
    }
    if (analysis == nullptr || analysis->waveform.empty() || analysis->duration <= 0.0 || w <= 2 || h <= 2)
        return;

    // Each pixel column takes the highest peak of the summary's columns it covers, drawn around the middle.
    const auto& peaks = analysis->waveform;
    const double perColumn = static_cast<double>(peaks.size()) / w;
    const double mid = (h - 1) / 2.0;
    const double half = (h - 2) / 2.0;
    p.setPen(QPen(colour, 1.0));
    for (int x = 0; x < w; ++x) {
        const auto from = static_cast<std::size_t>(x * perColumn);
        const auto to = std::max(from + 1, static_cast<std::size_t>((x + 1) * perColumn));
        std::uint8_t peak = 0;
        for (std::size_t i = from; i < std::min(to, peaks.size()); ++i) peak = std::max(peak, peaks[i]);
        const double reach = std::max(0.5, half * peak / 255.0);
        p.drawLine(QPointF(x + 0.5, mid - reach + 0.5), QPointF(x + 0.5, mid + reach + 0.5));
    }
    // A dark line across the strip on every bar (four beats), with a light tick at its top; thinned where
    // they would crowd.
    if (!analysis->hasTempo() || analysis->beats.empty()) return;
    const double barSeconds = 4.0 * 60.0 / analysis->bpm;
    std::size_t every = 4;
    while (every < analysis->beats.size() &&
           barSeconds * static_cast<double>(every / 4) / analysis->duration * w < 3.0)
        every *= 2;
    const QPen line(QColor(0, 0, 0, 150), 1.0);
    const QPen tick(QColor(255, 255, 255, 150), 1.0);
    for (std::size_t i = 0; i < analysis->beats.size(); i += every) {
        const double x = std::floor(analysis->beats[i] / analysis->duration * w) + 0.5;
        p.setPen(line);
        p.drawLine(QPointF(x, 1.5), QPointF(x, h - 1.5));
        p.setPen(tick);
        p.drawLine(QPointF(x, 0.5), QPointF(x, 1.5));
    }
}

WaveformStrip::WaveformStrip(QWidget* parent) : QWidget(parent) {
    // Every pixel is painted here: nothing under the strip needs drawing when a column changes.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setCursor(Qt::PointingHandCursor);
}

void WaveformStrip::setAnalysis(std::shared_ptr<const analysis::TrackAnalysis> analysis) {
    if (analysis == analysis_) return;
    analysis_ = std::move(analysis);
    rebuild();
}

void WaveformStrip::setLook(const QImage& background, const QColor& colour) {
    background_ = background;
    colour_ = colour;
    rebuild();
}

void WaveformStrip::setMarks(const StripMarks& marks) {
    if (marks == marks_) return;
    marks_ = marks;
    headColumn_ = columnOf(playhead_);
    update();
}

void WaveformStrip::setPlayhead(double seconds) {
    playhead_ = seconds;
    const int column = columnOf(seconds);
    if (column == headColumn_) return;
    const int from = std::min(column, headColumn_);
    const int to = std::max(column, headColumn_);
    headColumn_ = column;
    // The head's own column and the veil between the two places.
    update(QRect(std::max(0, from) - 1, 0, to - std::max(0, from) + 3, height()));
}

int WaveformStrip::columnOf(double seconds) const {
    const double length = marks_.duration > 0.0 ? marks_.duration : (analysis_ ? analysis_->duration : 0.0);
    if (length <= 0.0 || width() <= 0) return -1;
    return std::clamp(static_cast<int>(seconds / length * width()), 0, width() - 1);
}

double WaveformStrip::secondsAt(int x) const {
    const double length = marks_.duration > 0.0 ? marks_.duration : (analysis_ ? analysis_->duration : 0.0);
    if (width() <= 0) return 0.0;
    return std::clamp((x + 0.5) / width(), 0.0, 1.0) * length;
}

void WaveformStrip::rebuild() {
    QImage image(size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    paintWaveform(image, analysis_.get(), background_, colour_);
    cache_ = QPixmap::fromImage(image);
    headColumn_ = columnOf(playhead_);
    update();
}

void WaveformStrip::resizeEvent(QResizeEvent*) {
    rebuild();
}

void WaveformStrip::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    const QRect area = event->rect();
    p.drawPixmap(area, cache_, area);
    if (headColumn_ < 0) return;
    const int h = height();
    if (area.left() < headColumn_) p.fillRect(QRect(0, 0, headColumn_, h).intersected(area), kPlayedVeil);
    if (marks_.loopStart >= 0.0 && marks_.loopEnd > marks_.loopStart) {
        const int a = columnOf(marks_.loopStart);
        const int b = std::max(a + 1, columnOf(marks_.loopEnd));
        p.fillRect(QRect(a, 0, b - a, h).intersected(area), kLoop);
    }
    auto mark = [&](double seconds, const QColor& colour) {
        if (seconds < 0.0) return;
        const int x = columnOf(seconds);
        if (x + 1 < area.left() || x - 1 > area.right()) return;
        p.fillRect(QRect(x, 0, 1, h), colour);
    };
    mark(marks_.start > 0.0 ? marks_.start : -1.0, kStart);
    mark(marks_.end > 0.0 ? marks_.end : -1.0, kEnd);
    mark(marks_.cue, kCue);
    mark(playhead_, kHead);
}

void WaveformStrip::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || columnOf(0.0) < 0) return;
    if (onSeek) onSeek(secondsAt(static_cast<int>(event->position().x())));
}

}  // namespace korvex::app
