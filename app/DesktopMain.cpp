#include <QCoreApplication>

#include <iostream>

#include "app/DesktopEntry.h"
#include "state/AppStore.h"
#include "updater/Updater.h"

extern "C" __attribute__((visibility("default"))) int folioport_run_desktop(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    // One store and one updater for the life of the process; the tray and its windows will sit on them.
    folioport::AppStore store;
    folioport::Updater updater;
    std::cout << "Folioport: the tray application is not built yet; run \"Folioport --mcp\" to start the MCP "
                 "server for an AI coding assistant.\n";
    return 0;
}

static_assert(sizeof(&folioport_run_desktop) == sizeof(folioport::DesktopEntry));
