// update_client FEED_URL CA_FILE: the installed application of the end-to-end test. Copied into a bundle as
// Contents/bin/Folioport, it checks the feed like the settings window's button, installs what it finds like
// the banner's action, prints every status line, and exits 0 when the updater quits it, 1 on an error.
// Started without arguments, as the swap relaunches it, it writes the file its Qt Core library was loaded
// from to "<bundle>.relaunched" beside its bundle.
#include <QCoreApplication>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "platform/HttpTransport.h"
#include "updater/Updater.h"

namespace {

int reportRelaunch() {
    const auto executable = std::filesystem::read_symlink("/proc/self/exe");
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line) && line.find("/libQt6Core.so") == std::string::npos) {}
    std::ofstream(executable.parent_path().parent_path().parent_path().string() + ".relaunched")
        << line.substr(std::min(line.find('/'), line.size()));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 1) return reportRelaunch();
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
