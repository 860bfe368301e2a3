#pragma once

#include <QWidget>

class QLabel;

namespace folioport::ui {

/// A failure shown inline: a warning symbol and the message on a soft orange card.
class ErrorBanner : public QWidget {
    Q_OBJECT

public:
    explicit ErrorBanner(QWidget* parent = nullptr);

    void setMessage(const QString& message);
    QString message() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QLabel* message_;
};

}  // namespace folioport::ui
