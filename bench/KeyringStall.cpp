// The longest time the event loop stands still while the desktop keyring never answers, at the moments a
// user meets it: the store's start, "Done" in the settings window (saving the settings), a refresh, and
// picking a space (a preferences write, which ends in fsync). scripts/keyring-stall.sh runs it inside a
// private keyring that never answers, and, asked to, beside a writer that keeps the disk busy.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include "FakeConfluence.h"
#include "state/AppStore.h"

namespace {

using namespace folioport;

/// Runs `start`, spins the event loop until `done` holds (at most ten seconds) and prints the longest gap
/// between two ticks of a 5 ms timer meanwhile.
void measure(const char* moment, const std::function<void()>& start, const std::function<bool()>& done) {
    qint64 longest = 0;
    QElapsedTimer sinceTick, total;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { longest = std::max(longest, sinceTick.restart()); });
    ticker.start(5);
    sinceTick.start();
    total.start();
    start();
    longest = std::max(longest, sinceTick.restart());
    const bool ended = QTest::qWaitFor(done, 10000);
    std::printf("%-8s longest stall of the event loop %5lld ms (the step took %5lld ms%s)\n", moment,
                static_cast<long long>(longest), static_cast<long long>(total.elapsed()), ended ? "" : ", unfinished");
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    auto site = fake::FakeConfluence::start();
    if (!site) {
        std::fprintf(stderr, "the fake site did not start: %s\n", site.error().c_str());
        return 1;
    }
    const std::filesystem::path file = std::filesystem::path(std::getenv("XDG_CONFIG_HOME")) / "bench.json";
    std::ofstream(file) << R"({"baseURL":")" << (*site)->baseURL() << R"(","email":"mia@example.com","refreshMinutes":0})";

    std::unique_ptr<AppStore> store;
    measure("start", [&] { store = std::make_unique<AppStore>(AppStoreOptions{.preferencesFile = file}); },
            [&] { return !store->isReadingSettings(); });

    StoredSettings typed = store->settings();
    typed.apiToken = "test-token";
    bool saved = false;
    measure(
        "Done", [&] { store->saveSettings(typed, [&](const StoredSettings::SaveOutcome&) { saved = true; }); },
        [&] { return saved; });

    // why: the keyring refused the token, so the refresh runs with the typed one as the window would have it.
    store->editSettings([&](StoredSettings& settings) { settings.apiToken = typed.apiToken; });
    bool loaded = false;
    measure("refresh", [&] { store->load(false, [&] { loaded = true; }); }, [&] { return loaded; });

    auto stored = [&file] {
        std::ifstream in(file);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    measure("space", [&] { store->selectSpace("OPS"); },
            [&] { return stored().find(R"("spaceKey": "OPS")") != std::string::npos; });
    return 0;
}
