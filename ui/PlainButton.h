#pragma once

#include <QToolButton>

#include "ui/Symbols.h"

namespace folioport::ui {

/// A borderless button showing one symbol or a short text. Space, Return and Enter press it; its help
/// text is the tooltip and, for icon-only buttons, the name a screen reader announces.
class PlainButton : public QToolButton {
    Q_OBJECT

public:
    explicit PlainButton(QWidget* parent = nullptr);

    /// Sets the hover help; also the accessible name while the button shows no text.
    void setHelp(const QString& help);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};

/// The panel's icon button: `symbol` at `iconSize` px with `help`, named `objectName` for tests.
PlainButton* iconButton(Symbol symbol, const QString& help, const QString& objectName, QWidget* parent,
                        int iconSize = 16, Tint tint = Tint::secondary);

}  // namespace folioport::ui
