#pragma once

#include <QLabel>

namespace folioport::ui {

/// A one-line note in place of an empty list, such as "Loading…".
class EmptyHint : public QLabel {
    Q_OBJECT

public:
    explicit EmptyHint(QWidget* parent = nullptr);
};

}  // namespace folioport::ui
