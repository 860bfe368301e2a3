#pragma once

#include <QWidget>

class QVariantAnimation;

namespace folioport::ui {

/// A small indeterminate progress indicator. It animates only while it is spinning and on screen,
/// so a hidden or idle spinner costs no timer.
class Spinner : public QWidget {
    Q_OBJECT

public:
    explicit Spinner(int diameter, QWidget* parent = nullptr);

    void setSpinning(bool spinning);
    bool isSpinning() const { return spinning_; }
    /// True while the animation runs (spinning and visible).
    bool isAnimating() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void syncAnimation();

    int diameter_;
    bool spinning_ = false;
    QVariantAnimation* rotation_;
};

}  // namespace folioport::ui
