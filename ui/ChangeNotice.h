#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

namespace folioport::ui {

/// The editor's notice that the page has a newer version on the site than the one being edited: the
/// sentence on a soft orange card, with "Reload" and "Save anyway". It only asks; the editor acts.
class ChangeNotice : public QWidget {
    Q_OBJECT

public:
    explicit ChangeNotice(QWidget* parent = nullptr);

    void setMessage(const QString& message);
    QString message() const;

    /// Its two buttons, in tab order.
    QList<QWidget*> focusChain() const;

Q_SIGNALS:
    void reloadRequested();
    void saveAnywayRequested();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QLabel* message_;
    QPushButton* reload_;
    QPushButton* saveAnyway_;
};

}  // namespace folioport::ui
