#pragma once

#include "ui/Banner.h"

class QLabel;
class QVBoxLayout;

namespace folioport::ui {

/// A failure shown inline: a warning symbol and the message on a soft orange card, with any details (a hint,
/// buttons) under the message.
class ErrorBanner : public Banner {
    Q_OBJECT

public:
    explicit ErrorBanner(QWidget* parent = nullptr);

    void setMessage(const QString& message);
    QString message() const;
    /// Puts `detail` under the message, as its next line.
    void addDetail(QWidget* detail);

protected:
    /// The same card for a warning that is no failure: named `name` (its message label `name` + "Label"),
    /// and screen readers read the message as it stands.
    ErrorBanner(const QString& name, QWidget* parent);

private:
    QLabel* message_;
    QVBoxLayout* column_;
    bool failure_ = true;
};

}  // namespace folioport::ui
