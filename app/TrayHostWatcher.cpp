#include "app/TrayHostWatcher.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QGuiApplication>

#include <algorithm>
#include <string>

#include <xcb/xcb.h>
#include <xcb/xfixes.h>

namespace folioport {

namespace {

const QString watcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString watcherPath = QStringLiteral("/StatusNotifierWatcher");
/// A question to the tray host that takes longer than this counts as "no host".
constexpr int busAnswerMs = 2000;

QDBusMessage hostRegisteredQuestion() {
    QDBusMessage ask = QDBusMessage::createMethodCall(watcherService, watcherPath,
                                                      QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    ask << watcherService << QStringLiteral("IsStatusNotifierHostRegistered");
    return ask;
}

xcb_connection_t* xcbConnection() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

}  // namespace

TrayHostWatcher::TrayHostWatcher(QObject* parent) : TrayHosts(parent) {
    watchStatusNotifierHost();
    watchXEmbedSelection();
}

TrayHostWatcher::~TrayHostWatcher() {
    if (xfixesFirstEvent_) QCoreApplication::instance()->removeNativeEventFilter(this);
}

void TrayHostWatcher::watchStatusNotifierHost() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    busWatcher_ = new QDBusServiceWatcher(watcherService, bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(busWatcher_, &QDBusServiceWatcher::serviceRegistered, this, &TrayHostWatcher::askWhetherHostRegistered);
    connect(busWatcher_, &QDBusServiceWatcher::serviceUnregistered, this,
            [this] { update(statusNotifierHost_, false); });
    // why: the watcher may own its name a moment before a host (often the same process) registers with it.
    bus.connect(watcherService, watcherPath, watcherService, QStringLiteral("StatusNotifierHostRegistered"), this,
                SLOT(askWhetherHostRegistered()));
    // why: the answer decides how the application starts, so it is awaited, but never for long.
    const QDBusMessage answer = bus.call(hostRegisteredQuestion(), QDBus::Block, busAnswerMs);
    statusNotifierHost_ = answer.type() == QDBusMessage::ReplyMessage && !answer.arguments().isEmpty() &&
                          qvariant_cast<QDBusVariant>(answer.arguments().first()).variant().toBool();
}

void TrayHostWatcher::askWhetherHostRegistered() {
    auto* pending = new QDBusPendingCallWatcher(
        QDBusConnection::sessionBus().asyncCall(hostRegisteredQuestion(), busAnswerMs), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
        const QDBusPendingReply<QDBusVariant> reply = *call;
        call->deleteLater();
        if (!reply.isError()) update(statusNotifierHost_, reply.value().variant().toBool());
    });
}

void TrayHostWatcher::watchXEmbedSelection() {
    xcb_connection_t* connection = xcbConnection();
    if (!connection) return;
    const xcb_query_extension_reply_t* xfixes = xcb_get_extension_data(connection, &xcb_xfixes_id);
    if (!xfixes || !xfixes->present) return;
    xcb_xfixes_query_version_reply_t* version = xcb_xfixes_query_version_reply(
        connection, xcb_xfixes_query_version(connection, XCB_XFIXES_MAJOR_VERSION, XCB_XFIXES_MINOR_VERSION), nullptr);
    free(version);
    xfixesFirstEvent_ = xfixes->first_event;
    int screenNumber = 0;
    for (auto roots = xcb_setup_roots_iterator(xcb_get_setup(connection)); roots.rem; xcb_screen_next(&roots)) {
        const std::string name = "_NET_SYSTEM_TRAY_S" + std::to_string(screenNumber++);
        xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
            connection, xcb_intern_atom(connection, 0, static_cast<uint16_t>(name.size()), name.c_str()), nullptr);
        if (!atom) continue;
        traySelections_.push_back(atom->atom);
        xcb_xfixes_select_selection_input(connection, roots.data->root, atom->atom,
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                                              XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                                              XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
        xcb_get_selection_owner_reply_t* owner =
            xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, atom->atom), nullptr);
        if (owner && owner->owner != XCB_NONE) ownedSelections_.push_back(atom->atom);
        free(owner);
        free(atom);
    }
    xcb_flush(connection);
    xembedTrayOwned_ = !ownedSelections_.empty();
    QCoreApplication::instance()->installNativeEventFilter(this);
}

bool TrayHostWatcher::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t") return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & ~0x80) != xfixesFirstEvent_ + XCB_XFIXES_SELECTION_NOTIFY) return false;
    const auto* notify = reinterpret_cast<const xcb_xfixes_selection_notify_event_t*>(event);
    if (std::ranges::find(traySelections_, notify->selection) == traySelections_.end()) return false;
    std::erase(ownedSelections_, notify->selection);
    if (notify->owner != XCB_NONE) ownedSelections_.push_back(notify->selection);
    update(xembedTrayOwned_, !ownedSelections_.empty());
    return false;  // why: Qt's own tray code follows the same selection
}

void TrayHostWatcher::update(bool& field, bool value) {
    if (field == value) return;
    field = value;
    Q_EMIT changed();
}

}  // namespace folioport
