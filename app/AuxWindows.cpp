#include "app/AuxWindows.h"
#include "app/PopupPlacement.h"

#include <QCoreApplication>
#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>
#include <QWidget>

#include <algorithm>
#include <memory>
#include <vector>

namespace folioport {

namespace {

constexpr int cascadeStep = 24;
constexpr int cascadeCycle = 6;

/// The screen under the pointer, where the tray and the panel the request came from are.
QRect availableArea() {
    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen) screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

}  // namespace

AuxWindows::AuxWindows(WindowContents contents, QObject* parent) : QObject(parent), contents_(std::move(contents)) {}

AuxWindows::~AuxWindows() {
    for (QWidget* window : {settings_.data(), search_.data(), about_.data()}) delete window;
    // why: deleting an editor forgets it, which edits the map; take the windows out first.
    auto editors = std::exchange(editors_, {});
    for (auto& [key, window] : editors) delete window;
}

void AuxWindows::setPanel(QWidget* panel) { panel_ = panel; }

QWidget* AuxWindows::showSettings() {
    return showSingle(settings_, {"settingsWindow", QStringLiteral("Folioport Settings"), {420, 620}, false},
                      contents_.settings);
}

QWidget* AuxWindows::showSearch() {
    return showSingle(search_, {"searchWindow", QStringLiteral("Search Confluence"), {560, 560}, true},
                      contents_.search);
}

QWidget* AuxWindows::showAbout() {
    return showSingle(about_, {"aboutWindow", QStringLiteral("About Folioport"), {420, 620}, false}, contents_.about);
}

QWidget* AuxWindows::showEditor(const EditorRequest& request) {
    if (auto open = editors_.find(request.key); open != editors_.end()) {
        activate(open->second);
        return open->second;
    }
    const int shift = static_cast<int>(editors_.size() % cascadeCycle) * cascadeStep;
    auto built = std::make_shared<QPointer<QWidget>>();  // the window, once createWindow has made it
    QWidget* window = createWindow(
        {"editorWindow", QString::fromStdString(request.title), {620, 640}, true}, [&](WindowContents::Close close) {
            return contents_.editor(request.mode, close, [this, built](const std::string& key, const QString& title) {
                if (*built) rekeyEditor(*built, key, title);
            });
        });
    *built = window;
    window->move(fittedInto(window->geometry().translated(shift, shift), availableArea()).topLeft());
    editors_.emplace(request.key, window);
    activate(window);
    return window;
}

bool AuxWindows::closeAll() {
    std::vector<QPointer<QWidget>> open;
    for (const auto& [key, window] : editors_) open.emplace_back(window);
    for (QWidget* window : {settings_.data(), search_.data(), about_.data()}) open.emplace_back(window);
    return std::ranges::all_of(open, [](const QPointer<QWidget>& window) { return !window || window->close(); });
}

void AuxWindows::rekeyEditor(QWidget* window, const std::string& key, const QString& title) {
    auto held = std::ranges::find(editors_, window, [](const auto& entry) { return entry.second; });
    if (held == editors_.end()) return;
    if (held->first != key && !editors_.contains(key)) {
        editors_.erase(held);
        editors_.emplace(key, window);
    }
    window->setWindowTitle(title);
}

QWidget* AuxWindows::showSingle(QPointer<QWidget>& slot, const Style& style,
                                const std::function<QWidget*(WindowContents::Close)>& build) {
    if (!slot) slot = createWindow(style, build);
    activate(slot);
    return slot;
}

QWidget* AuxWindows::createWindow(const Style& style, const std::function<QWidget*(WindowContents::Close)>& build) {
    auto* window = new QWidget(nullptr, style.resizable ? Qt::Window
                                                        : Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                                              Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint);
    window->setObjectName(QString::fromLatin1(style.objectName));
    window->setWindowTitle(style.title);
    window->setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    QWidget* content = build([guard = QPointer<QWidget>(window)] {
        if (guard) guard->close();
    });
    layout->addWidget(content);
    // why: large fonts and scales make the screen small in the window's own units; the window then takes
    // the room there is and its content scrolls, rather than reaching past the screen's edge.
    const QRect area = availableArea();
    const QSize size = style.size.boundedTo(area.size());
    content->setMinimumSize(content->minimumSize().boundedTo(size));
    if (style.resizable) {
        window->resize(size);
    } else {
        window->setFixedSize(size);
    }
    window->move(area.topLeft() + QPoint((area.width() - size.width()) / 2, (area.height() - size.height()) / 2));
    // why: forget on the close itself, not only on deletion, which comes a turn of the event loop later;
    // a request in between must build a fresh window rather than bring back one about to be deleted.
    window->installEventFilter(this);
    connect(window, &QObject::destroyed, this, &AuxWindows::forget);
    return window;
}

void AuxWindows::activate(QWidget* window) {
    if (panel_ && panel_->isVisible()) panel_->hide();
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
}

bool AuxWindows::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Close) {
        // why: the content decides first (an editor with unsaved text asks); a refused close keeps the
        // window listed, and must not reach the window's own closeEvent, which would accept it again.
        const QLayout* layout = static_cast<QWidget*>(watched)->layout();
        if (QWidget* content = layout && layout->count() > 0 ? layout->itemAt(0)->widget() : nullptr)
            QCoreApplication::sendEvent(content, event);
        if (!event->isAccepted()) return true;
        forget(watched);
    }
    return QObject::eventFilter(watched, event);
}

void AuxWindows::forget(QObject* window) {
    for (QPointer<QWidget>* slot : {&settings_, &search_, &about_}) {
        if (slot->data() == window) *slot = nullptr;
    }
    std::erase_if(editors_, [window](const auto& entry) { return entry.second == window; });
}

}  // namespace folioport
