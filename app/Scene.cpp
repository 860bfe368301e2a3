#include "app/Scene.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QKeyEvent>
#include <QScreen>

#include <iostream>

#include "app/EditorRequest.h"
#include "app/PopupPlacement.h"
#include "app/TrayItem.h"
#include "mcp/ToolCatalogue.h"
#include "platform/Posix.h"
#include "state/AppStore.h"
#include "ui/AboutView.h"
#include "ui/Clock.h"
#include "ui/McpSetupSection.h"
#include "ui/PageEditorView.h"
#include "ui/SearchView.h"
#include "ui/SettingsView.h"
#include "updater/Updater.h"

namespace folioport {

namespace {

/// A click on the tray icon this soon after the popup closed is the click that closed it.
constexpr qint64 closingClickMs = 300;
/// A tray host away this long is gone for good (a panel that restarts is back well within it).
constexpr std::chrono::milliseconds trayGoneWait{5000};

/// The MCP server the settings name: the running executable (else the first command-line argument, else
/// "Folioport") and the catalogue's tools.
ui::McpServerInfo mcpServer() {
    ui::McpServerInfo server;
    if (const auto path = platform::runningExecutable(); !path.empty())
        server.executable = QString::fromStdString(path.string());
    else if (const QStringList arguments = QCoreApplication::arguments(); !arguments.isEmpty())
        server.executable = arguments.first();
    else
        server.executable = QStringLiteral("Folioport");
    for (const std::string& name : MCPServer::toolNames()) server.toolNames << QString::fromStdString(name);
    return server;
}

bool onWayland() { return QGuiApplication::platformName().startsWith(QLatin1String("wayland")); }

/// The settings, search, About and editor views over the one store and updater; a search hit's edit
/// button goes to `editPage`, the expired-token hint's "Open Settings" to `openSettings`.
WindowContents windowContents(AppStore& store, Updater& updater, std::function<void(const Page&)> editPage,
                              std::function<void()> openSettings) {
    WindowContents contents;
    contents.settings = [&store, &updater](WindowContents::Close close) -> QWidget* {
        return new ui::SettingsView(store, updater, std::move(close), mcpServer());
    };
    contents.search = [&store, editPage = std::move(editPage), openSettings](WindowContents::Close close) -> QWidget* {
        auto* view = new ui::SearchView(store, std::move(close));
        QObject::connect(view, &ui::SearchView::editPageRequested, view, editPage);
        QObject::connect(view, &ui::SearchView::settingsRequested, view, openSettings);
        return view;
    };
    contents.about = [](WindowContents::Close close) -> QWidget* { return new ui::AboutView(std::move(close)); };
    contents.editor = [&store, openSettings](const EditorMode& mode, WindowContents::Close close,
                                             WindowContents::Rekey rekey) -> QWidget* {
        auto* view = new ui::PageEditorView(store, mode, std::move(close), std::move(rekey));
        QObject::connect(view, &ui::PageEditorView::settingsRequested, view, openSettings);
        return view;
    };
    return contents;
}

}  // namespace

Scene::Scene(AppStore& store, Updater& updater, bool demo, std::unique_ptr<TrayHosts> trayHosts)
    : store_(store), updater_(updater), demo_(demo), panel_(store, updater),
      windows_(windowContents(
          store, updater, [this](const Page& page) { windows_.showEditor(editPageRequest(page)); },
          [this] { windows_.showSettings(); })),
      trayHosts_(std::move(trayHosts)) {
    panel_.setDemo(demo);
    panel_.installEventFilter(this);
    windows_.setPanel(&panel_);

    connect(&panel_, &ui::MenuBarPanel::cameOnScreen, this,
            [this] { updater_.start(store_.settings().updateFeedURL, store_.settings().autoUpdate); });
    connect(&panel_, &ui::MenuBarPanel::settingsRequested, &windows_, &AuxWindows::showSettings);
    connect(&panel_, &ui::MenuBarPanel::searchRequested, &windows_, &AuxWindows::showSearch);
    connect(&panel_, &ui::MenuBarPanel::aboutRequested, &windows_, &AuxWindows::showAbout);
    connect(&panel_, &ui::MenuBarPanel::newPageRequested, this,
            [this] { windows_.showEditor(newPageRequest(store_)); });
    connect(&panel_, &ui::MenuBarPanel::newChildPageRequested, this,
            [this](const Page& parent) { windows_.showEditor(newChildPageRequest(store_, parent)); });
    connect(&panel_, &ui::MenuBarPanel::editPageRequested, this,
            [this](const Page& page) { windows_.showEditor(editPageRequest(page)); });
    connect(&panel_, &ui::MenuBarPanel::quitRequested, this, &Scene::quit, Qt::QueuedConnection);
    connect(&panel_, &ui::MenuBarPanel::draftsReopenRequested, this, [this] {
        for (EditorDraft& draft : store_.drafts().takeWaiting(store_.config().normalizedBaseURL()))
            windows_.showEditor(reopenDraftRequest(std::move(draft)));
    });
}

Scene::~Scene() = default;

void Scene::start() {
    // why: the title names the panel to screen readers as a popup, and in the taskbar as a window.
    panel_.setWindowTitle(demo_ ? QStringLiteral("Folioport Demo") : QStringLiteral("Folioport"));
    // why: without a tray the panel window is the application; closing it quits (see eventFilter).
    QApplication::setQuitOnLastWindowClosed(false);
    connect(trayHosts_.get(), &TrayHosts::changed, this, &Scene::followTrayHosts);
    if (enterTray()) return;
    std::cerr << "Folioport: no system tray is available, so the panel opens as an ordinary window.\n";
    enterWindow();
}

void Scene::comeForward() {
    if (tray_) {
        showPanel(QCursor::pos());
        return;
    }
    panel_.setWindowState(panel_.windowState() & ~Qt::WindowMinimized);
    panel_.show();
    panel_.raise();
    panel_.activateWindow();
}

bool Scene::iconHostPresent() const {
    const TrayHostsPresent hosts = trayHosts_->present();
    if (!iconProtocol_) return hosts.statusNotifier || hosts.xembed;
    return *iconProtocol_ == IconProtocol::statusNotifierItem ? hosts.statusNotifier : hosts.xembed;
}

bool Scene::enterTray() {
    if (!iconHostPresent()) return false;
    // why: Qt settles with its first tray icon, once per process, which protocol its icons speak:
    // StatusNotifierItem when such a host is registered then, else XEmbed. A host of the other protocol
    // would leave an icon nobody sees, and the application reachable only by a second launch.
    if (!iconProtocol_)
        iconProtocol_ = trayHosts_->present().statusNotifier ? IconProtocol::statusNotifierItem : IconProtocol::xembed;
    panel_.hide();
    // why: a popup has no taskbar entry and closes itself on a click anywhere else; Wayland gives a popup
    // no place without a parent window, so there the panel is a window the compositor centres.
    panel_.setWindowFlags(onWayland() ? Qt::Window | Qt::FramelessWindowHint : Qt::Popup | Qt::FramelessWindowHint);
    windows_.setPanel(&panel_);
    tray_ = std::make_unique<TrayItem>(store_, demo_);
    connect(tray_.get(), &TrayItem::clicked, this, &Scene::togglePanel);
    connect(tray_.get(), &TrayItem::openRequested, this, &Scene::showPanel);
    connect(tray_.get(), &TrayItem::settingsRequested, &windows_, &AuxWindows::showSettings);
    connect(tray_.get(), &TrayItem::quitRequested, this, &Scene::quit, Qt::QueuedConnection);
    tray_->show();
    return true;
}

void Scene::enterWindow() {
    tray_.reset();
    panel_.hide();
    panel_.setWindowFlags(Qt::Window);
    // why: the panel is now the application's only way in, so other windows open beside it.
    windows_.setPanel(nullptr);
    if (QScreen* screen = QGuiApplication::primaryScreen()) fitPanel(*screen);
    panel_.show();
}

void Scene::fitPanel(const QScreen& screen) {
    // why: a window the compositor or window manager places; it only has to be small enough for the screen.
    panel_.setFixedSize(ui::MenuBarPanel::fullSize.boundedTo(screen.availableGeometry().size()));
}

void Scene::followTrayHosts() {
    if (!iconHostPresent()) {
        if (!tray_ || waitingForTray_) return;
        waitingForTray_ = true;
        ui::Clock::current().after(trayGoneWait, this, [this, wait = ++trayWaits_] { trayWaitEnded(wait); });
        return;
    }
    waitingForTray_ = false;
    if (tray_ || !enterTray()) return;
    std::cerr << "Folioport: a system tray has appeared; the panel now opens from its icon.\n";
}

void Scene::trayWaitEnded(std::uint64_t wait) {
    if (wait != trayWaits_ || !waitingForTray_) return;
    waitingForTray_ = false;
    std::cerr << "Folioport: the system tray has gone away, so the panel opens as an ordinary window.\n";
    enterWindow();
}

bool Scene::eventFilter(QObject* watched, QEvent* event) {
    if (watched != &panel_) return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::Hide:
        sinceHidden_.start();
        break;
    case QEvent::Close:
        // why: without a tray, closing the panel window is quitting, which an unsaved editor may refuse.
        if (!tray_) {
            event->ignore();
            QMetaObject::invokeMethod(this, &Scene::quit, Qt::QueuedConnection);
            return true;
        }
        break;
    case QEvent::WindowDeactivate:
        // why: the panel opened from the tray is a popup; where it is a window (Wayland) it closes as one.
        if (tray_ && panel_.windowType() != Qt::Popup) panel_.hide();
        break;
    case QEvent::KeyPress:
        if (tray_ && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
            panel_.hide();
            return true;
        }
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void Scene::quit() {
    // why: an editor holding unsaved text asks first, and "Keep editing" keeps the application running.
    // Then exit rather than quit, which would offer the panel window a close that it turns into quitting.
    if (windows_.closeAll()) QCoreApplication::exit(0);
}

void Scene::togglePanel(QPoint pointer) {
    // why: the press on the icon closes the open popup first, and then arrives as the click itself.
    const bool closedByThisClick = sinceHidden_.isValid() && sinceHidden_.elapsed() < closingClickMs;
    if (panel_.isVisible()) {
        panel_.hide();
    } else if (!closedByThisClick) {
        showPanel(pointer);
    }
}

void Scene::showPanel(QPoint pointer) {
    if (panel_.isVisible()) return;
    QScreen* screen = QGuiApplication::screenAt(pointer);
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (panel_.windowType() == Qt::Popup) {
        const QRect placed = popupGeometry(tray_->geometry(), pointer, ui::MenuBarPanel::fullSize, screen->availableGeometry());
        panel_.setFixedSize(placed.size());
        panel_.move(placed.topLeft());
    } else {
        fitPanel(*screen);
    }
    panel_.show();
    panel_.raise();
    panel_.activateWindow();
}

}  // namespace folioport
