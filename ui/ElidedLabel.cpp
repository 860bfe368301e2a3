#include "ui/ElidedLabel.h"

#include <QPainter>
#include <QTextLayout>

#include <algorithm>

namespace folioport::ui {

ElidedLabel::ElidedLabel(int maxLines, QWidget* parent) : QWidget(parent), maxLines_(maxLines) {
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void ElidedLabel::setText(const QString& text) {
    if (text == text_) return;
    text_ = text;
    setAccessibleName(text);
    updateGeometry();
    update();
}

namespace {

/// The text cut to `width` with an ellipsis, which follows the last word rather than a blank ("no…").
QString elidedLine(const QFontMetrics& metrics, const QString& text, int width) {
    QString line = metrics.elidedText(text, Qt::ElideRight, width);
    if (line == text || !line.endsWith(QChar(0x2026))) return line;
    line.chop(1);
    while (line.endsWith(QLatin1Char(' '))) line.chop(1);
    return line + QChar(0x2026);
}

}  // namespace

QStringList ElidedLabel::visibleLines() const { return linesFor(width()); }

QStringList ElidedLabel::linesFor(int width) const {
    QStringList lines;
    if (text_.isEmpty() || width <= 0) return lines;
    const QFontMetrics metrics(font());
    QTextLayout layout(text_, font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        if (lines.size() == maxLines_ - 1) {
            // why: the last allowed line takes the whole rest of the text, so eliding shows where it was cut.
            lines << elidedLine(metrics, text_.mid(line.textStart()).simplified(), width);
            break;
        }
        lines << text_.mid(line.textStart(), line.textLength()).trimmed();
    }
    layout.endLayout();
    return lines;
}

int ElidedLabel::heightForWidth(int width) const {
    const auto count = std::max<qsizetype>(1, linesFor(width).size());
    return static_cast<int>(count) * QFontMetrics(font()).lineSpacing();
}

QSize ElidedLabel::sizeHint() const {
    const QFontMetrics metrics(font());
    // why: a long text asks for a moderate width and wraps, rather than widening its row.
    const int width = std::min(metrics.horizontalAdvance(text_) + 1, 400);
    return {width, heightForWidth(width)};
}

QSize ElidedLabel::minimumSizeHint() const { return {40, QFontMetrics(font()).lineSpacing()}; }

void ElidedLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(palette().color(foregroundRole()));
    const QFontMetrics metrics(font());
    int y = metrics.ascent();
    for (const QString& line : linesFor(width())) {
        painter.drawText(QPoint(0, y), line);
        y += metrics.lineSpacing();
    }
}

}  // namespace folioport::ui
