#pragma once

#include <QWidget>

#include "ui/Style.h"
#include "ui/Symbols.h"

class QHBoxLayout;

namespace folioport::ui {

/// What every banner shares: a symbol at the start of a row on a soft tinted background. A card sits among a
/// window's controls (rounded, the symbol small and at the top); a band runs across the panel (square, the
/// symbol larger and centred). Subclasses fill the row after the symbol.
class Banner : public QWidget {
    Q_OBJECT

public:
    enum class Shape { card, band };

    Banner(Shape shape, Symbol symbol, Tint tint, QWidget* parent = nullptr);

protected:
    /// The row the symbol starts; the banner's own content goes after it.
    QHBoxLayout& row() const { return *row_; }
    void paintEvent(QPaintEvent* event) override;

private:
    Shape shape_;
    Tint tint_;
    QHBoxLayout* row_;
};

}  // namespace folioport::ui
