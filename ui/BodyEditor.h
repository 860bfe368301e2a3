#pragma once

#include <QPlainTextEdit>

namespace folioport::ui {

/// The page body's editor. The site keeps storage format on one line, and a text editor lays out a
/// whole line again on every keystroke, so a body line longer than `longLine` is shown in display lines
/// broken between tags. Those breaks belong to the display only: body() and copies leave them out and
/// keep every character (no-break spaces included), so what is saved is exactly what was loaded and
/// typed. Typing costs the same whatever the body's size. Main thread only.
class BodyEditor : public QPlainTextEdit {
    Q_OBJECT

public:
    /// A line longer than this many UTF-16 units is shown in display lines of at most this length.
    static constexpr qsizetype longLine = 1000;

    explicit BodyEditor(QWidget* parent = nullptr);

    /// Shows `body` from its start, with nothing to undo and the document unmodified.
    void setBody(const QString& body);
    /// The body as typed, without the display breaks; reads the whole document.
    QString body() const;

protected:
    /// Return and Shift+Return start a line of the body, never a display line.
    void keyPressEvent(QKeyEvent* event) override;
    /// The selection as body text, without the display breaks.
    QMimeData* createMimeDataFromSelection() const override;
    /// Pasted or dropped text is shown like a loaded body: its long lines in display lines.
    void insertFromMimeData(const QMimeData* source) override;

private:
    /// The body text between two document positions.
    QString text(int from, int to) const;
};

}  // namespace folioport::ui
