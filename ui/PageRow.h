#pragma once

#include <QWidget>

#include <cstdint>
#include <optional>
#include <string>

#include "confluence/Records.h"

class QLabel;
class QMenu;
class QAbstractButton;
class QAction;
class QGraphicsOpacityEffect;
class QPropertyAnimation;

namespace folioport::ui {

class CapsuleLabel;
class ElidedLabel;
class PlainButton;
class Spinner;

/// One recent page in the panel: badge, version, title, date and its actions. Emits what the user
/// asked for with the page; the "Copied" feedback after copying its link is its own.
class PageRow : public QWidget {
    Q_OBJECT

public:
    explicit PageRow(QWidget* parent = nullptr);

    /// Shows `page` with the space key badge `spaceKey` (none when absent); while `busy` a spinner
    /// replaces the buttons.
    void setPage(const Page& page, const std::optional<std::string>& spaceKey, bool busy);
    const Page& page() const { return page_; }

    /// True while the "Copied" feedback shows.
    bool showsCopied() const { return didCopy_; }

    /// The row's focusable parts in tab order.
    QList<QWidget*> focusChain() const;

Q_SIGNALS:
    void copyLinkRequested(const folioport::Page& page);  ///< info block and "Copy title + link"
    void copyTitleRequested(const folioport::Page& page);
    void openRequested(const folioport::Page& page);
    void editRequested(const folioport::Page& page);
    void newChildRequested(const folioport::Page& page);
    void trashRequested(const folioport::Page& page);  ///< confirmed in the submenu

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QWidget* buildInfo();
    QMenu* buildActionsMenu();
    void copyLink();
    void setCopied(bool copied);

    Page page_;
    bool didCopy_ = false;

    QAbstractButton* info_;
    CapsuleLabel* badge_;
    QLabel* version_;
    QWidget* copied_;
    QGraphicsOpacityEffect* copiedOpacity_;
    QPropertyAnimation* copiedFade_;
    std::uint64_t copies_ = 0;
    ElidedLabel* title_;
    QWidget* dateLine_;
    QLabel* date_;
    QWidget* busyBox_;
    Spinner* spinner_;
    PlainButton* edit_;
    PlainButton* actions_;
    QMenu* trashMenu_;
    QAction* trashConfirm_;
};

}  // namespace folioport::ui
