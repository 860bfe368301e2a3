#include "ui/ChangeNotice.h"

#include <QHBoxLayout>
#include <QPushButton>

namespace folioport::ui {
namespace {

QPushButton* noticeButton(const QString& text, const QString& objectName, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(objectName);
    // why: Return in the editor saves; a notice button answers only to a click or the space bar.
    button->setAutoDefault(false);
    return button;
}

}  // namespace

ChangeNotice::ChangeNotice(QWidget* parent) : ErrorBanner(QStringLiteral("changeNotice"), parent) {
    auto* buttons = new QWidget(this);
    auto* line = new QHBoxLayout(buttons);
    line->setContentsMargins(0, 0, 0, 0);
    line->setSpacing(8);
    reload_ = noticeButton(tr("Reload"), QStringLiteral("reloadButton"), buttons);
    connect(reload_, &QAbstractButton::clicked, this, &ChangeNotice::reloadRequested);
    line->addWidget(reload_);
    saveAnyway_ = noticeButton(tr("Save anyway"), QStringLiteral("saveAnywayButton"), buttons);
    connect(saveAnyway_, &QAbstractButton::clicked, this, &ChangeNotice::saveAnywayRequested);
    line->addWidget(saveAnyway_);
    line->addStretch(1);
    addDetail(buttons);
}

QList<QWidget*> ChangeNotice::focusChain() const { return {reload_, saveAnyway_}; }

}  // namespace folioport::ui
