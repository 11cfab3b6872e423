#pragma once
// A deck's waveform overview: a thin strip under its display with the whole song's waveform, a mark on
// every bar, the cue, start and end memories, a running beat loop and the play head; a click seeks there.
//
// Why it is shaped this way: the waveform and its bar marks change only with the song, the strip's size
// and the skin, so they are drawn once into a cached picture; the 30 ms tick only moves the play head,
// and the strip repaints just the columns the head left and reached (a pixel column every second or so
// for a song of a few minutes), never itself whole or the window. The memories and a loop change on a
// press, which repaints the strip once. Before the song's analysis is there the strip shows its empty
// background.
//
// Everything here runs on the user-interface thread.

#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QWidget>
#include <functional>
#include <memory>

#include "platform/analysis/track_analysis.h"

namespace korvex::app {

// What the strip marks besides the waveform, in seconds of the song (a negative value: not set).
struct StripMarks {
    double duration = 0.0;
    double cue = -1.0;
    double start = -1.0;
    double end = -1.0;
    double loopStart = -1.0;
    double loopEnd = -1.0;
    bool operator==(const StripMarks&) const = default;
};

// Draws the waveform and the bar marks of `analysis` into `image` (its whole size) over `background`
// (scaled to fit; a plain dark fill when null), the peaks in `colour`. Bars closer than three pixels are
// thinned to every second, fourth ... bar.
void paintWaveform(QImage& image, const analysis::TrackAnalysis* analysis, const QImage& background,
                   const QColor& colour);

class WaveformStrip : public QWidget {
public:
    explicit WaveformStrip(QWidget* parent);

    // The song's analysis (null while not known); a new one redraws the cached picture.
    void setAnalysis(std::shared_ptr<const analysis::TrackAnalysis> analysis);
    // The skin's strip background (null: the strip's own dark look) and the colour of the peaks.
    void setLook(const QImage& background, const QColor& colour);
    // The memories and the loop; a change repaints the strip.
    void setMarks(const StripMarks& marks);
    // The play head; repaints only the columns between the old and the new place.
    void setPlayhead(double seconds);

    // The pixel column of a place in the song (-1 without a length).
    int columnOf(double seconds) const;
    // The place in the song of a pixel column.
    double secondsAt(int x) const;

    // A left click at a place in the song.
    std::function<void(double seconds)> onSeek;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void rebuild();

    std::shared_ptr<const analysis::TrackAnalysis> analysis_;
    QImage background_;
    QColor colour_{255, 154, 48};
    QPixmap cache_;
    StripMarks marks_;
    double playhead_ = 0.0;
    int headColumn_ = -1;
};

}  // namespace korvex::app
