#include "ui/SpaceListModel.h"

#include <QPixmap>

#include "ui/ActionText.h"
#include "ui/Symbols.h"

namespace folioport::ui {
namespace {

QIcon blankIcon() {
    QPixmap transparent(16, 16);
    transparent.fill(Qt::transparent);
    return QIcon(transparent);
}

}  // namespace

SpaceListModel::SpaceListModel(Options options, QObject* parent)
    : QAbstractListModel(parent), options_(options) {
    if (!options_.marksListed) return;
    checkmark_ = symbolIcon(Symbol::checkmark);
    allSpaces_ = symbolIcon(Symbol::grid);
    // why: entries without a symbol keep their text in line with those that have one.
    blank_ = blankIcon();
}

void SpaceListModel::setSpaces(const std::vector<Space>& spaces) {
    beginResetModel();
    entries_.clear();
    entries_.reserve(spaces.size() + 1);
    if (options_.offersAllSpaces) {
        const QString all = tr("All spaces");
        entries_.push_back({"", all, QString(), all.toCaseFolded()});
    }
    for (const Space& space : spaces) {
        const QString key = QString::fromStdString(space.key);
        const QString name = QString::fromStdString(space.name.value_or(space.key));
        const QString foldedKey = key.toCaseFolded();
        entries_.push_back({space.key, key + QStringLiteral(" \u00b7 ") + name, foldedKey,
                            foldedKey + QLatin1Char('\n') + name.toCaseFolded()});
    }
    refilter();
    endResetModel();
}

void SpaceListModel::setFilter(const QString& filter) {
    const QString whole = filter.simplified().toCaseFolded();
    if (whole == wholeFilter_) return;
    beginResetModel();
    wholeFilter_ = whole;
    words_ = whole.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    refilter();
    endResetModel();
}

void SpaceListModel::refilter() {
    shown_.clear();
    std::vector<int> startingWith, containing;
    for (int i = 0; i < static_cast<int>(entries_.size()); ++i) {
        const Entry& entry = entries_[static_cast<std::size_t>(i)];
        if (words_.isEmpty()) {
            shown_.push_back(i);
            continue;
        }
        bool matches = true;
        for (const QString& word : words_) matches = matches && entry.haystack.contains(word);
        if (!matches) continue;
        if (entry.foldedKey == wholeFilter_) shown_.push_back(i);
        else if (!entry.foldedKey.isEmpty() && entry.foldedKey.startsWith(words_.first())) startingWith.push_back(i);
        else containing.push_back(i);
    }
    shown_.insert(shown_.end(), startingWith.begin(), startingWith.end());
    shown_.insert(shown_.end(), containing.begin(), containing.end());
}

void SpaceListModel::setListedKey(const std::string& key) {
    if (!options_.marksListed || key == listedKey_) return;
    const int before = rowOfKey(listedKey_);
    listedKey_ = key;
    for (int row : {before, rowOfKey(listedKey_)})
        if (row >= 0) Q_EMIT dataChanged(index(row), index(row), {Qt::DecorationRole, Qt::AccessibleDescriptionRole});
}

int SpaceListModel::rowOfKey(const std::string& key) const {
    for (int row = 0; row < static_cast<int>(shown_.size()); ++row)
        if (entries_[static_cast<std::size_t>(shown_[static_cast<std::size_t>(row)])].key == key) return row;
    return -1;
}

int SpaceListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(shown_.size());
}

QVariant SpaceListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const Entry& entry = entries_[static_cast<std::size_t>(shown_[static_cast<std::size_t>(index.row())])];
    const bool listed = options_.marksListed && entry.key == listedKey_;
    switch (role) {
    case Qt::DisplayRole:
        return entry.text;
    case Qt::ToolTipRole:
        return toolTipText(entry.text);
    case keyRole:
        return QString::fromStdString(entry.key);
    case Qt::DecorationRole:
        if (!options_.marksListed) return {};
        return listed ? checkmark_ : entry.key.empty() ? allSpaces_ : blank_;
    case Qt::AccessibleDescriptionRole:
        return listed ? tr("Listed") : QString();
    default:
        return {};
    }
}

}  // namespace folioport::ui
