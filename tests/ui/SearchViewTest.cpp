#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include <memory>

#include "SearchViewTest.h"
#include "KeyboardWalk.h"
#include "WindowFixture.h"
#include "ui/ElidedLabel.h"
#include "ui/ErrorBanner.h"
#include "ui/SearchResultRow.h"
#include "ui/SearchView.h"
#include "ui/Spinner.h"
#include "NamedChild.h"

using namespace std::chrono_literals;
using nlohmann::json;
using namespace folioport;
using namespace folioport::ui;

namespace {

constexpr const char* searchPath = "/wiki/rest/api/search";

json hit(const char* title, json content) {
    return {{"title", title},
            {"excerpt", "The @@@hl@@@roadmap@@@endhl@@@ covers search"},
            {"url", "/spaces/ENG/pages/1"},
            {"lastModified", "2026-12-01T08:30:00.000Z"},
            {"resultGlobalContainer", {{"title", "Engineering"}}},
            {"content", content}};
}

struct OpenSearch {
    testing::WindowFixture fixture;
    std::unique_ptr<SearchView> view;
    int closes = 0;
    std::optional<QString> pastedLink;  // the answer to "Open a page link…"; absent: cancelled

    template <class T = QWidget>
    T* find(const char* name) const {
        return folioport::testing::namedChild<T>(*view, name);
    }
    QString hint() const { return find<QLabel>("emptyHint")->isVisible() ? find<QLabel>("emptyHint")->text() : QString(); }
    QString count() const {
        auto* label = find<QLabel>("resultCountLabel");
        return label->isVisible() ? label->text() : QString();
    }
    QList<SearchResultRow*> rows() const {
        QList<SearchResultRow*> visible;
        for (SearchResultRow* row : view->findChildren<SearchResultRow*>())
            if (row->isVisible()) visible << row;
        std::ranges::sort(visible, {}, [](SearchResultRow* row) { return row->y(); });
        return visible;
    }
    void type(const QString& text) {
        find<QLineEdit>("queryField")->clear();
        QTest::keyClicks(find<QLineEdit>("queryField"), text);
    }
};

std::unique_ptr<OpenSearch> openSearch(json stored) {
    auto open = std::make_unique<OpenSearch>();
    if (!open->fixture.start(std::move(stored))) qFatal("the fake site did not start");
    open->view = std::make_unique<SearchView>(*open->fixture.store, [raw = open.get()] { ++raw->closes; },
                                              [raw = open.get()](QWidget*) { return raw->pastedLink; });
    open->view->resize(560, 560);
    open->view->show();
    if (!QTest::qWaitForWindowExposed(open->view.get())) qFatal("the search view was not shown");
    return open;
}

}  // namespace

void SearchViewTest::scopeStartsTickedAndReRunsAFinishedSearch() {
    auto open = openSearch({{"spaceKey", "ENG"}});
    auto* scope = open->find<QCheckBox>("scopeCheckBox");
    auto* field = open->find<QLineEdit>("queryField");
    auto* search = open->find<QAbstractButton>("searchButton");
    QVERIFY(scope->isVisible());
    QVERIFY(scope->isChecked());
    QCOMPARE(scope->text(), QStringLiteral("Only in ENG"));
    QVERIFY(field->hasFocus());
    QCOMPARE(open->hint(), QStringLiteral("Type something and press Return."));

    // Blanks neither enable the button nor search on Return; ticking the box before a search runs none.
    open->type(QStringLiteral("   "));
    QVERIFY(!search->isEnabled());
    QTest::keyClick(field, Qt::Key_Return);
    scope->click();
    scope->click();
    QTest::qWait(100);
    QVERIFY(open->fixture.requestsTo(searchPath).empty());

    open->fixture.site->setLatency(300ms);
    open->type(QStringLiteral("roadmap"));
    QTest::keyClick(field, Qt::Key_Return);
    QTRY_COMPARE(open->hint(), QStringLiteral("Searching\u2026"));
    QVERIFY(!search->isEnabled());
    QVERIFY(open->find<Spinner>("searchButtonSpinner")->isAnimating());
    QVERIFY(search->text().isEmpty());
    QTest::keyClick(field, Qt::Key_Return);  // ignored while one runs
    QTRY_COMPARE(open->rows().size(), 1);
    QCOMPARE(open->count(), QStringLiteral("1 result"));
    QCOMPARE(search->text(), QStringLiteral("Search"));
    QVERIFY(!open->find<Spinner>("searchButtonSpinner")->isAnimating());

    // Unticking after a finished search runs the same query across all spaces: the Ops page appears too.
    open->type(QStringLiteral("  on-call  "));
    QTest::mouseClick(search, Qt::LeftButton);
    QTRY_COMPARE(open->hint(), QStringLiteral("Nothing matched."));
    QCOMPARE(open->count(), QString());
    scope->click();
    QTRY_COMPARE(open->rows().size(), 1);
    QCOMPARE(open->rows()[0]->findChild<ElidedLabel*>(QStringLiteral("titleLabel"))->text(),
             QStringLiteral("On-call rota"));

    const auto requests = open->fixture.requestsTo(searchPath);
    QCOMPARE(requests.size(), 3u);
    QVERIFY(requests[0].find("space = \"ENG\"") != std::string::npos);
    QVERIFY(requests[1].find("text ~ \"on-call\" AND space = \"ENG\"") != std::string::npos);  // trimmed
    QVERIFY(requests[2].find("space = ") == std::string::npos);
}

void SearchViewTest::withoutDefaultSpaceThereIsNoScopeAndKeysWork() {
    auto open = openSearch({{"spaceKey", "  "}});
    QVERIFY(!open->find<QCheckBox>("scopeCheckBox")->isVisible());
    auto* field = open->find<QLineEdit>("queryField");

    // Ctrl+F brings the focus back to the field from anywhere in the window.
    open->find<QAbstractButton>("closeButton")->setFocus();
    QTest::keyClick(open->view.get(), Qt::Key_F, Qt::ControlModifier);
    QVERIFY(field->hasFocus());

    open->type(QStringLiteral("rota"));
    QTest::keyClick(field, Qt::Key_Return);
    QTRY_COMPARE(open->rows().size(), 1);
    QVERIFY(open->fixture.requestsTo(searchPath).at(0).find("space = ") == std::string::npos);

    // A failed search empties the list, shows the store's error and the "Nothing matched." hint.
    open->fixture.site->inject({.kind = fake::Fault::Kind::status, .status = 500, .pathPrefix = searchPath});
    QTest::keyClick(field, Qt::Key_Return);
    QTRY_VERIFY(open->find<QWidget>("errorBanner")->isVisible());
    QCOMPARE(open->rows().size(), 0);
    QCOMPARE(open->hint(), QStringLiteral("Nothing matched."));

    QCOMPARE(open->closes, 0);
    QTest::keyClick(field, Qt::Key_Escape);
    QCOMPARE(open->closes, 1);
}

void SearchViewTest::rowsOfferEditOnlyForPagesWithAnId() {
    auto open = openSearch({{"spaceKey", "ENG"}});
    open->fixture.site->serve(
        searchPath,
        {200,
         json{{"results",
               {hit("Roadmap", {{"id", "98306"}, {"type", "page"}, {"title", "Roadmap for Q3"}}),
                hit("Typed nothing", {{"id", "98307"}}),
                hit("Launch notes", {{"id", "5001"}, {"type", "blogpost"}}),
                hit("Attachment", {{"type", "page"}}),
                json{{"title", nullptr}}}}}
             .dump(),
         "application/json"});
    QSignalSpy edits(open->view.get(), &SearchView::editPageRequested);
    open->type(QStringLiteral("anything"));
    QTest::mouseClick(open->find<QAbstractButton>("searchButton"), Qt::LeftButton);
    QTRY_COMPARE(open->rows().size(), 5);
    QCOMPARE(open->count(), QStringLiteral("5 results"));

    struct Expected {
        const char* title;
        bool editable;
        bool detailed;
    };
    const Expected expected[] = {{"Roadmap for Q3", true, true},
                                 {"Typed nothing", true, true},
                                 {"Launch notes", false, true},
                                 {"Attachment", false, true},
                                 {"(untitled)", false, false}};
    const auto rows = open->rows();
    for (int i = 0; i < 5; ++i) {
        SearchResultRow* row = rows[i];
        QCOMPARE(row->findChild<ElidedLabel*>(QStringLiteral("titleLabel"))->text(), QString::fromLatin1(expected[i].title));
        QCOMPARE(row->findChild<QAbstractButton*>(QStringLiteral("editButton")) != nullptr, expected[i].editable);
        QVERIFY(row->findChild<QAbstractButton*>(QStringLiteral("browserButton")));
        QCOMPARE(row->findChild<QLabel*>(QStringLiteral("spaceBadge")) != nullptr, expected[i].detailed);
        QCOMPARE(row->findChild<QLabel*>(QStringLiteral("dayLabel")) != nullptr, expected[i].detailed);
        QCOMPARE(row->findChild<ElidedLabel*>(QStringLiteral("excerptLabel")) != nullptr, expected[i].detailed);
    }
    QCOMPARE(rows[0]->findChild<ElidedLabel*>(QStringLiteral("excerptLabel"))->text(),
             QStringLiteral("The roadmap covers search"));

    QTest::mouseClick(rows[0]->findChild<QAbstractButton*>(QStringLiteral("editButton")), Qt::LeftButton);
    QCOMPARE(edits.count(), 1);
    const auto page = edits.at(0).at(0).value<Page>();
    QCOMPARE(page.id, std::string("98306"));
    QCOMPARE(page.title, std::optional<std::string>("Roadmap for Q3"));

    QTest::mouseClick(rows[2]->findChild<QAbstractButton*>(QStringLiteral("browserButton")), Qt::LeftButton);
    QCOMPARE(open->fixture.opened.size(), 1u);
    QCOMPARE(open->fixture.opened[0], open->fixture.site->baseURL() + "/wiki/spaces/ENG/pages/1");

    // Every button can be named by a screen reader, and Tab walks the window top to bottom.
    QStringList order{"queryField", "searchButton", "scopeCheckBox", "editButton", "browserButton", "editButton"};
    for (int i = 0; i < 4; ++i) order << "browserButton";
    order << "openLinkButton" << "closeButton";
    QCOMPARE(testing::keyboardWalk(open->find("queryField")), order);

    // "Open a page link…": a link of the site opens its page's editor; one of another site is refused.
    const std::string site = open->fixture.site->baseURL();
    const struct {
        std::optional<QString> pasted;
        const char* openedId;  // empty: no editor opens
        QString error;  // how the banner starts
    } links[] = {
        {std::nullopt, "", {}},  // cancelled
        {QString::fromStdString(site + "/wiki/x/AYAB"), "98305", {}},
        {QStringLiteral(" 98307\t"), "98307", {}},
        {QStringLiteral("https://globex.atlassian.net/wiki/spaces/ENG/pages/98305"), "",
         QStringLiteral("That link points to https://globex.atlassian.net, but")},
    };
    for (const auto& link : links) {
        edits.clear();
        open->pastedLink = link.pasted;
        QTest::mouseClick(open->find<QAbstractButton>("openLinkButton"), Qt::LeftButton);
        QCOMPARE(edits.count(), *link.openedId ? 1 : 0);
        if (*link.openedId) QCOMPARE(edits.at(0).at(0).value<Page>().id, std::string(link.openedId));
        auto* banner = open->find<ErrorBanner>("errorBanner");
        QCOMPARE(banner->isVisible() ? banner->message().left(link.error.size()) : QString(), link.error);
    }
}
