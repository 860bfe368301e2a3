#pragma once

#include <QLabel>

#include "ui/Style.h"

namespace folioport::ui {

/// Short text in a tint on a capsule of the same tint at 15 % opacity, like a space key badge.
class CapsuleLabel : public QLabel {
    Q_OBJECT

public:
    CapsuleLabel(Tint tint, bool monospaced, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Tint tint_;
};

}  // namespace folioport::ui
