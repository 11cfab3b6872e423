#include "app/ui/deck_display.h"

#include <QEvent>
#include <QPainter>
#include <QRawFont>
#include <QTextLayout>

namespace korvex::app {

namespace {

// The marks a time is written with beside its digits; none of them joins or kerns with a digit in the
// fonts a display uses, and a font where one does is caught when the shape is laid out.
bool timeMark(QChar c) {
    return c == QLatin1Char('\'') || c == QLatin1Char(':') || c == QLatin1Char('.') || c == QLatin1Char('/') ||
           c == QLatin1Char('-');
}

struct Line {
    QList<QGlyphRun> runs;
    qreal advance = 0;
    qreal height = 0;
};

// One line of `text` as a painter lays out a label's text: no wrapping, left to right, trailing spaces kept.
Line layOutLine(const QString& text, const QFont& font, QPaintDevice* device, qreal width) {
    QTextLayout layout(text, font, device);
    QTextOption option;
    option.setWrapMode(QTextOption::ManualWrap);
    option.setFlags(QTextOption::IncludeTrailingSpaces);
    option.setTextDirection(Qt::LeftToRight);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (line.isValid()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, 0));
    }
    layout.endLayout();
    Line out;
    if (!line.isValid()) return out;
    out.runs = line.glyphRuns();
    out.advance = line.horizontalAdvance();
    out.height = line.height();
    return out;
}

}  // namespace

DeckDisplay::DeckDisplay(QWidget* parent) : QLabel(parent) {}

QString DeckDisplay::shapeOf(const QString& text) {
    if (text.isEmpty()) return {};
    QString shape = text;
    bool digit = false;
    for (QChar& c : shape) {
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            c = QLatin1Char('0');
            digit = true;
        } else if (!timeMark(c)) {
            return {};
        }
    }
    return digit ? shape : QString();
}

void DeckDisplay::layOut(const QString& shape) {
    shape_ = shape;
    runs_.clear();
    const qreal width = contentsRect().width();
    const Line line = layOutLine(shape, font(), this, width);
    // One run in the display's own font: a digit from another font would need that font's glyphs.
    if (line.runs.size() != 1) return;
    const QGlyphRun& run = line.runs.front();
    const QVector<quint32> digits = run.rawFont().glyphIndexesForString(QStringLiteral("0123456789"));
    const qsizetype first = shape.indexOf(QLatin1Char('0'));
    if (digits.size() != 10 || run.glyphIndexes().size() != shape.size() || first < 0 ||
        run.glyphIndexes()[first] != digits[0])
        return;
    // Every digit must go where the '0' went: the same advance, nothing joined or kerned differently.
    for (int d = 1; d < 10; ++d) {
        QString same = shape;
        same.replace(QLatin1Char('0'), QChar(QLatin1Char('0').unicode() + d));
        const Line other = layOutLine(same, font(), this, width);
        if (other.runs.size() != 1 || other.advance != line.advance ||
            other.runs.front().positions() != run.positions())
            return;
        const QVector<quint32> glyphs = other.runs.front().glyphIndexes();
        for (qsizetype i = 0; i < shape.size(); ++i) {
            const quint32 expected = shape[i] == QLatin1Char('0') ? digits[d] : run.glyphIndexes()[i];
            if (glyphs[i] != expected) return;
        }
    }
    runs_ = line.runs;
    digits_ = digits;
    advance_ = line.advance;
    height_ = line.height;
}

void DeckDisplay::paintEvent(QPaintEvent* event) {
    paintedFromShape_ = false;
    const QString& shown = text();
    const QString shape = shapeOf(shown);
    // What a label does beyond one line of plain text is left to the label.
    const bool plain = !shape.isEmpty() && isEnabled() && !wordWrap() && textFormat() != Qt::RichText &&
                       pixmap().isNull() && indent() <= 0 && !(indent() < 0 && frameWidth() > 0) &&
                       layoutDirection() == Qt::LeftToRight;
    if (!plain) {
        QLabel::paintEvent(event);
        return;
    }
    // A shape that cannot be painted this way leaves no runs, and the label paints it.
    if (shape != shape_) layOut(shape);
    if (runs_.isEmpty()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    drawFrame(&painter);
    const int m = margin();
    const QRect box = contentsRect().adjusted(m, m, -m, -m);
    const Qt::Alignment align = alignment();
    qreal x = 0;
    if (align & Qt::AlignRight)
        x = box.width() - advance_;
    else if (align & Qt::AlignHCenter)
        x = (box.width() - advance_) / 2;
    qreal y = 0;
    if (align & Qt::AlignBottom)
        y = box.height() - height_;
    else if (align & Qt::AlignVCenter)
        y = (box.height() - height_) / 2;
    if (!QRectF(box).contains(QRectF(box.x() + x, box.y() + y, advance_, height_)))
        painter.setClipRect(box, Qt::IntersectClip);
    painter.setPen(QPen(palette().brush(foregroundRole()), painter.pen().widthF()));
    QGlyphRun run = runs_.front();
    QVector<quint32> glyphs = run.glyphIndexes();
    for (qsizetype i = 0; i < shown.size(); ++i)
        if (shape[i] == QLatin1Char('0')) glyphs[i] = digits_[shown[i].unicode() - '0'];
    run.setGlyphIndexes(glyphs);
    painter.drawGlyphRun(QPointF(box.x() + x, box.y() + y), run);
    paintedFromShape_ = true;
}

void DeckDisplay::changeEvent(QEvent* event) {
    switch (event->type()) {
        case QEvent::FontChange:
        case QEvent::StyleChange:
        case QEvent::LayoutDirectionChange:
            shape_.clear();
            runs_.clear();
            break;
        default:
            break;
    }
    QLabel::changeEvent(event);
}

}  // namespace korvex::app
