#pragma once

#include <QPushButton>

namespace folioport::ui {

class Spinner;

/// A push button that shows a small spinner instead of its label while busy, keeping its width and
/// its accessible name. Busy does not disable it; the owner decides that.
class ProgressButton : public QPushButton {
    Q_OBJECT

public:
    ProgressButton(const QString& text, const QString& objectName, QWidget* parent = nullptr);

    void setBusy(bool busy);
    bool isBusy() const { return busy_; }
    Spinner* spinner() const { return spinner_; }

private:
    QString label_;
    bool busy_ = false;
    Spinner* spinner_;
};

}  // namespace folioport::ui
