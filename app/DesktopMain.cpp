#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QUrl>

#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <memory>

#include "app/AppIcons.h"
#include "app/DesktopEntry.h"
#include "app/Scene.h"
#include "app/SessionEnd.h"
#include "app/SingleInstance.h"
#include "app/TrayHostWatcher.h"
#include "platform/Bundle.h"
#include "platform/LoginItem.h"
#include "platform/Posix.h"
#include "state/AppStore.h"
#include "updater/Updater.h"

namespace {

bool isSet(const char* variable) {
    const char* value = std::getenv(variable);
    return value && *value;
}

}  // namespace

/// Runs the tray application until it is quit. "--demo" marks it as running against the demo site.
extern "C" __attribute__((visibility("default"))) int folioport_run_desktop(int argc, char** argv) {
    // why: without a display QApplication aborts with a message about platform plugins; say it plainly.
    if (!isSet("DISPLAY") && !isSet("WAYLAND_DISPLAY") && !isSet("QT_QPA_PLATFORM")) {
        std::cerr << "Folioport: no graphical display is available (DISPLAY and WAYLAND_DISPLAY are unset), so the "
                     "tray application cannot start; \"Folioport --mcp\" runs the MCP server, which needs none.\n";
        return 1;
    }
    // why: under Xwayland the application sees neither the pointer over the desktop's bars nor clicks
    // outside its windows; Qt picks X11 on some Wayland desktops unless told. X11 remains the fallback.
    if (isSet("WAYLAND_DISPLAY") && !isSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "wayland;xcb");
    folioport::platform::returnLargeAllocationsWhenFreed();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Folioport"));
    QApplication::setDesktopFileName(QStringLiteral("com.tessaly.folioport"));
    QApplication::setWindowIcon(folioport::applicationIcon());
    const bool demo = QApplication::arguments().contains(QStringLiteral("--demo"));

    folioport::SingleInstance instance;
    switch (instance.claim()) {
    case folioport::SingleInstance::Claim::first:
        break;
    case folioport::SingleInstance::Claim::handedOver:
        return 0;
    case folioport::SingleInstance::Claim::unanswered:
        std::cerr << "Folioport: another copy is already running in this session but did not answer within 3 "
                     "seconds, so this one ends; quit the other copy (or end its process) and start again.\n";
        return 1;
    }

    // why: "Launch at login" of an older version started the executable directly, so a bundle an update cut short
    // left at .old was put back only from the menu.
    if (!folioport::platform::LoginItem::startThroughLauncher(folioport::platform::Bundle::location()))
        std::cerr << "Folioport: could not point the autostart entry "
                  << folioport::platform::LoginItem::entryFile().string() << " at the launcher.\n";

    // One store and one updater for the life of the process.
    folioport::AppStoreOptions options;
    options.copyText = [](const std::string& text) { QGuiApplication::clipboard()->setText(QString::fromStdString(text)); };
    options.openURL = [](const QUrl& address) { QDesktopServices::openUrl(address); };
#ifdef FOLIOPORT_TEST_GATEWAY_ARGUMENT
    if (const auto at = QApplication::arguments().indexOf(QStringLiteral("--test-gateway-root"));
        at >= 0 && at + 1 < QApplication::arguments().size())
        options.gatewayRoot = QApplication::arguments()[at + 1].toStdString();
#endif
    folioport::AppStore store(std::move(options));
    folioport::Updater updater;

    folioport::Scene scene(store, updater, demo, std::make_unique<folioport::TrayHostWatcher>());
    // why: a logout sends SIGTERM and may not wait for questions; what editors hold is kept as drafts first.
    folioport::SessionEnd sessionEnd;
    QObject::connect(&sessionEnd, &folioport::SessionEnd::saveRequested, [&store] { store.drafts().keepAllNow(); });
    QObject::connect(&sessionEnd, &folioport::SessionEnd::endRequested, [&store] {
        store.drafts().keepAllNow();
        // why: a session that ends does not wait for requests or a keyring still answering; SIGALRM's default
        // action ends the process should the orderly exit take longer.
        ::alarm(5);
        QCoreApplication::exit(0);
    });
    scene.start();
    QObject::connect(&instance, &folioport::SingleInstance::activationRequested, &scene, &folioport::Scene::comeForward);
    return QApplication::exec();
}

static_assert(sizeof(&folioport_run_desktop) == sizeof(folioport::DesktopEntry));
