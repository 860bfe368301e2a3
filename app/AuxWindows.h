#pragma once

#include <QObject>
#include <QPointer>
#include <QSize>
#include <QString>

#include <functional>
#include <map>
#include <string>

#include "app/EditorRequest.h"

class QWidget;

namespace folioport {

/// Builds the content of one auxiliary window. `close` closes that window; it does nothing once the
/// window is gone, so a view may keep it. The window offers its close event to the content first
/// (closeEvent), which may ignore it to keep the window open.
struct WindowContents {
    using Close = std::function<void()>;
    /// Lists an editor's window under `key` instead of its current key and titles it `title`; the window
    /// keeps its key when another editor holds `key`. Does nothing once the window is gone.
    using Rekey = std::function<void(const std::string& key, const QString& title)>;
    std::function<QWidget*(Close close)> settings;
    std::function<QWidget*(Close close)> search;
    std::function<QWidget*(Close close)> about;
    std::function<QWidget*(const EditorMode& mode, Close close, Rekey rekey)> editor;
};

/// The window controller: at most one settings, search and About window and one editor per key, each
/// an ordinary top-level window built on demand and brought forward instead of duplicated, and made to
/// fit the available area of the screen under the pointer. Opening any
/// of them closes the panel. A closed window is forgotten and deleted; the next request builds a fresh
/// one. Main thread only; the windows it still holds die with it.
class AuxWindows : public QObject {
    Q_OBJECT

public:
    explicit AuxWindows(WindowContents contents, QObject* parent = nullptr);
    ~AuxWindows() override;

    /// The panel to close whenever a window is shown; never kept alive by this.
    void setPanel(QWidget* panel);

    /// Each shows its window, building it first when its slot is empty, and returns it.
    QWidget* showSettings();
    QWidget* showSearch();
    QWidget* showAbout();
    /// The editor in slot `request.key`; a new one is shifted (n mod 6) × 24 px right and down from the
    /// centre (staying inside the screen), n being the number of editors already open.
    QWidget* showEditor(const EditorRequest& request);

    /// Closes every window, editors first, and stops at the first whose content refuses; true when all
    /// closed. For quitting without losing what an editor holds.
    bool closeAll();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    /// How a window of one slot looks.
    struct Style {
        const char* objectName;
        QString title;
        QSize size;
        bool resizable;
    };

    QWidget* showSingle(QPointer<QWidget>& slot, const Style& style, const std::function<QWidget*(WindowContents::Close)>& build);
    QWidget* createWindow(const Style& style, const std::function<QWidget*(WindowContents::Close)>& build);
    void activate(QWidget* window);
    void rekeyEditor(QWidget* window, const std::string& key, const QString& title);
    void forget(QObject* window);

    WindowContents contents_;
    QPointer<QWidget> panel_;
    QPointer<QWidget> settings_;
    QPointer<QWidget> search_;
    QPointer<QWidget> about_;
    std::map<std::string, QWidget*> editors_;  // by key: "new" or a page id
};

}  // namespace folioport
