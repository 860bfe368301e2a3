// update_client FEED_URL CA_FILE: the installed application of the end-to-end test. Copied into a bundle as
// Contents/bin/Folioport, it checks the feed like the settings window's button, installs what it finds like
// the banner's action, prints every status line, and exits 0 when the updater quits it, 1 on an error.
#include <QCoreApplication>

#include <iostream>

#include "platform/HttpTransport.h"
#include "updater/Updater.h"

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    if (argc != 3) return 2;
    folioport::platform::HttpTransport::configure({.certificateAuthorityFile = argv[2]});
    folioport::Updater updater;
    bool installing = false;
    QObject::connect(&updater, &folioport::Updater::statusChanged, [&] {
        if (updater.status()) std::cout << *updater.status() << std::endl;
    });
    QObject::connect(&updater, &folioport::Updater::errorMessageChanged, [&] {
        if (!updater.errorMessage()) return;
        std::cout << *updater.errorMessage() << std::endl;
        QCoreApplication::exit(1);
    });
    QObject::connect(&updater, &folioport::Updater::isCheckingChanged, [&] {
        if (updater.isChecking() || !updater.available() || installing) return;
        installing = true;
        updater.install();
    });
    updater.check(argv[1], true);
    return QCoreApplication::exec();
}
