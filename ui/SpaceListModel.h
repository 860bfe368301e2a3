#pragma once

#include <QAbstractListModel>
#include <QIcon>

#include <string>
#include <vector>

#include "confluence/Records.h"

namespace folioport::ui {

/// The spaces a picker offers, "KEY · Name" in the store's order (the key again for a space without a name),
/// narrowed by a filter: every word of it must appear in the key or the name, ignoring case. A key equal to the
/// whole filter comes first, then keys that start with its first word, then the rest, each in the store's order.
class SpaceListModel : public QAbstractListModel {
    Q_OBJECT

public:
    static constexpr int keyRole = Qt::UserRole;  ///< the entry's key as QString ("" for "All spaces")

    struct Options {
        bool offersAllSpaces = false;  ///< "All spaces" (the empty key) first, filtered like the rest
        bool marksListed = false;      ///< the listed key's entry carries a checkmark
    };

    explicit SpaceListModel(Options options, QObject* parent = nullptr);

    /// Replaces the entries; the filter stays.
    void setSpaces(const std::vector<Space>& spaces);
    void setFilter(const QString& filter);
    /// The key whose entry carries the checkmark (exact comparison); only with `marksListed`.
    void setListedKey(const std::string& key);
    /// The shown row of the entry with exactly this key; -1 when it is filtered out or absent.
    int rowOfKey(const std::string& key) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    struct Entry {
        std::string key;
        QString text;      // as shown
        QString foldedKey;
        QString haystack;  // folded key and name, where the filter's words are looked for
    };

    void refilter();

    Options options_;
    std::vector<Entry> entries_;
    std::vector<int> shown_;  // indexes into entries_, in display order
    QStringList words_;
    QString wholeFilter_;
    std::string listedKey_;
    QIcon checkmark_, allSpaces_, blank_;
};

}  // namespace folioport::ui
