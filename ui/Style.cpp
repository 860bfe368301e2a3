#include "ui/Style.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPalette>
#include <QVBoxLayout>
#include <QWidget>

#include <algorithm>

namespace folioport::ui {
namespace {

qreal scaleOf(TextStyle style) {
    switch (style) {
        case TextStyle::headline: return 1.0;
        case TextStyle::callout: return 1.0;
        case TextStyle::caption: return 0.9;
        case TextStyle::caption2: return 0.82;
    }
    return 1.0;
}

bool isDark(const QPalette& palette) { return palette.color(QPalette::Window).lightnessF() < 0.5; }

class Divider final : public QWidget {
public:
    explicit Divider(QWidget* parent) : QWidget(parent) { setFixedHeight(1); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        QColor colour = colourOf(Tint::primary, palette());
        colour.setAlphaF(0.14f);
        painter.fillRect(rect(), colour);
    }
};

}  // namespace

QFont fontFor(TextStyle style, QFont::Weight weight) {
    QFont font = QApplication::font();
    if (font.pointSizeF() > 0)
        font.setPointSizeF(std::max(7.0, font.pointSizeF() * scaleOf(style)));
    else
        font.setPixelSize(std::max(9, static_cast<int>(font.pixelSize() * scaleOf(style))));
    font.setWeight(style == TextStyle::headline && weight == QFont::Normal ? QFont::DemiBold : weight);
    return font;
}

void applyTextStyle(QWidget& widget, TextStyle style, Tint tint, QFont::Weight weight) {
    widget.setFont(fontFor(style, weight));
    // why: labels draw in their foreground role, which follows theme changes; buttons draw in ButtonText.
    widget.setForegroundRole(tint == Tint::secondary ? QPalette::PlaceholderText : QPalette::NoRole);
    if (tint != Tint::primary) {
        QPalette palette = widget.palette();
        const QColor colour = colourOf(tint, palette);
        palette.setColor(QPalette::WindowText, colour);
        palette.setColor(QPalette::ButtonText, colour);
        widget.setPalette(palette);
    }
}

QColor colourOf(Tint tint, const QPalette& palette) {
    const bool dark = isDark(palette);
    switch (tint) {
        case Tint::primary: return palette.color(QPalette::WindowText);
        case Tint::secondary: return palette.color(QPalette::PlaceholderText);
        case Tint::accent: return palette.color(QPalette::Highlight);
        case Tint::green: return dark ? QColor(0x57, 0xd1, 0x6b) : QColor(0x24, 0x9a, 0x3b);
        case Tint::orange: return dark ? QColor(0xff, 0xa6, 0x3d) : QColor(0xe0, 0x74, 0x00);
        case Tint::red: return dark ? QColor(0xff, 0x6b, 0x61) : QColor(0xd0, 0x2a, 0x1e);
    }
    return palette.color(QPalette::WindowText);
}

void fillRounded(QPainter& painter, const QRectF& rect, Tint tint, qreal opacity, qreal radius,
                 const QPalette& palette) {
    QColor colour = colourOf(tint, palette);
    // why: secondary already carries the palette's dimming alpha; the opacity applies to the full colour.
    colour.setAlphaF(static_cast<float>(opacity));
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawRoundedRect(rect, radius, radius);
    painter.restore();
}

void paintFocusRing(QPainter& painter, const QRectF& rect, qreal radius, const QPalette& palette) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(colourOf(Tint::accent, palette), 1.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(rect.adjusted(0.75, 0.75, -0.75, -0.75), radius, radius);
    painter.restore();
}

QWidget* labelledGroup(const QString& caption, QWidget* control, QWidget* parent, QLabel** label) {
    auto* group = new QWidget(parent);
    auto* column = new QVBoxLayout(group);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(3);
    auto* text = new QLabel(caption, group);
    text->setTextFormat(Qt::PlainText);
    applyTextStyle(*text, TextStyle::caption, Tint::secondary);
    text->setBuddy(control);
    column->addWidget(text);
    column->addWidget(control);
    control->setAccessibleName(caption);
    if (label) *label = text;
    return group;
}

QLineEdit* textField(const QString& objectName, const QString& placeholder, QWidget* parent) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(objectName);
    field->setPlaceholderText(placeholder);
    return field;
}

QWidget* horizontalDivider(QWidget* parent) { return new Divider(parent); }

}  // namespace folioport::ui
