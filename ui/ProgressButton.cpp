#include "ui/ProgressButton.h"

#include <QHBoxLayout>

#include "ui/Spinner.h"

namespace folioport::ui {

ProgressButton::ProgressButton(const QString& text, const QString& objectName, QWidget* parent)
    : QPushButton(text, parent), label_(text) {
    setObjectName(objectName);
    setAccessibleName(text);
    setAutoDefault(true);
    setMinimumWidth(sizeHint().width());
    auto* inside = new QHBoxLayout(this);
    inside->setContentsMargins(0, 0, 0, 0);
    spinner_ = new Spinner(14, this);
    spinner_->setObjectName(objectName + QStringLiteral("Spinner"));
    spinner_->hide();
    inside->addWidget(spinner_, 0, Qt::AlignCenter);
}

void ProgressButton::setBusy(bool busy) {
    busy_ = busy;
    setText(busy ? QString() : label_);
    spinner_->setVisible(busy);
    spinner_->setSpinning(busy);
}

}  // namespace folioport::ui
