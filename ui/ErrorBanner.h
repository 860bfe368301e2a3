#pragma once

#include <QWidget>

class QLabel;
class QVBoxLayout;

namespace folioport::ui {

/// A failure shown inline: a warning symbol and the message on a soft orange card.
class ErrorBanner : public QWidget {
    Q_OBJECT

public:
    explicit ErrorBanner(QWidget* parent = nullptr);

    void setMessage(const QString& message);
    QString message() const;
    /// Puts `detail` under the message, as its second line.
    void addDetail(QWidget* detail);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QLabel* message_;
    QVBoxLayout* column_;
};

}  // namespace folioport::ui
