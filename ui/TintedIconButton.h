#pragma once

#include "ui/PlainButton.h"

namespace folioport::ui {

/// A 24 × 24 px icon button: `symbol` in the accent colour on a rounded square of the accent colour at
/// 12 % opacity (darker while hovered or pressed); `help` is its tooltip and accessible name.
class TintedIconButton : public PlainButton {
    Q_OBJECT

public:
    TintedIconButton(Symbol symbol, const QString& help, const QString& objectName, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace folioport::ui
