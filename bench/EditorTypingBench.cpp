// Typing into a page editor holding a large storage body kept on one line, as the site keeps it: the
// UI thread's CPU time per keystroke (the key, the layout and the paint it causes), the CPU an idle
// editor burns with its caret blinking, resident memory with the page open beyond the figure before it
// opened, and how long Ctrl+S takes to reach the site. Each body size runs in a process of its own, so
// one size's memory does not weigh on the next. Sizes in bytes may be given as arguments; without a
// display it draws offscreen.
#include <QApplication>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#include "FakeConfluence.h"
#include "platform/Posix.h"
#include "state/AppStore.h"
#include "ui/EditorQuestions.h"
#include "ui/PageEditorView.h"

namespace {

using namespace folioport;

constexpr int keystrokes = 40;

double threadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

long residentKb() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with("VmRSS:")) return std::atol(line.c_str() + 6);
    return 0;
}

/// Storage format on one line, about `bytes` long: paragraphs of prose with some markup.
std::string oneLineBody(std::size_t bytes) {
    const std::string paragraph =
        "<p>The quarterly plan lists <strong>every</strong> service we run, who looks after it and "
        "<a href=\"https://example.com/runbook\">its runbook</a>; the numbers below are from last week.</p>";
    std::string body;
    body.reserve(bytes + paragraph.size());
    while (body.size() < bytes) body += paragraph;
    return body;
}

/// Handles every pending event, the repaints included.
void settle() {
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents);
}

int measure(std::size_t bytes, int argc, char** argv) {
    platform::returnLargeAllocationsWhenFreed();  // as the application does
    QApplication application(argc, argv);
    auto site = fake::FakeConfluence::start();
    if (!site) return std::fprintf(stderr, "the fake site did not start: %s\n", site.error().c_str()), 1;
    const std::string body = oneLineBody(bytes);
    (*site)->withData([&](fake::SiteData& data) {
        data.pages.push_back({.id = "424242", .spaceId = data.spaces.front().id, .title = "Big page", .body = body});
    });
    const QTemporaryDir dir;
    const std::string file = dir.filePath(QStringLiteral("preferences.json")).toStdString();
    std::ofstream(file) << R"({"baseURL":")" << (*site)->baseURL() << R"(","email":"mia@example.com","refreshMinutes":0})";
    AppStore store(AppStoreOptions{.preferencesFile = file});
    if (!QTest::qWaitFor([&] { return !store.isReadingSettings(); }, 5000)) return std::fprintf(stderr, "no settings\n"), 1;
    store.editSettings([](StoredSettings& settings) { settings.apiToken = "test-token"; });
    {
        // why: the first window of a process loads the style, fonts and glyph caches; the application
        // has had those since its panel first opened, so they belong to its idle figure.
        ui::PageEditorView warmUp(store, EditPage{"98306"}, [] {}, [](const std::string&, const QString&) {});
        warmUp.show();
        if (!QTest::qWaitFor([&] { return warmUp.page().has_value(); }, 10000)) return std::fprintf(stderr, "no page\n"), 1;
        settle();
    }
    QTest::qWait(500);
    const long idleKb = residentKb();

    ui::PageEditorView editor(store, EditPage{"424242"}, [] {}, [](const std::string&, const QString&) {},
                              ui::EditorQuestions{[](QWidget*) { return true; }, [](QWidget*, const QString&) { return false; }});
    editor.resize(620, 640);
    QElapsedTimer opening;
    opening.start();
    editor.show();
    if (!QTest::qWaitFor([&] { return editor.page().has_value(); }, 30000)) return std::fprintf(stderr, "no page\n"), 1;
    settle();
    const qint64 openMs = opening.elapsed();
    auto* bodyEditor = editor.findChild<QPlainTextEdit*>(QStringLiteral("bodyEditor"));
    editor.activateWindow();
    if (!QTest::qWaitForWindowActive(&editor)) return std::fprintf(stderr, "the editor is not active\n"), 1;
    bodyEditor->setFocus();
    QTextCursor middle = bodyEditor->textCursor();
    middle.setPosition(bodyEditor->document()->characterCount() / 2);
    bodyEditor->setTextCursor(middle);
    settle();
    QTest::qWait(300);
    const long openKb = residentKb();

    std::vector<double> costs;
    for (int i = 0; i < keystrokes; ++i) {
        const double before = threadCpuMs();
        QTest::keyClick(bodyEditor, static_cast<char>('a' + i % 26));
        settle();
        costs.push_back(threadCpuMs() - before);
    }
    std::ranges::sort(costs);
    double total = 0;
    for (double cost : costs) total += cost;

    const double idleBefore = threadCpuMs();
    QTest::qWait(5000);
    const double idleCpu = (threadCpuMs() - idleBefore) / 5;

    const std::int64_t version = (*site)->withData([](fake::SiteData& data) { return data.pageById("424242")->version; });
    QElapsedTimer saving;
    saving.start();
    QTest::keyClick(bodyEditor, Qt::Key_S, Qt::ControlModifier);
    const auto savedVersion = [&] {
        return (*site)->withData([](fake::SiteData& data) { return data.pageById("424242")->version; });
    };
    if (!QTest::qWaitFor([&] { return savedVersion() > version; }, 60000)) return std::fprintf(stderr, "not saved\n"), 1;
    const qint64 saveMs = saving.elapsed();
    if (!QTest::qWaitFor([&] { return editor.page() && versionOf(*editor.page()) > version; }, 60000))
        return std::fprintf(stderr, "not reloaded\n"), 1;
    settle();
    QTest::qWait(300);

    std::printf("%7zu KB  open %5lld ms | per keystroke (UI-thread CPU) mean %7.2f ms, median %7.2f, max %7.2f | "
                "idle %6.1f ms CPU/s | memory +%6ld KB open (%.1f× the page), +%6ld KB after saving | "
                "Ctrl+S to the site %5lld ms\n",
                bytes / 1000, static_cast<long long>(openMs), total / keystrokes, costs[keystrokes / 2], costs.back(),
                idleCpu, openKb - idleKb, static_cast<double>(openKb - idleKb) * 1024 / static_cast<double>(bytes),
                residentKb() - idleKb, static_cast<long long>(saveMs));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::size_t> sizes;
    for (int i = 1; i < argc; ++i)
        if (argv[i][0] != '-') sizes.push_back(std::strtoul(argv[i], nullptr, 10));  // bench.sh passes options
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (sizes.empty()) sizes = {100'000, 1'000'000, 5'000'000};
    int status = 0;
    for (std::size_t bytes : sizes) {
        std::fflush(stdout);
        const pid_t child = fork();
        if (child == 0) {
            const int failed = measure(bytes, 1, argv);
            std::fflush(stdout);
            std::_Exit(failed);
        }
        int result = 0;
        waitpid(child, &result, 0);
        status |= WIFEXITED(result) ? WEXITSTATUS(result) : 1;
    }
    return status;
}
