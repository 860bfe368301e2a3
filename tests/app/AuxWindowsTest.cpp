#include <QCloseEvent>
#include <QLabel>
#include <QPointer>
#include <QTest>

#include <gtest/gtest.h>

#include "WindowFixture.h"
#include "app/AuxWindows.h"
#include "app/EditorRequest.h"

namespace folioport {
namespace {

/// An editor's content that refuses to close while `refuse` holds, as one with unsaved text would, and
/// asks for more height than the screen has, as one at a large font does.
class EditorContent : public QLabel {
public:
    explicit EditorContent(const bool& refuse) : QLabel("editor"), refuse_(refuse) { setMinimumSize(520, 900); }

protected:
    void closeEvent(QCloseEvent* event) override { event->setAccepted(!refuse_); }

private:
    const bool& refuse_;
};

/// Window contents that count their builds and keep each window's close and rekey actions.
struct CountingContents {
    WindowContents contents() {
        auto label = [this](QString text) {
            return [this, text](WindowContents::Close close) {
                ++builds;
                lastClose = std::move(close);
                return new QLabel(text);
            };
        };
        return {.settings = label("settings"),
                .search = label("search"),
                .about = label("about"),
                .editor = [this](const EditorMode& mode, WindowContents::Close close, WindowContents::Rekey rekey) {
                    ++builds;
                    modes.push_back(mode);
                    lastClose = std::move(close);
                    lastRekey = std::move(rekey);
                    return new EditorContent(refuseClose);
                }};
    }
    int builds = 0;
    std::vector<EditorMode> modes;
    WindowContents::Close lastClose;
    WindowContents::Rekey lastRekey;
    bool refuseClose = false;
};

class AuxWindowsTest : public ::testing::Test {
protected:
    void SetUp() override {
        panel.setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
        panel.show();
        windows.setPanel(&panel);
    }

    CountingContents built;
    QWidget panel;
    AuxWindows windows{built.contents()};
};

/// The offscreen screen: 800 × 800.
const QRect screenArea(0, 0, 800, 800);

TEST_F(AuxWindowsTest, EachSingleSlotHoldsOneWindowThatIsBroughtBackUntilItCloses) {
    using Show = QWidget* (AuxWindows::*)();
    struct Row {
        Show show;
        const char* name;
        const char* title;
        QSize size;
        bool resizable;
    };
    const Row rows[] = {{&AuxWindows::showSettings, "settingsWindow", "Folioport Settings", {420, 620}, false},
                        {&AuxWindows::showSearch, "searchWindow", "Search Confluence", {560, 560}, true},
                        {&AuxWindows::showAbout, "aboutWindow", "About Folioport", {420, 620}, false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        built.builds = 0;
        panel.show();
        QPointer<QWidget> first = (windows.*row.show)();
        EXPECT_FALSE(panel.isVisible()) << "opening a window closes the panel";
        EXPECT_TRUE(first->isVisible());
        EXPECT_EQ(first->objectName(), row.name);
        EXPECT_EQ(first->windowTitle(), row.title);
        EXPECT_EQ(first->size(), row.size);
        EXPECT_TRUE(screenArea.contains(first->geometry()));
        EXPECT_EQ(first->minimumSize() == first->maximumSize(), !row.resizable);

        panel.show();
        first->showMinimized();
        EXPECT_EQ((windows.*row.show)(), first) << "a second request brings the same window back";
        EXPECT_FALSE(first->isMinimized());
        EXPECT_FALSE(panel.isVisible());
        first->hide();
        EXPECT_EQ((windows.*row.show)(), first);
        EXPECT_TRUE(first->isVisible());
        EXPECT_EQ(built.builds, 1);

        // Closed through its content's close action; the next request, even before the closed window
        // is deleted, builds a fresh one.
        built.lastClose();
        QPointer<QWidget> second = (windows.*row.show)();
        EXPECT_NE(second, first);
        EXPECT_EQ(built.builds, 2);
        EXPECT_TRUE(QTest::qWaitFor([&] { return first.isNull(); }, 2000)) << "a closed window is deleted";
        EXPECT_EQ((windows.*row.show)(), second);
        second->close();
        EXPECT_TRUE(QTest::qWaitFor([&] { return second.isNull(); }, 2000));
        built.lastClose();  // the close action of a deleted window does nothing
    }
}

TEST_F(AuxWindowsTest, EditorsOnePerKeyCascadingFromTheCentreAndRepeatingAfterSix) {
    std::vector<QPointer<QWidget>> opened;
    for (int n = 0; n < 8; ++n) {
        const std::string id = std::to_string(100 + n);
        opened.emplace_back(windows.showEditor({EditPage{id}, id, "Page " + id}));
    }
    // Shifted until the screen's edge, and no taller than the screen whatever the content asks for.
    const QPoint centred = opened[0]->pos();
    EXPECT_EQ(centred, QPoint(90, 80));
    const QPoint expectedShift[] = {{0, 0}, {24, 24}, {48, 48}, {72, 72}, {90, 80}, {90, 80}, {0, 0}, {24, 24}};
    for (int n = 0; n < 8; ++n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(opened[n]->pos() - centred, expectedShift[n]);
        EXPECT_EQ(opened[n]->windowTitle(), QString("Page %1").arg(100 + n));
        EXPECT_EQ(opened[n]->size(), QSize(620, 640));
    }
    EXPECT_EQ(windows.showEditor({EditPage{"103"}, "103", "Page 103"}), opened[3]);
    EXPECT_EQ(built.builds, 8);

    // Closing two leaves six open: the next editor takes the shift of n = 6 again.
    opened[1]->close();
    opened[2]->close();
    QPointer<QWidget> next = windows.showEditor({EditPage{"200"}, "200", "Page 200"});
    EXPECT_EQ(next->pos() - centred, QPoint(0, 0));
    QPointer<QWidget> reopened = windows.showEditor({EditPage{"101"}, "101", "Page 101"});
    EXPECT_NE(reopened, opened[1]);
    EXPECT_EQ(reopened->pos() - centred, QPoint(24, 24));

    // The one "new" editor is brought forward with the mode it was opened with.
    QWidget* fresh = windows.showEditor({CreatePage{"ENG", std::nullopt}, newPageKey, "New Confluence Page"});
    EXPECT_EQ(windows.showEditor({CreatePage{"OPS", "98305"}, newPageKey, "New Confluence Page"}), fresh);
    EXPECT_EQ(built.modes.back(), EditorMode(CreatePage{"ENG", std::nullopt}));
}

TEST_F(AuxWindowsTest, ACreatedPagesEditorMovesToThePageIdAndMayRefuseToClose) {
    QPointer<QWidget> created =
        windows.showEditor({CreatePage{"ENG", std::nullopt}, newPageKey, "New Confluence Page"});
    WindowContents::Rekey rekeyCreated = built.lastRekey;
    QPointer<QWidget> other = windows.showEditor({EditPage{"98305"}, "98305", "Engineering Home"});

    // Listed under the new id and retitled: a request for that page brings it back, "new" is free again.
    rekeyCreated("98400", "Launch plan");
    EXPECT_EQ(created->windowTitle(), "Launch plan");
    EXPECT_EQ(windows.showEditor({EditPage{"98400"}, "98400", "Launch plan"}), created);
    QPointer<QWidget> second = windows.showEditor({CreatePage{"ENG", std::nullopt}, newPageKey, "New Confluence Page"});
    EXPECT_NE(second, created);
    EXPECT_EQ(built.builds, 3);
    // A key held by another editor stays with that editor.
    rekeyCreated("98305", "Engineering Home");
    EXPECT_EQ(windows.showEditor({EditPage{"98305"}, "98305", "Engineering Home"}), other);
    EXPECT_EQ(windows.showEditor({EditPage{"98400"}, "98400", "Launch plan"}), created);

    // A refused close keeps the window open and listed, and stops closing them all.
    built.refuseClose = true;
    EXPECT_FALSE(created->close());
    EXPECT_TRUE(created->isVisible());
    EXPECT_EQ(windows.showEditor({EditPage{"98400"}, "98400", "Launch plan"}), created);
    QPointer<QWidget> settings = windows.showSettings();
    EXPECT_FALSE(windows.closeAll());
    EXPECT_TRUE(settings->isVisible()) << "nothing after the refusing editor closes";
    built.refuseClose = false;
    EXPECT_TRUE(windows.closeAll());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !created && !other && !second && !settings; }, 2000));
    rekeyCreated("98401", "Gone");  // the rekey action of a deleted window does nothing
    EXPECT_EQ(built.builds, 4);
}

TEST(EditorRequests, NewChildPagesGoToTheParentsSpaceWhenTheLoadedSpacesKnowIt) {
    testing::WindowFixture fixture;
    ASSERT_TRUE(fixture.start({{"spaceKey", "ops"}}));
    AppStore& store = *fixture.store;
    bool loaded = false;
    store.load(false, [&] { loaded = true; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return loaded; }, 5000));
    ASSERT_EQ(store.spaces().size(), 2u);

    Page page{.id = "98306", .title = "Roadmap for Q3", .spaceId = "65537"};
    EXPECT_EQ(newChildPageRequest(store, page),
              (EditorRequest{CreatePage{"ENG", "98306"}, "new", "New Confluence Page"}));
    page.spaceId = "999";  // a space the load did not see
    EXPECT_EQ(newChildPageRequest(store, page).mode, EditorMode(CreatePage{"ops", "98306"}));
    page.spaceId.reset();
    EXPECT_EQ(newChildPageRequest(store, page).mode, EditorMode(CreatePage{"ops", "98306"}));
    EXPECT_EQ(newPageRequest(store), (EditorRequest{CreatePage{"ops", std::nullopt}, "new", "New Confluence Page"}));

    EXPECT_EQ(editPageRequest(page), (EditorRequest{EditPage{"98306"}, "98306", "Roadmap for Q3"}));
    page.title = "";
    EXPECT_EQ(editPageRequest(page).title, "(untitled)");
    page.title.reset();
    EXPECT_EQ(editPageRequest(page).title, "(untitled)");
}

}  // namespace
}  // namespace folioport
