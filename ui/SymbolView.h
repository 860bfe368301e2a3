#pragma once

#include <QWidget>

#include "ui/Symbols.h"

namespace folioport::ui {

/// A symbol drawn at a fixed size, not interactive; repaints in the current palette.
class SymbolView : public QWidget {
    Q_OBJECT

public:
    SymbolView(const QIcon& icon, int size, QWidget* parent = nullptr);

    QSize sizeHint() const override { return {size_, size_}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QIcon icon_;
    int size_;
};

}  // namespace folioport::ui
