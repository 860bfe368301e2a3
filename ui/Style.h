#pragma once

#include <QColor>
#include <QFont>
#include <QString>

#include <string>

class QLabel;
class QLineEdit;
class QPainter;
class QPalette;
class QRectF;
class QWidget;

namespace folioport::ui {

/// The panel's text styles, largest first; sizes follow the desktop's font, so they scale with it.
enum class TextStyle { headline, callout, caption, caption2 };

/// Colours by meaning, resolved against a palette when drawn, so light and dark themes both work.
enum class Tint { primary, secondary, accent, green, orange, red };

/// The font of `style` derived from the application font, at `weight`.
QFont fontFor(TextStyle style, QFont::Weight weight = QFont::Normal);

/// Gives a label or button the font of `style`; secondary text uses the palette's dimmed foreground role.
void applyTextStyle(QWidget& widget, TextStyle style, Tint tint = Tint::primary,
                    QFont::Weight weight = QFont::Normal);

/// The colour of `tint` in `palette`; the fixed hues are lighter on dark backgrounds.
QColor colourOf(Tint tint, const QPalette& palette);

/// Fills `rect` with `tint` at `opacity`, corners rounded by `radius`.
void fillRounded(QPainter& painter, const QRectF& rect, Tint tint, qreal opacity, qreal radius,
                 const QPalette& palette);

/// Outlines `rect` in the accent colour, as keyboard focus on the panel's own buttons.
void paintFocusRing(QPainter& painter, const QRectF& rect, qreal radius, const QPalette& palette);

/// The core's UTF-8 text as a QString.
inline QString qs(const std::string& text) { return QString::fromStdString(text); }

/// A caption in the secondary colour above `control`, which it names for screen readers and focuses as its
/// buddy; `label`, when given, receives the caption.
QWidget* labelledGroup(const QString& caption, QWidget* control, QWidget* parent, QLabel** label = nullptr);

/// An empty single-line field showing `placeholder`.
QLineEdit* textField(const QString& objectName, const QString& placeholder, QWidget* parent);

/// A hairline between the sections of the panel or a window, in the dimmed foreground.
QWidget* horizontalDivider(QWidget* parent);

}  // namespace folioport::ui
