#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QUrl>

#include <cstdlib>
#include <iostream>

#include "app/AppIcons.h"
#include "app/DesktopEntry.h"
#include "app/Scene.h"
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
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Folioport"));
    QApplication::setDesktopFileName(QStringLiteral("com.tessaly.folioport"));
    QApplication::setWindowIcon(folioport::applicationIcon());
    const bool demo = QApplication::arguments().contains(QStringLiteral("--demo"));

    // One store and one updater for the life of the process.
    folioport::AppStoreOptions options;
    options.copyText = [](const std::string& text) { QGuiApplication::clipboard()->setText(QString::fromStdString(text)); };
    options.openURL = [](const QUrl& address) { QDesktopServices::openUrl(address); };
    folioport::AppStore store(std::move(options));
    folioport::Updater updater;

    folioport::Scene scene(store, updater, demo);
    scene.start();
    return QApplication::exec();
}

static_assert(sizeof(&folioport_run_desktop) == sizeof(folioport::DesktopEntry));
