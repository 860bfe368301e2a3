#include <QAbstractButton>
#include <QApplication>
#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <QClipboard>
#include <QGuiApplication>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <memory>

#include "MovableClock.h"
#include "NamedChild.h"
#include "KeyboardWalk.h"
#include "WindowFixture.h"
#include "ui/ChangeNotice.h"
#include "ui/EditorQuestions.h"
#include "ui/ErrorBanner.h"
#include "ui/ExpiredTokenHint.h"
#include "ui/PageEditorView.h"
#include "ui/Spinner.h"

using namespace std::chrono_literals;
using nlohmann::json;

using namespace folioport;
using namespace folioport::ui;

namespace {

/// A JSON value as text for comparisons: strings as they are, anything else as JSON.
QString text(const json& value) {
    return QString::fromStdString(value.is_string() ? value.get<std::string>() : value.dump());
}

}  // namespace

/// The page editor on a real store against the fake site, one fresh site, store and editor per test;
/// the editor's questions are answered by the test.
class PageEditorViewTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void saveButtonFollowsTitleSpaceAndWork();
    void createdPageTurnsIntoItsEditorThenSavesAVersionAndGoesToTheTrash();
    void versionSavesSendTheLoadedVersionAndFlashTheNextForTwoSeconds();
    void aNewerVersionOnTheSiteIsNamedThenSavedOverOrLoaded();
    void failedLoadLeavesTheNewPageFormWithTheError();
    void aLongOneLineBodyShowsInDisplayLinesAndSavesAsTyped();
    void closingAsksOnlyWhenTitleBodyOrNoteChanged();
    void unsavedTextIsKeptAsADraftUntilSavedOrDiscardedAndReopensAgainstThePageAsItIsNow();
    void questionsAreMessageBoxesWhoseSafeAnswerIsEscape();
    void keyboardReachesEveryControlAndScreenReadersCanNameIt();

private:
    void open(EditorMode mode);
    /// Opens the editor on page `id` and waits until it is loaded.
    void edit(const char* id) {
        open(EditPage{id});
        QTRY_VERIFY(editor->page().has_value());
    }
    template <class T = QWidget>
    T* find(const char* name) const {
        return folioport::testing::namedChild<T>(*editor, name);
    }
    QLineEdit* field(const char* name) const { return find<QLineEdit>(name); }
    QPushButton* saveButton() const { return find<QPushButton>("saveButton"); }
    void click(const char* name) { QTest::mouseClick(find<QAbstractButton>(name), Qt::LeftButton); }
    QString hint() const {
        auto* label = find<QLabel>("savedHintLabel");
        return label->isVisible() ? label->text() : QString();
    }
    QString error() const {
        auto* banner = find<ErrorBanner>("errorBanner");
        return banner->isVisible() ? banner->message() : QString();
    }
    /// Which form shows: the heading, the mode's own controls that are visible, the save button's label.
    QString shape() const {
        QStringList parts{find<QLabel>("headingLabel")->text()};
        for (const char* name : {"spaceField", "formatPicker", "noteField", "trashButton"})
            if (find(name)->isVisible()) parts << QString::fromLatin1(name);
        return (parts << saveButton()->text()).join(QStringLiteral(", "));
    }
    /// Replaces the body as a paste would.
    void typeBody(const QString& text) {
        auto* body = find<QPlainTextEdit>("bodyEditor");
        body->selectAll();
        body->insertPlainText(text);
    }
    /// The site's requests other than the store's refreshes (user, space list, page list), as
    /// "METHOD path" without the query; the refreshes are counted in `refreshes`.
    QStringList editorRequests();
    json lastBody(const std::string& method) const;
    /// The drafts kept on disk now, decoded.
    std::vector<EditorDraft> keptDrafts() const;

    std::unique_ptr<testing::WindowFixture> fixture;
    fake::FakeConfluence* site = nullptr;
    AppStore* store = nullptr;
    std::unique_ptr<PageEditorView> editor;
    int closes = 0;
    int refreshes = 0;
    std::vector<std::pair<std::string, QString>> rekeys;
    bool discardAnswer = false;
    int discardAsked = 0;
    bool trashAnswer = true;
    QStringList trashAskedFor;
};

void PageEditorViewTest::init() {
    fixture = std::make_unique<testing::WindowFixture>();
    QVERIFY(fixture->start({{"spaceKey", "OPS"}}));
    site = fixture->site.get();
    store = fixture->store.get();
    closes = refreshes = discardAsked = 0;
    rekeys.clear();
    trashAskedFor.clear();
    discardAnswer = false;
    trashAnswer = true;
}

void PageEditorViewTest::cleanup() {
    editor.reset();
    fixture.reset();
}

void PageEditorViewTest::open(EditorMode mode) {
    auto discard = [this](QWidget*) {
        ++discardAsked;
        return discardAnswer;
    };
    auto trash = [this](QWidget*, const QString& title) {
        trashAskedFor << title;
        return trashAnswer;
    };
    auto close = [this] {
        ++closes;
        editor->close();
    };
    auto rekey = [this](const std::string& key, const QString& title) { rekeys.emplace_back(key, title); };
    editor = std::make_unique<PageEditorView>(*store, std::move(mode), close, rekey, EditorQuestions{discard, trash});
    editor->show();
    QVERIFY(QTest::qWaitForWindowExposed(editor.get()));
}

QStringList PageEditorViewTest::editorRequests() {
    QStringList seen;
    for (const std::string& line : site->requestLines()) {
        if (line.starts_with("GET /wiki/rest/api/user/current")) ++refreshes;
        else if (!line.starts_with("GET /wiki/api/v2/pages?") && !line.starts_with("GET /wiki/api/v2/spaces?status="))
            seen << QString::fromStdString(line.substr(0, line.find('?')));  // the client's tests hold the queries
    }
    site->clearRequests();
    return seen;
}

json PageEditorViewTest::lastBody(const std::string& method) const {
    const auto requests = site->requests();
    auto last = std::ranges::find(requests.rbegin(), requests.rend(), method, &fake::LoggedRequest::method);
    return last == requests.rend() ? json() : json::parse(last->body);
}

std::vector<EditorDraft> PageEditorViewTest::keptDrafts() const {
    std::vector<EditorDraft> drafts;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(fixture->draftsFolder, error)) {
        if (entry.path().extension() != ".json") continue;  // a write's temporary file
        std::ifstream in(entry.path());
        auto draft = decodeDraft(std::string(std::istreambuf_iterator<char>(in), {}), entry.path().stem().string());
        if (draft) drafts.push_back(std::move(*draft));
    }
    return drafts;
}

void PageEditorViewTest::saveButtonFollowsTitleSpaceAndWork() {
    site->withData([](fake::SiteData& data) { data.spaces[1].name = "R&D Lab"; });
    store->load(false);
    QTRY_COMPARE(store->spaces().size(), 2u);
    open(CreatePage{"", "98305"});
    QCOMPARE(field("spaceField")->text(), QStringLiteral("OPS"));  // the store's space when the mode has none

    struct Row {
        const char* title;
        const char* space;
        bool enabled;
    };
    const Row rows[] = {{"", "OPS", false},         {" \t ", "OPS", false}, {"Plan", "OPS", true},
                        {"Plan", "", false},         {"Plan", " \t", false}, {" Plan ", "eng", true}};
    for (const Row& row : rows) {
        field("titleField")->setText(QString::fromUtf8(row.title));
        field("spaceField")->setText(QString::fromUtf8(row.space));
        QVERIFY2(saveButton()->isEnabled() == row.enabled, row.title);
        QCOMPARE(editor->canSave(), row.enabled);
    }

    // The space menu lists the store's spaces; an entry sets the key.
    auto* menu = find<QAbstractButton>("spaceMenuButton")->findChild<QMenu*>(QStringLiteral("spaceMenu"));
    QTimer::singleShot(0, menu, [menu] {
        QStringList entries;
        for (QAction* action : menu->actions()) entries << action->iconText();
        QCOMPARE(entries, (QStringList{QStringLiteral("ENG · Engineering"), QStringLiteral("OPS · R&D Lab")}));
        menu->actions().constFirst()->trigger();
        menu->close();
    });
    click("spaceMenuButton");
    QTRY_COMPARE(field("spaceField")->text(), QStringLiteral("ENG"));

    // A slow save runs off the event loop: the button stays disabled with its spinner turning until it is done.
    site->setLatency(600ms);
    field("titleField")->setText(QStringLiteral("Slow page"));
    QTest::keyClick(field("titleField"), Qt::Key_Return);
    QTRY_VERIFY(!saveButton()->isEnabled());
    QTRY_VERIFY(find<Spinner>("saveButtonSpinner")->isAnimating());
    QTRY_COMPARE_WITH_TIMEOUT(hint(), QStringLiteral("Created"), 5000);
    QTRY_VERIFY(saveButton()->isEnabled());
    QVERIFY(!find<Spinner>("saveButtonSpinner")->isVisible());
}

void PageEditorViewTest::createdPageTurnsIntoItsEditorThenSavesAVersionAndGoesToTheTrash() {
    open(CreatePage{"ENG", "98305"});
    QCOMPARE(shape(), QStringLiteral("New page, spaceField, formatPicker, Create page"));
    editorRequests();
    field("titleField")->setText(QStringLiteral("  Launch plan\t"));
    typeBody(QStringLiteral("# Plan\n\n- ship it"));
    // The parent may be given as a link: one to another site is refused before any request.
    field("parentField")->setText(QStringLiteral("https://globex.atlassian.net/wiki/x/AYAB"));
    QTest::keyClick(field("titleField"), Qt::Key_Return);
    QTRY_VERIFY(error().startsWith(QStringLiteral("That link points to https://globex.atlassian.net, but")));
    QVERIFY(editorRequests().isEmpty());
    field("parentField")->setText(QString::fromStdString(site->baseURL() + "/wiki/spaces/ENG/pages/98305/Home"));
    QTest::keyClick(field("titleField"), Qt::Key_Return);
    QTRY_COMPARE(hint(), QStringLiteral("Created"));
    const json created = lastBody("POST");
    QCOMPARE(text(created["title"]), QStringLiteral("Launch plan"));
    QCOMPARE(text(created["parentId"]), QStringLiteral("98305"));
    QCOMPARE(text(created["spaceId"]), QStringLiteral("65537"));
    QCOMPARE(text(created["body"]["value"]), QStringLiteral("<h1>Plan</h1><ul><li><p>ship it</p></li></ul>"));

    // Now the created page's editor, listed under its id, showing the body as stored.
    QTRY_VERIFY(editor->page().has_value());
    const std::string id = editor->page()->id;
    QVERIFY(rekeys == (decltype(rekeys){{id, QStringLiteral("Launch plan")}}));
    QCOMPARE(shape(), QStringLiteral("Editing page, noteField, trashButton, Save new version"));
    QCOMPARE(find<QPlainTextEdit>("bodyEditor")->toPlainText(),
             QStringLiteral("<h1>Plan</h1><ul><li><p>ship it</p></li></ul>"));
    QVERIFY(!editor->hasChanges());

    // A second save (Ctrl+S) makes version 2 of the same page, in storage format as typed.
    typeBody(QStringLiteral("<p>Shipped.</p>"));
    field("noteField")->setText(QStringLiteral("after launch"));
    QTest::keyClick(find<QPlainTextEdit>("bodyEditor"), Qt::Key_S, Qt::ControlModifier);
    QTRY_COMPARE(hint(), QStringLiteral("Saved v2"));
    const json updated = lastBody("PUT");
    QCOMPARE(text(updated["version"]["number"]), QStringLiteral("2"));
    QCOMPARE(text(updated["version"]["message"]), QStringLiteral("after launch"));
    QCOMPARE(text(updated["body"]["value"]), QStringLiteral("<p>Shipped.</p>"));
    QTRY_COMPARE(find<QLabel>("versionLabel")->text(), QStringLiteral("v2 · today"));
    QCOMPARE(field("noteField")->text(), QString());
    QCOMPARE(rekeys.size(), 1u);
    click("openInBrowserButton");
    QVERIFY(fixture->opened.size() == 1 && fixture->opened.front().starts_with(site->baseURL() + "/wiki/"));

    // Trash: a "Cancel" sends nothing, a failure keeps the window with the site's reason, a success
    // closes it without asking about what was typed, since the page is gone.
    typeBody(QStringLiteral("<p>typed, then trashed</p>"));
    trashAnswer = false;
    click("trashButton");
    QCOMPARE(trashAskedFor, QStringList{QStringLiteral("Launch plan")});
    trashAnswer = true;
    site->inject({.kind = fake::Fault::Kind::status, .status = 500, .method = "DELETE"});
    click("trashButton");
    QTRY_VERIFY(error().startsWith(QStringLiteral("Confluence returned HTTP 500.")));
    QVERIFY(closes == 0 && editor->isVisible());
    click("trashButton");
    QTRY_COMPARE(closes, 1);
    QCOMPARE(discardAsked, 0);
    QTRY_COMPARE(store->busyPageIds().size(), 0u);
    const QString page = QStringLiteral("/wiki/api/v2/pages/") + QString::fromStdString(id);
    QCOMPARE(editorRequests(), (QStringList{QStringLiteral("GET /wiki/api/v2/spaces"),
                                            QStringLiteral("POST /wiki/api/v2/pages"), QStringLiteral("GET ") + page,
                                            QStringLiteral("PUT ") + page, QStringLiteral("GET ") + page,
                                            QStringLiteral("DELETE ") + page, QStringLiteral("DELETE ") + page}));
    QCOMPARE(refreshes, 3);  // the store's silent reload after each successful write
    QCOMPARE(site->withData([&](fake::SiteData& data) { return data.pageById(id)->status; }), "trashed");
}

void PageEditorViewTest::versionSavesSendTheLoadedVersionAndFlashTheNextForTwoSeconds() {
    // A page loaded at version 7 says "Saved v8"; one without a version counts as 1, "Saved v2".
    const json unversioned = {{"id", "98307"},    {"status", "current"}, {"title", ""}, {"spaceId", "65537"},
                              {"body", {{"storage", {{"value", "<p>x</p>"}, {"representation", "storage"}}}}}};
    struct Row {
        const char* id;
        bool served;
        const char* title;
        const char* hint;
    };
    for (const Row row : {Row{"98306", false, "Roadmap for Q3", "Saved v8"}, Row{"98307", true, "(untitled)", "Saved v2"}}) {
        if (row.served) site->serve("/wiki/api/v2/pages/98307", {200, unversioned.dump(), "application/json"});
        site->setLatency(300ms);
        open(EditPage{row.id});
        QVERIFY(find<Spinner>("loadingSpinner")->isAnimating());
        QVERIFY(!saveButton()->isEnabled());
        site->setLatency(0ms);
        QTRY_VERIFY(editor->page().has_value());
        QVERIFY(!find<Spinner>("loadingSpinner")->isVisible());
        QCOMPARE(field("titleField")->text(), QString::fromUtf8(row.title));
        store->insertBusyPageId("other");
        click("saveButton");
        QCOMPARE(store->busyPageIds(), (std::set<std::string>{"other", row.id}));
        QTRY_COMPARE(hint(), QString::fromUtf8(row.hint));
        QVERIFY(!lastBody("PUT")["version"].contains("message"));
        QCOMPARE(store->busyPageIds(), std::set<std::string>{"other"});
        store->removeBusyPageId("other");
    }

    // Each hint stays its two seconds: the timer of an earlier one leaves a later one alone.
    {
        testing::MovableClock clock(std::chrono::system_clock::now());
        site->stopServing("/wiki/api/v2/pages/98307");
        edit("98306");
        click("saveButton");
        QTRY_COMPARE(hint(), QStringLiteral("Saved v9"));
        QTRY_VERIFY(saveButton()->isEnabled());
        clock.advance(800ms);
        click("saveButton");
        QTRY_COMPARE(hint(), QStringLiteral("Saved v10"));
        clock.advance(1999ms);
        QCOMPARE(hint(), QStringLiteral("Saved v10"));
        clock.advance(1ms);
        QCOMPARE(hint(), QString());
        QTRY_VERIFY(saveButton()->isEnabled());
    }

    // A conflict while the site still holds the version loaded keeps what was typed and shows the site's
    // reason, in the panel too.
    field("titleField")->setText(QStringLiteral("Roadmap, revised"));
    site->inject({.kind = fake::Fault::Kind::status, .status = 409, .method = "PUT"});
    click("saveButton");
    QTRY_VERIFY(error().startsWith(QStringLiteral("Confluence returned HTTP 409.")));
    QVERIFY(store->error() && store->error()->isVersionConflict());
    QCOMPARE(field("titleField")->text(), QStringLiteral("Roadmap, revised"));
    QCOMPARE(hint(), QString());
    QVERIFY(store->busyPageIds().empty());
    QVERIFY(saveButton()->isEnabled());
    QVERIFY(!find("changeNotice")->isVisible());
}

void PageEditorViewTest::aNewerVersionOnTheSiteIsNamedThenSavedOverOrLoaded() {
    edit("98306");
    // Someone saves versions 8 and 9 between the editor's load and its save.
    auto saveElsewhere = [this](std::int64_t version, const char* author, const QDateTime& when) {
        site->withData([&](fake::SiteData& data) {
            data.colleagues = {{.accountId = "70121:jonas", .displayName = "Jonas Berg"}};
            fake::FakePage& page = *data.pageById("98306");
            page.version = version;
            page.authorId = author;
            page.body = "<p>theirs</p>";
            page.modifiedAt = when.toString(Qt::ISODateWithMs).toStdString();
        });
    };
    auto notice = [this] {
        auto* shown = find<ChangeNotice>("changeNotice");
        return shown->isVisible() ? shown->message() : QString();
    };
    saveElsewhere(9, "70121:jonas", QDateTime::currentDateTimeUtc().addDays(-1));
    field("titleField")->setText(QStringLiteral("Roadmap, mine"));
    click("saveButton");
    QTRY_COMPARE(notice(),
                 QStringLiteral("This page changed since you opened it: now v9, saved yesterday by Jonas Berg."));
    QCOMPARE(error(), QString());
    QCOMPARE(field("titleField")->text(), QStringLiteral("Roadmap, mine"));

    // "Reload" asks first, as closing does; "Keep editing" keeps the text and the notice.
    click("reloadButton");
    QCOMPARE(discardAsked, 1);
    QCOMPARE(field("titleField")->text(), QStringLiteral("Roadmap, mine"));
    QVERIFY(!notice().isEmpty());

    // "Save anyway" saves the typed text as the version after the newer one.
    click("saveAnywayButton");
    QTRY_COMPARE(hint(), QStringLiteral("Saved v10"));
    QCOMPARE(text(lastBody("PUT")["title"]), QStringLiteral("Roadmap, mine"));
    QTRY_COMPARE(find<QLabel>("versionLabel")->text(), QStringLiteral("v10 · today"));
    QCOMPARE(notice(), QString());

    // An author the site will not name; "Reload", agreed to, loads the newer version over the typed text.
    saveElsewhere(11, "gone", QDateTime::currentDateTimeUtc());
    typeBody(QStringLiteral("<p>mine again</p>"));
    click("saveButton");
    QTRY_COMPARE(notice(), QStringLiteral("This page changed since you opened it: now v11, saved today by someone."));
    discardAnswer = true;
    click("reloadButton");
    QTRY_COMPARE(find<QPlainTextEdit>("bodyEditor")->toPlainText(), QStringLiteral("<p>theirs</p>"));
    QCOMPARE(find<QLabel>("versionLabel")->text(), QStringLiteral("v11 · today"));
    QCOMPARE(notice(), QString());
    QVERIFY(!editor->hasChanges());
}

void PageEditorViewTest::failedLoadLeavesTheNewPageFormWithTheError() {
    // A refused login, most often an expired token, leads to the token page and Settings, as in the panel.
    site->inject({.kind = fake::Fault::Kind::status, .status = 401, .pathPrefix = "/wiki/api/v2/pages/98306"});
    open(EditPage{"98306"});
    QTRY_VERIFY(error().startsWith(QStringLiteral("Confluence returned HTTP 401.")));
    QVERIFY(find("expiredTokenHint")->isVisible());
    QSignalSpy settings(editor.get(), &PageEditorView::settingsRequested);
    click("expiredTokenLink");
    QCOMPARE(fixture->opened, std::vector<std::string>{tokenPageURL});
    click("expiredTokenSettingsButton");
    QCOMPARE(settings.count(), 1);

    open(EditPage{"99999"});
    QTRY_VERIFY(error().startsWith(QStringLiteral("Confluence returned HTTP 404.")));
    QVERIFY(!find("expiredTokenHint")->isVisible());
    QCOMPARE(shape(), QStringLiteral("New page, spaceField, formatPicker, Create page"));

    field("titleField")->setText(QStringLiteral("Recovered"));
    QVERIFY(!saveButton()->isEnabled());  // no space yet
    field("spaceField")->setText(QStringLiteral("NOPE"));
    click("saveButton");
    QTRY_VERIFY(!error().isEmpty() && !error().contains(QStringLiteral("404")));
    QVERIFY(rekeys.empty());
    field("spaceField")->setText(QStringLiteral("OPS"));
    click("saveButton");
    QTRY_COMPARE(hint(), QStringLiteral("Created"));
    QCOMPARE(error(), QString());
    QCOMPARE(text(lastBody("POST")["spaceId"]), QStringLiteral("65538"));
}

void PageEditorViewTest::aLongOneLineBodyShowsInDisplayLinesAndSavesAsTyped() {
    // One line, as the site keeps storage format, with no-break spaces and a long run of characters beyond
    // 16 bits with no tag or blank to break at.
    QString expected;
    while (expected.size() < 5000) expected += QStringLiteral("<p>Plan\u00a0one for the team</p>");
    expected += QStringLiteral("<p>%1</p>").arg(QStringLiteral("\U0001F680").repeated(1500));
    site->withData([&](fake::SiteData& data) { data.pageById("98306")->body = expected.toStdString(); });
    edit("98306");
    auto* body = find<QPlainTextEdit>("bodyEditor");
    QTextDocument* document = body->document();
    QVERIFY(document->blockCount() >= 5);
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        QVERIFY(block.length() - 1 <= 1000);
        QVERIFY(block.text().isEmpty() || !block.text().front().isLowSurrogate());  // no pair cut in two
    }
    QVERIFY(!editor->hasChanges());

    // Where the document's position `at` is in the body while it has no line break: each display break
    // before it takes a position but is no character.
    auto offset = [&](int at) { return at - document->findBlock(at).blockNumber(); };
    auto place = [&](int at) {
        QTextCursor cursor(document);
        cursor.setPosition(at);
        body->setTextCursor(cursor);
    };
    auto lineStart = [&](int line) { return document->findBlockByNumber(line).position(); };
    body->setFocus();
    place(lineStart(1));
    QTest::keyClick(body, Qt::Key_Backspace);  // joins two display lines: nothing of the body goes
    place(lineStart(2) - 1);
    expected.insert(offset(lineStart(2) - 1), u'X');
    QTest::keyClick(body, 'X');

    // A copy across display lines holds the body's text.
    QTextCursor selection(document);
    selection.setPosition(lineStart(1) - 5);
    selection.setPosition(lineStart(3) + 3, QTextCursor::KeepAnchor);
    body->setTextCursor(selection);
    body->copy();
    const int from = offset(lineStart(1) - 5);
    QCOMPARE(QGuiApplication::clipboard()->text(), expected.sliced(from, offset(lineStart(3) + 3) - from));

    // Return breaks the body's line, also inside a display line; a long pasted line shows in display lines.
    expected.insert(offset(lineStart(2) + 10), u'\n');
    place(lineStart(2) + 10);
    QTest::keyClick(body, Qt::Key_Return);
    const QString pasted(3000, u'y');
    QGuiApplication::clipboard()->setText(pasted);
    place(document->characterCount() - 1);
    body->paste();
    expected += pasted;
    QVERIFY(document->lastBlock().length() - 1 <= 1000);

    QVERIFY(editor->hasChanges());
    click("saveButton");
    QTRY_COMPARE(hint(), QStringLiteral("Saved v8"));
    QCOMPARE(text(lastBody("PUT")["body"]["value"]), expected);
    QVERIFY(!editor->hasChanges());
}

void PageEditorViewTest::closingAsksOnlyWhenTitleBodyOrNoteChanged() {
    struct Row {
        const char* name;
        EditorMode mode;
        std::function<void(PageEditorViewTest&)> edit;
        bool asks;
    };
    const Row rows[] = {
        {"untouched new page", CreatePage{"ENG", {}}, [](auto&) {}, false},
        {"space and format only", CreatePage{"ENG", {}},
         [](PageEditorViewTest& t) {
             t.field("spaceField")->setText(QStringLiteral("OPS"));
             t.find<QAbstractButton>("storageChoice")->click();
         },
         false},
        {"title typed", CreatePage{"ENG", {}}, [](PageEditorViewTest& t) { t.field("titleField")->setText("A"); },
         true},
        {"loaded page untouched", EditPage{"98306"}, [](auto&) {}, false},
        {"body edited", EditPage{"98306"}, [](PageEditorViewTest& t) { t.typeBody(QStringLiteral("<p>new</p>")); },
         true},
        {"note typed", EditPage{"98306"}, [](PageEditorViewTest& t) { t.field("noteField")->setText("why"); }, true},
    };
    for (const Row& row : rows) {
        for (const bool escape : {false, true}) {
            open(row.mode);
            if (std::holds_alternative<EditPage>(row.mode)) QTRY_VERIFY(editor->page().has_value());
            row.edit(*this);
            discardAsked = 0;
            auto close = [&] { escape ? QTest::keyClick(field("titleField"), Qt::Key_Escape) : click("closeButton"); };
            discardAnswer = false;
            close();
            QVERIFY2(discardAsked == (row.asks ? 1 : 0), row.name);
            QVERIFY2(editor->isVisible() == row.asks, row.name);  // "Keep editing" keeps everything
            if (!row.asks) continue;
            discardAnswer = true;
            close();
            QVERIFY2(!editor->isVisible(), row.name);
        }
    }

    // Saved text is nothing to lose.
    edit("98306");
    field("noteField")->setText(QStringLiteral("why"));
    click("saveButton");
    QTRY_COMPARE(hint(), QStringLiteral("Saved v8"));
    discardAsked = 0;
    editor->close();
    QCOMPARE(discardAsked, 0);
}

void PageEditorViewTest::unsavedTextIsKeptAsADraftUntilSavedOrDiscardedAndReopensAgainstThePageAsItIsNow() {
    using std::filesystem::perms;
    auto bodyIs = [](const QString& body) {
        return [body](const std::vector<EditorDraft>& drafts) {
            return drafts.size() == 1 && drafts.front().body == body.toStdString();
        };
    };
    // Typing is kept a moment after it pauses, privately; a save leaves nothing to keep.
    edit("98306");
    typeBody(QStringLiteral("<p>typed</p>"));
    QCOMPARE(keptDrafts().size(), 0u);
    QTRY_VERIFY_WITH_TIMEOUT(bodyIs(QStringLiteral("<p>typed</p>"))(keptDrafts()), 3000);
    const EditorDraft kept = keptDrafts().front();
    QCOMPARE(kept.pageId, std::optional<std::string>("98306"));
    QCOMPARE(kept.baseVersion, 7);
    QCOMPARE(kept.site, store->config().normalizedBaseURL());
    QCOMPARE(std::filesystem::status(fixture->draftsFolder).permissions() & perms::all, perms::owner_all);
    QCOMPARE(std::filesystem::status(fixture->draftsFolder / (kept.id + ".json")).permissions() & perms::all,
             perms::owner_read | perms::owner_write);
    click("saveButton");
    QTRY_COMPARE(hint(), QStringLiteral("Saved v8"));
    QTRY_COMPARE(keptDrafts().size(), 0u);

    // Discarded on closing, it is gone.
    open(CreatePage{"ENG", {}});
    field("titleField")->setText(QStringLiteral("Never mind"));
    QTRY_VERIFY_WITH_TIMEOUT(keptDrafts().size() == 1, 3000);
    discardAnswer = true;
    click("closeButton");
    QTRY_COMPARE(keptDrafts().size(), 0u);

    // Reopened, a draft shows its text over the page as the site has it now: here v8, saved by the user since the
    // draft's v7, which the notice says; saving meets that version as any save would. A new page's draft comes back
    // as the form it was.
    EditorDraft left{.id = "left-behind", .site = store->config().normalizedBaseURL(), .pageId = "98306",
                     .baseVersion = 7, .format = BodyFormat::storage, .title = "Roadmap, mine",
                     .body = "<p>mine</p>", .note = "from before"};
    open(ReopenDraft{left});
    QTRY_COMPARE(find<QPlainTextEdit>("bodyEditor")->toPlainText(), QStringLiteral("<p>mine</p>"));
    QCOMPARE(field("titleField")->text(), QStringLiteral("Roadmap, mine"));
    QCOMPARE(field("noteField")->text(), QStringLiteral("from before"));
    auto* notice = find<ChangeNotice>("changeNotice");
    QTRY_VERIFY(notice->isVisible());
    QCOMPARE(notice->message(), QStringLiteral("This page changed since you opened it: now v8, saved today by you."));
    QTRY_VERIFY_WITH_TIMEOUT(keptDrafts().size() == 1 && keptDrafts().front().id == "left-behind", 3000);
    click("saveButton");
    QTRY_VERIFY(!saveButton()->isEnabled());
    QTRY_VERIFY(saveButton()->isEnabled());
    QCOMPARE(text(lastBody("PUT")["version"]["number"]), QStringLiteral("8"));  // refused: the site holds v8
    QVERIFY(notice->isVisible());

    open(ReopenDraft{{.id = "new-one", .site = left.site, .spaceKey = "OPS", .parentId = "98305",
                      .format = BodyFormat::text, .title = "Ideas", .body = "- one"}});
    QCOMPARE(shape(), QStringLiteral("New page, spaceField, formatPicker, Create page"));
    QCOMPARE(field("spaceField")->text(), QStringLiteral("OPS"));
    QCOMPARE(field("parentField")->text(), QStringLiteral("98305"));
    QCOMPARE(find<QPlainTextEdit>("bodyEditor")->toPlainText(), QStringLiteral("- one"));
    QVERIFY(find<QAbstractButton>("plainTextChoice")->isChecked());
}

void PageEditorViewTest::questionsAreMessageBoxesWhoseSafeAnswerIsEscape() {
    open(CreatePage{"ENG", {}});
    const EditorQuestions dialogs = EditorQuestions::dialogs();
    // Answers the box once it shows: presses `key`, or the go button when `key` is 0.
    auto answer = [this](int key, QStringList* buttons = nullptr, QString* detail = nullptr) {
        QTimer::singleShot(50, editor.get(), [this, key, buttons, detail] {
            auto* box = editor->findChild<QMessageBox*>();
            for (QAbstractButton* button : box->buttons())
                if (buttons) *buttons << button->text();
            if (detail) *detail = box->informativeText();
            if (key) return QTest::keyClick(box, static_cast<Qt::Key>(key));
            box->findChild<QAbstractButton*>(QStringLiteral("goButton"))->click();
        });
    };
    QStringList buttons;
    answer(Qt::Key_Escape, &buttons);
    QVERIFY(!dialogs.discardChanges(editor.get()));
    buttons.sort();  // the style decides their order
    QCOMPARE(buttons, (QStringList{QStringLiteral("Discard"), QStringLiteral("Keep editing")}));
    answer(Qt::Key_Return);  // the default button is the safe one
    QVERIFY(!dialogs.discardChanges(editor.get()));

    buttons.clear();
    QString detail;
    answer(Qt::Key_Escape, &buttons, &detail);
    QVERIFY(!dialogs.moveToTrash(editor.get(), QStringLiteral("Plan")));
    buttons.sort();
    QCOMPARE(buttons, (QStringList{QStringLiteral("Cancel"), QStringLiteral("Move to trash")}));
    QCOMPARE(detail, QStringLiteral("“Plan” goes to the space's trash, where Confluence keeps it until the trash is "
                                    "emptied."));
    answer(0);
    QVERIFY(dialogs.moveToTrash(editor.get(), QStringLiteral("Plan")));
}

void PageEditorViewTest::keyboardReachesEveryControlAndScreenReadersCanNameIt() {
    store->load(false);
    QTRY_COMPARE(store->spaces().size(), 2u);
    struct Row {
        EditorMode mode;
        QStringList order;
    };
    const Row rows[] = {
        {CreatePage{"ENG", {}},
         {"spaceField", "spaceMenuButton", "parentField", "titleField", "plainTextChoice", "bodyEditor", "closeButton"}},
        {EditPage{"98306"},
         {"titleField", "bodyEditor", "noteField", "openInBrowserButton", "trashButton", "closeButton", "saveButton"}},
    };
    for (const Row& row : rows) {
        open(row.mode);
        if (std::holds_alternative<EditPage>(row.mode)) QTRY_VERIFY(editor->page().has_value());
        editor->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(editor.get()));
        QCOMPARE(testing::keyboardWalk(find(qPrintable(row.order.front()))), row.order);
    }
}

QTEST_MAIN(PageEditorViewTest)
#include "PageEditorViewTest.moc"
