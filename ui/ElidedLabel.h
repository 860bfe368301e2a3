#pragma once

#include <QWidget>

namespace folioport::ui {

/// Text wrapped at word boundaries onto at most `maxLines` lines, the last one elided with "…".
class ElidedLabel : public QWidget {
    Q_OBJECT

public:
    explicit ElidedLabel(int maxLines, QWidget* parent = nullptr);

    void setText(const QString& text);
    QString text() const { return text_; }

    /// The lines as drawn at the current width, the last elided when the text does not fit.
    QStringList visibleLines() const;

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QStringList linesFor(int width) const;

    QString text_;
    int maxLines_;
};

}  // namespace folioport::ui
