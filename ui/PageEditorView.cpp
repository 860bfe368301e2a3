#include "ui/PageEditorView.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QShowEvent>
#include <QShortcut>
#include <QUuid>
#include <QVBoxLayout>

#include <chrono>
#include <expected>

#include "confluence/ConfDate.h"
#include "state/AppStore.h"
#include "state/DraftKeeper.h"
#include "storage/Utf8.h"
#include "ui/BodyEditor.h"
#include "ui/ChangeNotice.h"
#include "ui/Clock.h"
#include "ui/DialogKeys.h"
#include "ui/PlainButton.h"
#include "ui/ProgressButton.h"
#include "ui/SiteErrorBanner.h"
#include "ui/SpaceMenu.h"
#include "ui/Spinner.h"
#include "ui/Style.h"
#include "ui/SymbolView.h"

namespace folioport::ui {

namespace {

constexpr auto hintDuration = std::chrono::seconds(2);
constexpr int bodyMinimumHeight = 220;

std::string trimmedBlanks(const QString& text) {
    return std::string(Utf8::trim(text.toStdString(), Utf8::isSpaceOrTab));
}

std::optional<std::string> nonEmpty(const QString& text) {
    if (text.isEmpty()) return std::nullopt;
    return text.toStdString();
}

/// How long ago the page's current version was saved ("today", "3 days ago"); absent for a date that is
/// absent or unreadable.
std::optional<std::string> versionAge(const Page& page) {
    const auto created = ConfDate::parse(page.version ? page.version->createdAt : std::nullopt);
    if (!created) return std::nullopt;
    return ConfDate::relativeDays(*created, Clock::current().now());
}

/// "vN · <relative day>" of the page's current version; "—" for a date that is absent or unreadable.
QString versionCaption(const Page& page) {
    const QString age = QString::fromStdString(versionAge(page).value_or("—"));
    return QStringLiteral("v%1 · %2").arg(versionOf(page)).arg(age);
}

/// The notice's sentence about the newer version the site holds.
QString changeSentence(const PageChange& change) {
    return PageEditorView::tr("This page changed since you opened it: now v%1, saved %2 by %3.")
        .arg(QString::number(versionOf(change.page)),
             QString::fromStdString(versionAge(change.page).value_or("at an unknown time")),
             // why: the site may keep an author's name to itself (profile visibility) or fail to answer.
             change.byYou ? PageEditorView::tr("you") : QString::fromStdString(change.author.value_or("someone")));
}

/// Storage format in the caption-size monospaced font, plain text in the callout font.
QFont bodyFont(BodyFormat format) {
    if (format == BodyFormat::text) return fontFor(TextStyle::callout);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSizeF(fontFor(TextStyle::caption).pointSizeF());
    return mono;
}

PlainButton* footerLink(const QString& text, Tint tint, const QString& objectName, QWidget* parent) {
    auto* button = new PlainButton(parent);
    button->setObjectName(objectName);
    button->setText(text);
    applyTextStyle(*button, TextStyle::caption, tint);
    return button;
}

}  // namespace

PageEditorView::PageEditorView(AppStore& store, EditorMode mode, Close onClose, Rekey rekey,
                               EditorQuestions questions, QWidget* parent)
    : QWidget(parent),
      store_(store),
      onClose_(std::move(onClose)),
      rekey_(std::move(rekey)),
      questions_(std::move(questions)) {
    setObjectName(QStringLiteral("pageEditor"));
    setMinimumSize(520, 460);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(buildHeader());
    column->addWidget(horizontalDivider(this));
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("formScroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidget(buildForm());
    column->addWidget(scroll, 1);
    column->addWidget(horizontalDivider(this));
    column->addWidget(buildFooter());

    new QShortcut(QKeySequence::Save, this, this, &PageEditorView::saveIfPossible, Qt::WidgetWithChildrenShortcut);
    for (QLineEdit* field : {spaceField_, titleField_})
        connect(field, &QLineEdit::textChanged, this, &PageEditorView::refresh);
    for (auto changed : {&AppStore::spacesChanged, &AppStore::busyPageIdsChanged})
        connect(&store_, changed, this, &PageEditorView::refresh);
    QList<QWidget*> order{spaceField_, spaceMenuButton_, parentField_, titleField_, plainTextChoice_,
                          storageChoice_, bodyEditor_, noteField_};
    order << changeNotice_->focusChain() << errorBanner_->focusChain() << openButton_ << trashButton_;
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);

    const auto* reopened = std::get_if<ReopenDraft>(&mode);
    drafts_ = new DraftKeeper(store_.drafts(),
                              reopened ? reopened->draft.id : QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString(),
                              [this] { return draft(); }, this);
    for (QLineEdit* field : {titleField_, noteField_})
        connect(field, &QLineEdit::textChanged, drafts_, &DraftKeeper::noteChange);
    connect(bodyEditor_, &QPlainTextEdit::textChanged, drafts_, &DraftKeeper::noteChange);

    if (const auto* edit = std::get_if<EditPage>(&mode)) {
        reload(edit->pageId);
    } else if (const auto* create = std::get_if<CreatePage>(&mode)) {
        spaceField_->setText(QString::fromStdString(create->spaceKey.empty() ? store_.settings().spaceKey : create->spaceKey));
        parentField_->setText(QString::fromStdString(create->parentId.value_or("")));
    } else {
        reopen(reopened->draft);
    }
    refresh();
}

QWidget* PageEditorView::buildHeader() {
    auto* header = new QWidget(this);
    header->setObjectName(QStringLiteral("header"));
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(12, 12, 12, 12);
    row->setSpacing(8);
    newSymbol_ = new SymbolView(bundledSymbolIcon(Symbol::plusCircle, Tint::accent), 22, header);
    editSymbol_ = new SymbolView(bundledSymbolIcon(Symbol::pencil, Tint::accent), 22, header);
    row->addWidget(newSymbol_);
    row->addWidget(editSymbol_);
    auto* column = new QVBoxLayout;
    column->setSpacing(1);
    heading_ = new QLabel(header);
    heading_->setObjectName(QStringLiteral("headingLabel"));
    applyTextStyle(*heading_, TextStyle::headline);
    column->addWidget(heading_);
    versionCaption_ = new QLabel(header);
    versionCaption_->setObjectName(QStringLiteral("versionLabel"));
    applyTextStyle(*versionCaption_, TextStyle::caption, Tint::secondary);
    column->addWidget(versionCaption_);
    row->addLayout(column);
    row->addStretch(1);
    loadingSpinner_ = new Spinner(16, header);
    loadingSpinner_->setObjectName(QStringLiteral("loadingSpinner"));
    loadingSpinner_->setAccessibleName(tr("Loading"));
    row->addWidget(loadingSpinner_);
    return header;
}

QWidget* PageEditorView::buildForm() {
    auto* form = new QWidget;
    form->setObjectName(QStringLiteral("form"));
    auto* column = new QVBoxLayout(form);
    column->setContentsMargins(12, 12, 12, 12);
    column->setSpacing(14);

    column->addWidget(buildSpaceGroup(form));

    parentField_ = textField(QStringLiteral("parentField"), tr("Leave empty to create at the top level"), form);
    parentField_->setToolTip(tr("A page id, or a link to the page copied from the browser"));
    parentGroup_ = labelledGroup(tr("Parent page id (optional)"), parentField_, form);
    column->addWidget(parentGroup_);

    titleField_ = textField(QStringLiteral("titleField"), tr("Page title"), form);
    column->addWidget(labelledGroup(tr("Title"), titleField_, form));

    column->addWidget(buildBody(form));

    noteField_ = textField(QStringLiteral("noteField"), tr("What changed?"), form);
    noteGroup_ = labelledGroup(tr("Version note (optional)"), noteField_, form);
    column->addWidget(noteGroup_);

    changeNotice_ = new ChangeNotice(form);
    connect(changeNotice_, &ChangeNotice::reloadRequested, this, &PageEditorView::reloadNewer);
    connect(changeNotice_, &ChangeNotice::saveAnywayRequested, this, [this] {
        if (newer_) saveVersion(newer_->page);
    });
    column->addWidget(changeNotice_);

    errorBanner_ = new SiteErrorBanner(store_, form);
    connect(errorBanner_, &SiteErrorBanner::settingsRequested, this, &PageEditorView::settingsRequested);
    column->addWidget(errorBanner_);
    column->addStretch(1);
    return form;
}

QWidget* PageEditorView::buildSpaceGroup(QWidget* form) {
    auto* spaceRow = new QWidget(form);
    auto* spaceLayout = new QHBoxLayout(spaceRow);
    spaceLayout->setContentsMargins(0, 0, 0, 0);
    spaceLayout->setSpacing(4);
    spaceField_ = textField(QStringLiteral("spaceField"), tr("Space key, e.g. ENG"), spaceRow);
    spaceField_->setInputMethodHints(Qt::ImhNoAutoUppercase | Qt::ImhNoPredictiveText);
    spaceLayout->addWidget(spaceField_, 1);
    spaceMenuButton_ = iconButton(Symbol::grid, tr("Pick a space"), QStringLiteral("spaceMenuButton"), spaceRow);
    auto* spaceMenu = new SpaceMenu(store_, {.accessibleName = tr("Spaces"), .offersAllSpaces = false, .marksListed = false},
                                    spaceMenuButton_);
    connect(spaceMenu, &SpaceMenu::picked, this,
            [this](const std::string& key) { spaceField_->setText(QString::fromStdString(key)); });
    spaceMenuButton_->setMenu(spaceMenu);
    spaceMenuButton_->setPopupMode(QToolButton::InstantPopup);
    spaceLayout->addWidget(spaceMenuButton_);
    QLabel* spaceLabel = nullptr;
    spaceGroup_ = labelledGroup(tr("Space"), spaceRow, form, &spaceLabel);
    spaceLabel->setBuddy(spaceField_);
    spaceField_->setAccessibleName(tr("Space"));
    return spaceGroup_;
}

QWidget* PageEditorView::buildBody(QWidget* form) {
    auto* body = new QWidget(form);
    auto* bodyColumn = new QVBoxLayout(body);
    bodyColumn->setContentsMargins(0, 0, 0, 0);
    bodyColumn->setSpacing(6);
    formatPicker_ = new QWidget(body);
    formatPicker_->setObjectName(QStringLiteral("formatPicker"));
    auto* formats = new QHBoxLayout(formatPicker_);
    formats->setContentsMargins(0, 0, 0, 0);
    formats->setSpacing(12);
    plainTextChoice_ = new QRadioButton(tr("Plain text"), formatPicker_);
    plainTextChoice_->setObjectName(QStringLiteral("plainTextChoice"));
    storageChoice_ = new QRadioButton(tr("Storage (XHTML)"), formatPicker_);
    storageChoice_->setObjectName(QStringLiteral("storageChoice"));
    auto* formatGroup = new QButtonGroup(formatPicker_);
    formatGroup->addButton(plainTextChoice_);
    formatGroup->addButton(storageChoice_);
    formats->addWidget(plainTextChoice_);
    formats->addWidget(storageChoice_);
    formats->addStretch(1);
    connect(plainTextChoice_, &QRadioButton::toggled, this, [this](bool on) {
        format_ = on ? BodyFormat::text : BodyFormat::storage;
        refresh();
    });
    bodyColumn->addWidget(formatPicker_);
    bodyEditor_ = new BodyEditor(body);
    bodyEditor_->setObjectName(QStringLiteral("bodyEditor"));
    bodyEditor_->setMinimumHeight(bodyMinimumHeight);
    bodyEditor_->setTabChangesFocus(true);
    bodyColumn->addWidget(bodyEditor_);
    bodyHint_ = new QLabel(body);
    bodyHint_->setObjectName(QStringLiteral("bodyHintLabel"));
    bodyHint_->setWordWrap(true);
    bodyHint_->setTextFormat(Qt::PlainText);
    applyTextStyle(*bodyHint_, TextStyle::caption2, Tint::secondary);
    bodyColumn->addWidget(bodyHint_);
    return labelledGroup(tr("Body"), body, form, &bodyLabel_);
}

QWidget* PageEditorView::buildFooter() {
    auto* footer = new QWidget(this);
    footer->setObjectName(QStringLiteral("footer"));
    auto* row = new QHBoxLayout(footer);
    row->setContentsMargins(12, 12, 12, 12);
    row->setSpacing(10);
    openButton_ = footerLink(tr("Open in browser"), Tint::accent, QStringLiteral("openInBrowserButton"), footer);
    connect(openButton_, &PlainButton::clicked, this, [this] {
        if (page_) store_.open(store_.webURL(*page_));
    });
    row->addWidget(openButton_);
    trashButton_ = footerLink(tr("Move to trash…"), Tint::red, QStringLiteral("trashButton"), footer);
    connect(trashButton_, &PlainButton::clicked, this, &PageEditorView::confirmTrash);
    row->addWidget(trashButton_);
    savedHintLabel_ = new QLabel(footer);
    savedHintLabel_->setObjectName(QStringLiteral("savedHintLabel"));
    applyTextStyle(*savedHintLabel_, TextStyle::caption, Tint::green);
    row->addWidget(savedHintLabel_);
    row->addStretch(1);

    auto* close = new QPushButton(tr("Close"), footer);
    close->setAutoDefault(false);
    close->setObjectName(QStringLiteral("closeButton"));
    close->setToolTip(tr("Close (Escape)"));
    connect(close, &QPushButton::clicked, this, [this] { onClose_(); });
    row->addWidget(close);
    // why: built with the longer of its two labels, so it keeps that width whichever it shows.
    saveButton_ = new ProgressButton(tr("Save new version"), QStringLiteral("saveButton"), footer);
    saveButton_->setDefault(true);
    saveButton_->setToolTip(tr("Ctrl+S"));
    connect(saveButton_, &QPushButton::clicked, this, &PageEditorView::saveIfPossible);
    row->addWidget(saveButton_);
    return footer;
}

bool PageEditorView::canSave() const {
    return !trimmedBlanks(titleField_->text()).empty() && (page_ || !trimmedBlanks(spaceField_->text()).empty()) &&
           !saving_ && !loading_;
}

bool PageEditorView::hasChanges() const {
    return titleField_->text() != savedTitle_ || bodyEditor_->document()->isModified() || !noteField_->text().isEmpty();
}

void PageEditorView::reload(const std::string& pageId) {
    loading_ = true;
    refresh();
    store_.loadPage(pageId, [self = QPointer(this)](std::expected<Page, ConfluenceError> loaded) {
        if (!self) return;
        if (loaded) {
            self->apply(*loaded);
        } else {
            self->error_ = loaded.error();
        }
        self->loading_ = false;
        self->refresh();
    });
}

void PageEditorView::apply(const Page& page) {
    page_ = page;
    // why: a body can be megabytes; the editor holds it, and saving needs only the page's id and version.
    page_->body.reset();
    titleField_->setText(QString::fromStdString(titleOf(page)));
    bodyEditor_->setBody(QString::fromStdString(storageBodyOf(page)));
    format_ = BodyFormat::storage;
    error_.reset();
    newer_.reset();
    savedTitle_ = titleField_->text();
    refresh();
}

void PageEditorView::saveIfPossible() {
    if (canSave()) save();
}

PageDraft PageEditorView::beginSave(Sent& sent) {
    // why: the body counts as saved from here; edits typed while the save runs count as changes again.
    sent = {titleField_->text(), bodyEditor_->document()->isModified()};
    bodyEditor_->document()->setModified(false);
    saving_ = true;
    error_.reset();
    newer_.reset();
    savedHint_.reset();
    refresh();
    return PageDraft{.title = trimmedBlanks(titleField_->text()),
                     .storageBody = Storage::asStorage(bodyEditor_->body().toStdString(), format_),
                     .versionNote = page_ ? nonEmpty(noteField_->text()) : std::nullopt};
}

void PageEditorView::save() {
    if (page_) return saveVersion(*page_);
    Sent sent;
    PageDraft draft = beginSave(sent);
    store_.createPage(spaceField_->text().toStdString(), nonEmpty(parentField_->text()), draft,
                      [self = QPointer(this), sent, title = draft.title](PageWrite created) {
                          if (!self || !self->finishSave(created, sent)) return;
                          self->rekey_(created->id, QString::fromStdString(title));
                          self->flash(tr("Created"));
                      });
}

void PageEditorView::saveVersion(Page base) {
    Sent sent;
    PageDraft draft = beginSave(sent);
    const std::int64_t version = versionOf(base);
    store_.saveVersion(base, std::move(draft), [self = QPointer(this), sent, version](PageWrite saved) {
        if (!self) return;
        if (!saved && saved.error().newer) {
            self->saving_ = false;
            if (sent.bodyEdited) self->bodyEditor_->document()->setModified(true);
            self->newer_ = std::move(saved.error().newer);
            return self->refresh();
        }
        if (!self->finishSave(saved, sent)) return;
        self->noteField_->clear();
        self->flash(tr("Saved v%1").arg(version + 1));
    });
}

bool PageEditorView::finishSave(const PageWrite& outcome, const Sent& sent) {
    saving_ = false;
    if (!outcome) {
        if (sent.bodyEdited) bodyEditor_->document()->setModified(true);
        error_ = outcome.error().error;
        refresh();
        return false;
    }
    savedTitle_ = sent.title;
    drafts_->keepNow();
    reload(outcome->id);
    return true;
}

std::optional<EditorDraft> PageEditorView::draft() const {
    if (!hasChanges()) return std::nullopt;
    EditorDraft kept;
    kept.site = store_.config().normalizedBaseURL();
    kept.format = format_;
    kept.title = titleField_->text().toStdString();
    kept.body = bodyEditor_->body().toStdString();
    kept.note = noteField_->text().toStdString();
    if (page_) {
        kept.pageId = page_->id;
        kept.baseVersion = versionOf(*page_);
    } else {
        kept.spaceKey = spaceField_->text().toStdString();
        kept.parentId = parentField_->text().toStdString();
    }
    return kept;
}

void PageEditorView::reopen(const EditorDraft& draft) {
    if (!draft.pageId) {
        spaceField_->setText(QString::fromStdString(draft.spaceKey));
        parentField_->setText(QString::fromStdString(draft.parentId));
        return restoreTexts(draft);
    }
    loading_ = true;
    store_.loadPage(*draft.pageId, [self = QPointer(this), draft](std::expected<Page, ConfluenceError> loaded) {
        if (!self) return;
        self->loading_ = false;
        if (!loaded) {
            self->error_ = loaded.error();
            return self->restoreTexts(draft);
        }
        self->apply(*loaded);
        self->restoreTexts(draft);
        if (versionOf(*loaded) <= draft.baseVersion) return;
        // why: the text was written against an older version, so saving it must meet the newer one as any save would.
        self->page_->version.emplace().number = draft.baseVersion;
        self->store_.loadChange(loaded->id, [self](std::optional<PageChange> change) {
            if (!self || !change) return;
            self->newer_ = std::move(change);
            self->refresh();
        });
        self->refresh();
    });
}

void PageEditorView::restoreTexts(const EditorDraft& draft) {
    format_ = draft.format;
    titleField_->setText(QString::fromStdString(draft.title));
    bodyEditor_->setBody(QString::fromStdString(draft.body));
    // why: the draft's text is unsaved, whatever the page holds.
    bodyEditor_->document()->setModified(true);
    if (page_) noteField_->setText(QString::fromStdString(draft.note));
    refresh();
}

void PageEditorView::reloadNewer() {
    if (!page_ || (hasChanges() && !questions_.discardChanges(window()))) return;
    reload(page_->id);
}

void PageEditorView::flash(const QString& hint) {
    savedHint_ = hint;
    const std::uint64_t generation = ++hintGeneration_;
    Clock::current().after(hintDuration, this, [this, generation] {
        if (generation != hintGeneration_) return;
        savedHint_.reset();
        refresh();
    });
    refresh();
}

void PageEditorView::confirmTrash() {
    if (page_ && questions_.moveToTrash(window(), titleField_->text())) trash();
}

void PageEditorView::trash() {
    if (!page_) return;
    store_.trashPage(*page_, [self = QPointer(this)](const PageWrite& trashed) {
        if (!self) return;
        if (trashed) {
            // why: the page is gone, so nothing typed into it is left to keep.
            self->savedTitle_ = self->titleField_->text();
            self->bodyEditor_->document()->setModified(false);
            self->noteField_->clear();
            return self->onClose_();
        }
        self->error_ = trashed.error().error;
        self->refresh();
    });
}

void PageEditorView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // why: focus set while the view was built is lost when the window controller adopts it.
    if (!event->spontaneous()) titleField_->setFocus();
}

void PageEditorView::keyPressEvent(QKeyEvent* event) {
    if (!handleDialogKey(*event, saveButton_, onClose_)) QWidget::keyPressEvent(event);
}

void PageEditorView::closeEvent(QCloseEvent* event) {
    if (hasChanges() && !questions_.discardChanges(window())) return event->ignore();
    event->accept();
    drafts_->discard();
}

void PageEditorView::refresh() {
    const bool loaded = page_.has_value();
    newSymbol_->setVisible(!loaded);
    editSymbol_->setVisible(loaded);
    heading_->setText(loaded ? tr("Editing page") : tr("New page"));
    versionCaption_->setVisible(loaded);
    if (loaded) versionCaption_->setText(versionCaption(*page_));
    loadingSpinner_->setVisible(loading_);
    loadingSpinner_->setSpinning(loading_);

    spaceGroup_->setVisible(!loaded);
    spaceMenuButton_->setVisible(!store_.spaces().empty());
    parentGroup_->setVisible(!loaded);
    bodyLabel_->setText(loaded ? tr("Body — Confluence storage format (XHTML)") : tr("Body"));
    bodyEditor_->setAccessibleName(bodyLabel_->text());
    formatPicker_->setVisible(!loaded);
    const bool storage = format_ == BodyFormat::storage;
    (storage ? storageChoice_ : plainTextChoice_)->setChecked(true);
    // why: a new font lays out the whole body again; only a change of format needs one.
    if (format_ != fontFormat_) {
        fontFormat_ = format_;
        bodyEditor_->setFont(bodyFont(format_));
    }
    bodyHint_->setText(storage ? tr("Confluence storage format is XHTML — “<p>text</p>”, “<h2>…</h2>”, "
                                    "“<ul><li>…</li></ul>”. It is written through exactly as typed.")
                               : tr("Plain text: a blank line starts a new paragraph, lines starting with “- ” "
                                    "become bullets, and leading #'s become headings."));
    noteGroup_->setVisible(loaded);
    changeNotice_->setVisible(newer_.has_value());
    if (newer_) changeNotice_->setMessage(changeSentence(*newer_));
    changeNotice_->setEnabled(!saving_ && !loading_);
    errorBanner_->setError(error_);

    openButton_->setVisible(loaded);
    trashButton_->setVisible(loaded);
    trashButton_->setEnabled(loaded && !store_.busyPageIds().contains(page_->id));
    savedHintLabel_->setVisible(savedHint_.has_value());
    savedHintLabel_->setText(savedHint_.value_or(QString()));
    const QString saveLabel = loaded ? tr("Save new version") : tr("Create page");
    saveButton_->setBusy(saving_);
    if (!saving_) saveButton_->setText(saveLabel);
    saveButton_->setAccessibleName(saveLabel);
    saveButton_->setEnabled(canSave());
}

}  // namespace folioport::ui
