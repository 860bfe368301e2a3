#pragma once

#include <QWidget>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "confluence/Records.h"
#include "state/AppStore.h"
#include "state/EditorMode.h"
#include "storage/BodyFormat.h"
#include "ui/EditorQuestions.h"

class QLabel;
class QLineEdit;
class QRadioButton;

namespace folioport {
class DraftKeeper;
}  // namespace folioport

namespace folioport::ui {

class BodyEditor;
class ChangeNotice;
class PlainButton;
class ProgressButton;
class SiteErrorBanner;
class Spinner;
class SymbolView;

/// The page editor: writes a new page or saves a new version of a loaded one, opens it in the browser
/// or moves it to the trash. What it shows and what saving does depend only on whether a page is
/// loaded, not on the mode it was opened with. Every load and save is a store action; the view shows
/// their state and outcome, and drops an outcome that arrives after it is gone. Main thread only.
class PageEditorView : public QWidget {
    Q_OBJECT

public:
    using Close = std::function<void()>;
    /// Lists the editor's window under `key` (the created page's id) and titles it `title`.
    using Rekey = std::function<void(const std::string& key, const QString& title)>;

    /// Starts at once: an edit editor loads its page, a new-page editor takes the mode's space (or the
    /// store's) and parent, a reopened draft shows its text (see reopen). `onClose` closes the window, which asks
    /// `questions` about unsaved changes. While changes are unsaved, a draft of them is kept on the store's shelf.
    PageEditorView(AppStore& store, EditorMode mode, Close onClose, Rekey rekey,
                   EditorQuestions questions = EditorQuestions::dialogs(), QWidget* parent = nullptr);
    /// A title that is not blank, a space key unless a page is loaded, and no load or save running.
    bool canSave() const;
    /// True when the title differs from what was last loaded or saved, the body was edited since, or a
    /// version note is typed. Reads nothing of the body.
    bool hasChanges() const;
    /// The page as last loaded from the site, without its body (the body editor holds that).
    const std::optional<Page>& page() const { return page_; }

    /// Fetches the page with its body and shows it; on failure shows the error and keeps the form.
    void reload(const std::string& pageId);
    /// Shows `page` as loaded, in storage format; the space, parent and note stay as they are.
    void apply(const Page& page);
    /// Saves a new version of the loaded page, or creates a page in the typed space when none is. When the
    /// site holds a newer version than the one loaded, the typed text stays and a notice offers to reload
    /// that version or to save over it.
    void save();
    /// Moves the loaded page to the trash and closes on success; asks nothing.
    void trash();

Q_SIGNALS:
    /// The expired-token hint's "Open Settings", under a refused login.
    void settingsRequested();

protected:
    /// The title field takes the focus whenever the view is shown.
    void showEvent(QShowEvent* event) override;
    /// Return saves when saving is possible and no control took the key; Escape closes.
    void keyPressEvent(QKeyEvent* event) override;
    /// Asks before dropping unsaved changes; ignoring the event keeps the window open.
    void closeEvent(QCloseEvent* event) override;

private:
    /// What a save sent, against which its success is measured.
    struct Sent {
        QString title;
        bool bodyEdited;  ///< the body had unsaved edits when the save began
    };

    QWidget* buildHeader();
    QWidget* buildForm();
    /// The space key field with its space menu, under its caption.
    QWidget* buildSpaceGroup(QWidget* form);
    /// The format choice, the body editor and its hint, under the caption "Body".
    QWidget* buildBody(QWidget* form);
    QWidget* buildFooter();
    void refresh();
    void saveIfPossible();
    /// Starts a save: clears its former outcome and answers the typed texts as they are to be sent.
    PageDraft beginSave(Sent& sent);
    /// Saves the typed texts as the version after `base`'s (a copy: saving clears the notice that may hold it).
    void saveVersion(Page base);
    /// Ends a save: shows its failure, or takes the sent texts as saved and reloads the page; true on success.
    bool finishSave(const PageWrite& outcome, const Sent& sent);
    /// Loads the newer version the notice names, asking first when typed text would be lost.
    void reloadNewer();
    /// What the draft keeper keeps: the editor's texts while they hold unsaved changes.
    std::optional<EditorDraft> draft() const;
    /// Shows a draft an earlier run left: a new page's as it was; an existing page's over the page as the site
    /// has it now, where a version newer than the one the text was written against shows the change notice.
    void reopen(const EditorDraft& draft);
    void restoreTexts(const EditorDraft& draft);
    void flash(const QString& hint);
    void confirmTrash();

    AppStore& store_;
    Close onClose_;
    Rekey rekey_;
    EditorQuestions questions_;

    std::optional<Page> page_;
    BodyFormat format_ = BodyFormat::text;
    bool loading_ = false;
    bool saving_ = false;
    std::optional<ConfluenceError> error_;
    std::optional<PageChange> newer_;  // the site's newer version that the last save ran into
    std::optional<QString> savedHint_;
    std::uint64_t hintGeneration_ = 0;  // so that an earlier hint's timer leaves a later hint alone
    QString savedTitle_;
    std::optional<BodyFormat> fontFormat_;  // the format whose font the body shows
    DraftKeeper* drafts_;

    SymbolView* newSymbol_;
    SymbolView* editSymbol_;
    QLabel* heading_;
    QLabel* versionCaption_;
    Spinner* loadingSpinner_;
    QWidget* spaceGroup_;
    QLineEdit* spaceField_;
    PlainButton* spaceMenuButton_;
    QWidget* parentGroup_;
    QLineEdit* parentField_;
    QLineEdit* titleField_;
    QLabel* bodyLabel_;
    QWidget* formatPicker_;
    QRadioButton* plainTextChoice_;
    QRadioButton* storageChoice_;
    BodyEditor* bodyEditor_;
    QLabel* bodyHint_;
    QWidget* noteGroup_;
    QLineEdit* noteField_;
    ChangeNotice* changeNotice_;
    SiteErrorBanner* errorBanner_;
    PlainButton* openButton_;
    PlainButton* trashButton_;
    QLabel* savedHintLabel_;
    ProgressButton* saveButton_;
};

}  // namespace folioport::ui
