#include "ui/SpacePicker.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QVBoxLayout>

#include "ui/Style.h"

namespace folioport::ui {
namespace {

constexpr int visibleRows = 12;
constexpr int widthInAverageCharacters = 44;

}  // namespace

SpacePicker::SpacePicker(const QString& accessibleName, SpaceListModel::Options options, QWidget* parent)
    : QWidget(parent), model_(new SpaceListModel(options, this)) {
    setObjectName(QStringLiteral("spacePicker"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(6, 6, 6, 6);
    column->setSpacing(6);

    filter_ = new QLineEdit(this);
    filter_->setObjectName(QStringLiteral("spaceFilterField"));
    filter_->setPlaceholderText(tr("Filter by key or name"));
    filter_->setAccessibleName(tr("Filter spaces"));
    filter_->setClearButtonEnabled(true);
    filter_->installEventFilter(this);
    connect(filter_, &QLineEdit::textChanged, this, &SpacePicker::applyFilter);
    column->addWidget(filter_);

    list_ = new QListView(this);
    list_->setObjectName(QStringLiteral("spaceList"));
    list_->setAccessibleName(accessibleName);
    list_->setModel(model_);
    // why: the field keeps the focus, so typing always filters; the list follows the arrows sent to it.
    list_->setFocusPolicy(Qt::NoFocus);
    list_->setUniformItemSizes(true);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setTextElideMode(Qt::ElideRight);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->setMouseTracking(true);
    connect(list_, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) {
        highlight(index.row());
        pickHighlighted();
    });
    const QFontMetrics metrics(list_->font());
    list_->setFixedSize(metrics.averageCharWidth() * widthInAverageCharacters,
                        (std::max(metrics.height(), 16) + 4) * visibleRows + 2 * list_->frameWidth());
    column->addWidget(list_);

    noMatch_ = new QLabel(this);
    noMatch_->setObjectName(QStringLiteral("noSpaceMatchLabel"));
    noMatch_->setTextFormat(Qt::PlainText);
    noMatch_->setAlignment(Qt::AlignCenter);
    noMatch_->setWordWrap(true);
    applyTextStyle(*noMatch_, TextStyle::caption, Tint::secondary);
    // why: it takes the list's place, so the menu around the picker keeps its size while the filter narrows.
    noMatch_->setFixedSize(list_->size());
    noMatch_->hide();
    column->addWidget(noMatch_);
}

void SpacePicker::setSpaces(const std::vector<Space>& spaces) {
    const QString highlighted = list_->currentIndex().data(SpaceListModel::keyRole).toString();
    model_->setSpaces(spaces);
    // why: whole rows only, as the style draws them, once there is a row to measure.
    if (model_->rowCount() > 0) {
        list_->setFixedHeight(list_->sizeHintForRow(0) * visibleRows + 2 * list_->frameWidth());
        noMatch_->setFixedSize(list_->size());
    }
    const int kept = model_->rowOfKey(highlighted.toStdString());
    highlight(kept >= 0 ? kept : 0);
    showMatches();
}

void SpacePicker::setListedKey(const std::string& key) {
    listedKey_ = key;
    model_->setListedKey(key);
}

void SpacePicker::prepare() {
    filter_->clear();
    const int listed = model_->rowOfKey(listedKey_);
    highlight(listed >= 0 ? listed : 0);
    list_->scrollTo(list_->currentIndex(), QAbstractItemView::PositionAtCenter);
    filter_->setFocus(Qt::PopupFocusReason);
}

void SpacePicker::applyFilter(const QString& text) {
    model_->setFilter(text);
    highlight(0);
    showMatches();
}

void SpacePicker::showMatches() {
    const bool none = model_->rowCount() == 0;
    list_->setVisible(!none);
    noMatch_->setVisible(none);
    noMatch_->setText(none ? tr("No space matches \u201c%1\u201d").arg(filter_->text().simplified()) : QString());
}

void SpacePicker::highlight(int row) {
    if (row < 0 || row >= model_->rowCount()) {
        list_->setCurrentIndex({});
        return;
    }
    const QModelIndex index = model_->index(row);
    list_->setCurrentIndex(index);
    list_->scrollTo(index);
}

void SpacePicker::pickHighlighted() {
    const QModelIndex current = list_->currentIndex();
    if (current.isValid()) Q_EMIT picked(current.data(SpaceListModel::keyRole).toString().toStdString());
}

bool SpacePicker::eventFilter(QObject* watched, QEvent* event) {
    if (watched != filter_ || event->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    switch (key->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        QApplication::sendEvent(list_, key);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        pickHighlighted();
        return true;
    default:
        return false;
    }
}

}  // namespace folioport::ui
