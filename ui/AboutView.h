#pragma once

#include <QWidget>

#include <functional>

class QPushButton;

namespace folioport::ui {

/// The About window's content: icon, name, version and build, "Done" (Return or Escape), and the
/// changelog newest first with every change wrapped in full. 420 px wide and at least 440 px tall.
class AboutView : public QWidget {
    Q_OBJECT

public:
    explicit AboutView(std::function<void()> onClose, QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QWidget* buildHeader();
    QWidget* buildChangelog();

    std::function<void()> onClose_;
    QPushButton* doneButton_;
};

}  // namespace folioport::ui
