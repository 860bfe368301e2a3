// The tray panel on a big wiki, offscreen, against the fake site on 127.0.0.1 (no added latency): opening
// the panel until its rows are drawn and a refresh until it has ended, with 2,000 spaces and 250 pages;
// opening the space menu with 2,000 spaces; one keystroke in the space filter with 5,000 spaces. Times are
// wall-clock per iteration; the counter "ui_cpu_ms" is the main thread's CPU time in it.

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>

#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <fstream>
#include <memory>

#include "FakeConfluence.h"
#include "state/AppStore.h"
#include "ui/MenuBarPanel.h"
#include "ui/PageRow.h"
#include "updater/Updater.h"

namespace {

using namespace folioport;

double threadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

/// A site with `spaces` generated spaces and `pages` pages, a store on it listing every space's pages
/// (at most 250), and an updater that stays quiet.
struct BigWiki {
    BigWiki(int spaces, int pages) {
        fake::SiteData data = fake::SiteData::minimal();
        data.addGenerated(spaces, pages);
        site = std::move(*fake::FakeConfluence::start(std::move(data)));
        std::ofstream(file()) << R"({"baseURL":")" << site->baseURL()
                              << R"(","email":"mia@example.com","refreshMinutes":0,"pageLimit":250})";
        updater = std::make_unique<Updater>(UpdaterOptions{.launchDelay = std::chrono::milliseconds(0),
                                                           .runningVersion = [] { return std::string("1.0"); },
                                                           .installedBundle = [] { return std::nullopt; }});
    }

    std::unique_ptr<AppStore> newStore() const {
        auto store = std::make_unique<AppStore>(AppStoreOptions{.preferencesFile = file()});
        QTest::qWaitFor([&] { return !store->isReadingSettings(); }, 10000);
        store->editSettings([](StoredSettings& settings) { settings.apiToken = "test-token"; });
        return store;
    }

    std::filesystem::path file() const { return dir.filePath(QStringLiteral("preferences.json")).toStdString(); }

    QTemporaryDir dir;
    std::unique_ptr<fake::FakeConfluence> site;
    std::unique_ptr<Updater> updater;
};

BigWiki& wikiOf(int spaces) {
    static BigWiki two(2000, 250), five(5000, 250);
    return spaces == 2000 ? two : five;
}

int shownRows(const ui::MenuBarPanel& panel) {
    int shown = 0;
    for (const ui::PageRow* row : panel.findChildren<ui::PageRow*>()) shown += row->isVisible();
    return shown;
}

void reportCpu(benchmark::State& state, double cpuMs) {
    state.counters["ui_cpu_ms"] = benchmark::Counter(cpuMs / static_cast<double>(state.iterations()));
}

void panelOpen(benchmark::State& state) {
    BigWiki& wiki = wikiOf(2000);
    double cpu = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto store = wiki.newStore();
        state.ResumeTiming();
        const double before = threadCpuMs();
        ui::MenuBarPanel panel(*store, *wiki.updater);
        panel.show();
        if (!QTest::qWaitFor([&] { return shownRows(panel) == 250 && !store->isLoading(); }, 30000))
            state.SkipWithError("the panel did not show 250 rows");
        QCoreApplication::processEvents();
        cpu += threadCpuMs() - before;
        state.PauseTiming();
        state.counters["spaces"] = static_cast<double>(store->spaces().size());
        state.ResumeTiming();
    }
    reportCpu(state, cpu);
}

void panelRefresh(benchmark::State& state) {
    BigWiki& wiki = wikiOf(2000);
    auto store = wiki.newStore();
    ui::MenuBarPanel panel(*store, *wiki.updater);
    panel.show();
    QTest::qWaitFor([&] { return shownRows(panel) == 250 && !store->isLoading(); }, 30000);
    auto* refresh = panel.findChild<QAbstractButton*>(QStringLiteral("refreshButton"));
    double cpu = 0;
    for (auto _ : state) {
        const double before = threadCpuMs();
        refresh->click();
        if (!QTest::qWaitFor([&] { return !store->isLoading(); }, 30000)) state.SkipWithError("the refresh hung");
        QCoreApplication::processEvents();
        cpu += threadCpuMs() - before;
    }
    reportCpu(state, cpu);
}

/// The panel of a loaded store, with its space menu opened.
struct OpenSpaceMenu {
    explicit OpenSpaceMenu(int spaces) : wiki(wikiOf(spaces)), store(wiki.newStore()), panel(*store, *wiki.updater) {
        panel.show();
        QTest::qWaitFor([&] { return shownRows(panel) == 250 && !store->isLoading(); }, 30000);
        button = panel.findChild<QAbstractButton*>(QStringLiteral("spaceMenuButton"));
        menu = panel.findChild<QMenu*>(QStringLiteral("spaceMenu"));
    }
    bool open() {
        menu->popup(button->mapToGlobal(QPoint(0, button->height())));
        return QTest::qWaitForWindowExposed(menu);
    }

    BigWiki& wiki;
    std::unique_ptr<AppStore> store;
    ui::MenuBarPanel panel;
    QAbstractButton* button = nullptr;
    QMenu* menu = nullptr;
};

void spaceMenuOpen(benchmark::State& state) {
    OpenSpaceMenu opened(2000);
    double cpu = 0;
    for (auto _ : state) {
        const double before = threadCpuMs();
        if (!opened.open()) state.SkipWithError("the menu did not show");
        QCoreApplication::processEvents();
        cpu += threadCpuMs() - before;
        state.PauseTiming();
        opened.menu->hide();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    reportCpu(state, cpu);
}

void filterKeystroke(benchmark::State& state) {
    OpenSpaceMenu opened(5000);
    opened.open();
    auto* field = opened.menu->findChild<QLineEdit*>(QStringLiteral("spaceFilterField"));
    if (!field) {
        state.SkipWithError("the space menu has no filter field");
        return;
    }
    // why: each keystroke narrows (e, en, eng …) or widens the list again, as typing and erasing do.
    const QString typed = QStringLiteral("eng 12");
    double cpu = 0;
    int position = 0;
    for (auto _ : state) {
        const double before = threadCpuMs();
        if (position < typed.size())
            QTest::keyClick(field, typed.at(position).toLatin1());
        else
            QTest::keyClick(field, Qt::Key_Backspace);
        QCoreApplication::processEvents();
        cpu += threadCpuMs() - before;
        position = (position + 1) % (2 * static_cast<int>(typed.size()));
    }
    reportCpu(state, cpu);
}

}  // namespace

BENCHMARK(panelOpen)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(panelRefresh)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(spaceMenuOpen)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(filterKeystroke)->Unit(benchmark::kMillisecond)->Iterations(120);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
