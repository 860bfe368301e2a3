#include "ui/SettingsView.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <utility>

#include "state/AppStore.h"
#include "storage/Utf8.h"
#include "ui/DialogKeys.h"
#include "ui/ElidedLabel.h"
#include "ui/ErrorBanner.h"
#include "ui/ExpiredTokenHint.h"
#include "ui/McpSetupSection.h"
#include "ui/PlainButton.h"
#include "ui/ProgressButton.h"
#include "ui/SpaceMenu.h"
#include "ui/Style.h"
#include "updater/Updater.h"

namespace folioport::ui {
namespace {

constexpr const char* teamIdentifier = "Q7R2K9M4ZX";

constexpr std::array<std::pair<std::int64_t, const char*>, 4> pageLimitChoices{
    {{25, "25"}, {50, "50"}, {100, "100"}, {200, "200"}}};
constexpr std::array<std::pair<std::int64_t, const char*>, 6> refreshChoices{{{0, "Off"},
                                                                               {5, "Every 5 min"},
                                                                               {10, "Every 10 min"},
                                                                               {15, "Every 15 min"},
                                                                               {30, "Every 30 min"},
                                                                               {60, "Every hour"}}};

QLabel* styledLabel(const QString& text, TextStyle style, Tint tint, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    applyTextStyle(*label, style, tint);
    return label;
}


/// A picker whose entries carry their values; `select` shows `value`, or nothing when it is no choice.
template <std::size_t N>
QComboBox* picker(const std::array<std::pair<std::int64_t, const char*>, N>& choices, const QString& objectName,
                  const QString& accessibleName, QWidget* parent) {
    auto* box = new QComboBox(parent);
    box->setObjectName(objectName);
    box->setAccessibleName(accessibleName);
    box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    for (const auto& [value, text] : choices) box->addItem(QCoreApplication::translate("SettingsView", text), QVariant::fromValue(value));
    return box;
}

void select(QComboBox& box, std::int64_t value) { box.setCurrentIndex(box.findData(QVariant::fromValue(value))); }

QHBoxLayout* labelledRow(const QString& text, QWidget* control, QWidget* parent) {
    auto* row = new QHBoxLayout;
    auto* label = new QLabel(text, parent);
    label->setBuddy(control);
    row->addWidget(label);
    row->addStretch(1);
    row->addWidget(control);
    return row;
}

}  // namespace

SettingsView::SettingsView(AppStore& store, Updater& updater, std::function<void()> onClose,
                           const McpServerInfo& mcpServer, QWidget* parent)
    : QWidget(parent), store_(store), updater_(updater), onClose_(std::move(onClose)) {
    setObjectName(QStringLiteral("settingsView"));
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);
    stack->addWidget(buildHeader());
    stack->addWidget(horizontalDivider(this));

    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("settingsArea"));
    scroll->setFrameShape(QFrame::NoFrame);
    // why: Tab moves through the controls inside, and the area scrolls to the focused one.
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    content_ = new QWidget(scroll);
    auto* column = new QVBoxLayout(content_);
    column->setContentsMargins(12, 12, 12, 12);
    column->setSpacing(14);
    column->addWidget(buildConnection(content_));
    column->addWidget(horizontalDivider(content_));
    column->addWidget(buildSpaceAndList(content_));
    column->addWidget(horizontalDivider(content_));
    column->addWidget(buildTestRow(content_));
    column->addWidget(horizontalDivider(content_));
    column->addWidget(buildUpdates(content_));
    column->addWidget(horizontalDivider(content_));
    mcp_ = new McpSetupSection(mcpServer, content_);
    column->addWidget(mcp_);
    column->addStretch(1);
    scroll->setWidget(content_);
    stack->addWidget(scroll, 1);

    // Before loadCurrent, the fields hold the defaults of a fresh installation.
    feedURL_->setText(qs(edited_.updateFeedURL));
    select(*pageLimitPicker_, edited_.pageLimit);
    select(*refreshPicker_, edited_.refreshMinutes);
    autoUpdate_->setChecked(edited_.autoUpdate);

    for (auto changed : {&Updater::availableChanged, &Updater::isCheckingChanged, &Updater::statusChanged,
                         &Updater::errorMessageChanged})
        connect(&updater_, changed, this, &SettingsView::refreshUpdates);
    connect(&store_, &AppStore::spacesChanged, this, &SettingsView::showSpaceMenuButton);
    connect(&store_, &AppStore::settingsChanged, this, &SettingsView::loadCurrentOnceRead);
    connect(&store_, &AppStore::settingsChanged, this, &SettingsView::refreshRoute);
    showSpaceMenuButton();
    refreshRoute();
    refreshTestRow();
    refreshUpdates();
    refreshSaving();
}

QWidget* SettingsView::buildHeader() {
    auto* header = new QWidget(this);
    auto* column = new QVBoxLayout(header);
    column->setContentsMargins(12, 12, 12, 12);
    column->setSpacing(8);
    auto* row = new QHBoxLayout;
    row->addWidget(styledLabel(tr("Settings"), TextStyle::headline, Tint::primary, header));
    row->addStretch(1);
    cancelButton_ = new QPushButton(tr("Cancel"), header);
    cancelButton_->setObjectName(QStringLiteral("cancelButton"));
    cancelButton_->setAutoDefault(true);
    connect(cancelButton_, &QAbstractButton::clicked, this, [this] { onClose_(); });
    row->addWidget(cancelButton_);
    doneButton_ = new ProgressButton(tr("Done"), QStringLiteral("doneButton"), header);
    doneButton_->setDefault(true);
    connect(doneButton_, &QAbstractButton::clicked, this, &SettingsView::save);
    row->addWidget(doneButton_);
    column->addLayout(row);
    saveError_ = new ErrorBanner(header);
    saveError_->setObjectName(QStringLiteral("saveErrorBanner"));
    saveError_->hide();
    column->addWidget(saveError_);
    return header;
}

QWidget* SettingsView::buildConnection(QWidget* parent) {
    auto* group = new QWidget(parent);
    auto* column = new QVBoxLayout(group);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(10);
    baseURL_ = textField(QStringLiteral("baseURLField"), QStringLiteral("https://your-site.atlassian.net"), group);
    column->addWidget(labelledGroup(tr("Confluence site URL"), baseURL_, group));
    email_ = textField(QStringLiteral("emailField"), QStringLiteral("you@example.com"), group);
    column->addWidget(labelledGroup(tr("Email"), email_, group));
    apiToken_ = textField(QStringLiteral("apiTokenField"), tr("Paste your Atlassian API token"), group);
    column->addWidget(labelledGroup(tr("API token"), apiToken_, group));
    apiToken_->setEchoMode(QLineEdit::Password);
    keyringNote_ = styledLabel(QString(), TextStyle::caption2, Tint::orange, group);
    keyringNote_->setObjectName(QStringLiteral("keyringNoteLabel"));
    keyringNote_->hide();
    column->addWidget(keyringNote_);
    for (QLineEdit* field : {baseURL_, email_, apiToken_})
        connect(field, &QLineEdit::textChanged, this, &SettingsView::refreshTestRow);
    connect(apiToken_, &QLineEdit::textChanged, this, &SettingsView::refreshKeyringNote);

    tokenLink_ = tokenPageLink(QStringLiteral("tokenLink"), group);
    // why: through the store's URL opener, like every other address the application opens.
    connect(tokenLink_, &QAbstractButton::clicked, this, [this] { store_.open(tokenPageURL); });
    column->addWidget(tokenLink_, 0, Qt::AlignLeft);
    return group;
}

QWidget* SettingsView::buildSpaceAndList(QWidget* parent) {
    auto* group = new QWidget(parent);
    auto* column = new QVBoxLayout(group);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(10);

    auto* spaceGroup = new QVBoxLayout;
    spaceGroup->setSpacing(3);
    auto* caption = styledLabel(tr("Default space key"), TextStyle::caption, Tint::secondary, group);
    spaceGroup->addWidget(caption);
    auto* fieldRow = new QHBoxLayout;
    fieldRow->setSpacing(4);
    spaceKey_ = new QLineEdit(group);
    spaceKey_->setObjectName(QStringLiteral("spaceKeyField"));
    spaceKey_->setPlaceholderText(tr("Leave empty for all spaces"));
    spaceKey_->setAccessibleName(tr("Default space key"));
    caption->setBuddy(spaceKey_);
    fieldRow->addWidget(spaceKey_, 1);
    spaceMenuButton_ = iconButton(Symbol::grid, tr("Choose a space"), QStringLiteral("spaceMenuButton"), group);
    spaceMenuButton_->setPopupMode(QToolButton::InstantPopup);
    auto* menu = new SpaceMenu(
        store_, {.accessibleName = tr("Default space"), .offersAllSpaces = true, .marksListed = false}, spaceMenuButton_);
    connect(menu, &SpaceMenu::picked, this, [this](const std::string& key) { spaceKey_->setText(qs(key)); });
    spaceMenuButton_->setMenu(menu);
    fieldRow->addWidget(spaceMenuButton_);
    spaceGroup->addLayout(fieldRow);
    spaceGroup->addWidget(styledLabel(tr("The space the list shows and new pages are created in. It can also be "
                                         "switched from the tray panel."),
                                      TextStyle::caption2, Tint::secondary, group));
    column->addLayout(spaceGroup);

    pageLimitPicker_ = picker(pageLimitChoices, QStringLiteral("pageLimitPicker"), tr("Pages to list"), group);
    connect(pageLimitPicker_, &QComboBox::activated, this,
            [this](int index) { edited_.pageLimit = pageLimitPicker_->itemData(index).toLongLong(); });
    column->addLayout(labelledRow(tr("Pages to list"), pageLimitPicker_, group));
    refreshPicker_ = picker(refreshChoices, QStringLiteral("refreshPicker"), tr("Auto-refresh"), group);
    connect(refreshPicker_, &QComboBox::activated, this,
            [this](int index) { edited_.refreshMinutes = refreshPicker_->itemData(index).toLongLong(); });
    column->addLayout(labelledRow(tr("Auto-refresh"), refreshPicker_, group));
    // why: the two pickers line up as one column.
    const int pickerWidth = std::max(pageLimitPicker_->sizeHint().width(), refreshPicker_->sizeHint().width());
    pageLimitPicker_->setFixedWidth(pickerWidth);
    refreshPicker_->setFixedWidth(pickerWidth);

    launchAtLogin_ = new QCheckBox(tr("Launch at login"), group);
    launchAtLogin_->setObjectName(QStringLiteral("launchAtLoginSwitch"));
    connect(launchAtLogin_, &QCheckBox::clicked, this, &SettingsView::setLaunchAtLogin);
    column->addWidget(launchAtLogin_);
    return group;
}

void SettingsView::showSpaceMenuButton() { spaceMenuButton_->setVisible(!store_.spaces().empty()); }

QWidget* SettingsView::buildTestRow(QWidget* parent) {
    auto* group = new QWidget(parent);
    auto* row = new QHBoxLayout(group);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(10);
    testButton_ = new ProgressButton(tr("Test connection"), QStringLiteral("testButton"), group);
    connect(testButton_, &QAbstractButton::clicked, this, &SettingsView::runTest);
    row->addWidget(testButton_, 0, Qt::AlignLeft | Qt::AlignTop);
    auto* result = new QVBoxLayout;
    result->setSpacing(4);
    routeLabel_ = styledLabel(QString(), TextStyle::caption2, Tint::secondary, group);
    routeLabel_->setObjectName(QStringLiteral("routeLabel"));
    routeLabel_->setTextFormat(Qt::PlainText);
    routeLabel_->setWordWrap(true);
    result->addWidget(routeLabel_);
    testResultLabel_ = new ElidedLabel(3, group);
    testResultLabel_->setObjectName(QStringLiteral("testResultLabel"));
    result->addWidget(testResultLabel_);
    testHint_ = new ExpiredTokenHint(false, group);
    connect(testHint_, &ExpiredTokenHint::tokenPageRequested, this, [this] { store_.open(tokenPageURL); });
    result->addWidget(testHint_);
    row->addLayout(result, 1);
    return group;
}

QWidget* SettingsView::buildUpdates(QWidget* parent) {
    auto* section = new QWidget(parent);
    auto* group = section;
    auto* column = new QVBoxLayout(group);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);
    column->addWidget(styledLabel(tr("Updates"), TextStyle::caption, Tint::secondary, group));
    // why: a copy that must not replace itself says where its updates come from instead of offering checks;
    // the controls still exist (hidden), so its stored choices are kept as they are.
    if (updater_.updatesThroughPackageManager()) {
        auto* managed = styledLabel(tr(Updater::packageManagerSentence), TextStyle::callout, Tint::primary, section);
        managed->setObjectName(QStringLiteral("packageManagerLabel"));
        column->addWidget(managed);
        group = new QWidget(section);
        group->hide();
        column = new QVBoxLayout(group);
    }
    autoUpdate_ = new QCheckBox(tr("Check for updates automatically"), group);
    autoUpdate_->setObjectName(QStringLiteral("autoUpdateCheckBox"));
    column->addWidget(autoUpdate_);
    feedURL_ = textField(QStringLiteral("feedURLField"), qs(StoredSettings{}.updateFeedURL), group);
    column->addWidget(labelledGroup(tr("Feed URL"), feedURL_, group));

    auto* row = new QHBoxLayout;
    row->setSpacing(10);
    checkButton_ = new QPushButton(tr("Check now"), group);
    checkButton_->setObjectName(QStringLiteral("checkNowButton"));
    checkButton_->setAutoDefault(true);
    // why: "Checking…" must not make the button jump.
    checkButton_->setMinimumWidth(checkButton_->sizeHint().width() +
                                  checkButton_->fontMetrics().horizontalAdvance(tr("Checking\u2026")) -
                                  checkButton_->fontMetrics().horizontalAdvance(tr("Check now")));
    connect(checkButton_, &QAbstractButton::clicked, this,
            [this] { updater_.check(feedURL_->text().toStdString(), true); });
    row->addWidget(checkButton_, 0, Qt::AlignLeft);
    updateStatus_ = new QLabel(group);
    updateStatus_->setObjectName(QStringLiteral("updateStatusLabel"));
    updateStatus_->setTextFormat(Qt::PlainText);
    updateStatus_->setWordWrap(true);
    row->addWidget(updateStatus_, 1);
    column->addLayout(row);
    updateError_ = styledLabel(QString(), TextStyle::caption2, Tint::red, group);
    updateError_->setObjectName(QStringLiteral("updateErrorLabel"));
    updateError_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    column->addWidget(updateError_);
    column->addWidget(styledLabel(tr("Downloads are only installed if their checksum matches the feed and the bundle "
                                     "is signed by team %1.")
                                      .arg(QLatin1String(teamIdentifier)),
                                  TextStyle::caption2, Tint::secondary, group));
    return section;
}

void SettingsView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    shown_ = true;
    loadCurrentOnceRead();
}

void SettingsView::loadCurrentOnceRead() {
    if (didLoad_) return followStore();
    if (!shown_ || store_.isReadingSettings()) return;
    didLoad_ = true;
    loadCurrent();
    refreshSaving();
    baseURL_->setFocus(Qt::OtherFocusReason);
}

void SettingsView::closeEvent(QCloseEvent* event) {
    if (saving_) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void SettingsView::keyPressEvent(QKeyEvent* event) {
    const auto cancel = [this] {
        if (!saving_) onClose_();
    };
    if (!handleDialogKey(*event, doneButton_, cancel)) QWidget::keyPressEvent(event);
}

void SettingsView::loadCurrent() {
    loaded_ = store_.settings();
    edited_ = loaded_;
    baseURL_->setText(qs(edited_.baseURL));
    email_->setText(qs(edited_.email));
    apiToken_->setText(qs(edited_.apiToken));
    spaceKey_->setText(qs(edited_.spaceKey));
    select(*pageLimitPicker_, edited_.pageLimit);
    select(*refreshPicker_, edited_.refreshMinutes);
    autoUpdate_->setChecked(edited_.autoUpdate);
    feedURL_->setText(qs(edited_.updateFeedURL));
    launchAtLogin_->setChecked(store_.launchesAtLogin());
    mcp_->setAssistantsReadOnly(edited_.assistantsReadOnly);
    refreshKeyringNote();
}

void SettingsView::followStore() {
    const StoredSettings& now = store_.settings();
    // why: "Done" stores every control, so one still showing an older value would write it back over a
    // change made meanwhile outside the window.
    const auto follow = [](QLineEdit* field, const std::string& was, const std::string& stored) {
        if (field->text().toStdString() == was) field->setText(qs(stored));
    };
    follow(baseURL_, loaded_.baseURL, now.baseURL);
    follow(email_, loaded_.email, now.email);
    follow(apiToken_, loaded_.apiToken, now.apiToken);
    follow(spaceKey_, loaded_.spaceKey, now.spaceKey);
    follow(feedURL_, loaded_.updateFeedURL, now.updateFeedURL);
    if (edited_.pageLimit == loaded_.pageLimit) select(*pageLimitPicker_, edited_.pageLimit = now.pageLimit);
    if (edited_.refreshMinutes == loaded_.refreshMinutes)
        select(*refreshPicker_, edited_.refreshMinutes = now.refreshMinutes);
    if (autoUpdate_->isChecked() == loaded_.autoUpdate) autoUpdate_->setChecked(now.autoUpdate);
    if (mcp_->assistantsReadOnly() == loaded_.assistantsReadOnly) mcp_->setAssistantsReadOnly(now.assistantsReadOnly);
    if (edited_.gatewayBaseURL == loaded_.gatewayBaseURL) edited_.gatewayBaseURL = now.gatewayBaseURL;
    loaded_ = now;
    refreshKeyringNote();
}

void SettingsView::refreshKeyringNote() {
    const auto& problem = store_.keyringProblem();
    keyringNote_->setVisible(problem.has_value() && apiToken_->text().isEmpty());
    if (problem)
        keyringNote_->setText(tr("The stored token is not shown because %1. It stays as it is unless you type a "
                                 "new one.")
                                  .arg(QString::fromUtf8(StoredSettings::describe(*problem))));
}

StoredSettings SettingsView::draft() const {
    StoredSettings draft = edited_;
    draft.baseURL = baseURL_->text().toStdString();
    draft.email = email_->text().toStdString();
    draft.apiToken = apiToken_->text().toStdString();
    // why: only spaces and tabs count as blanks in a space key; QString::trimmed would also take line breaks.
    draft.spaceKey = std::string(Utf8::trim(spaceKey_->text().toStdString(), Utf8::isSpaceOrTab));
    draft.autoUpdate = autoUpdate_->isChecked();
    draft.updateFeedURL = feedURL_->text().toStdString();
    draft.gatewayBaseURL = routeToStore(draft.config(), loaded_.config(), tested_,
                                        testResult_ ? testResult_->gatewayBaseURL : std::nullopt);
    draft.assistantsReadOnly = mcp_->assistantsReadOnly();
    return draft;
}

void SettingsView::save() {
    if (saving_ || !didLoad_) return;
    saving_ = true;
    saveError_->hide();
    refreshSaving();
    const StoredSettings typed = draft();
    // why: a token this window did not change is left to the keyring, also when the window never got to
    // read it; writing the empty field back would delete a token the site cannot show again.
    const auto token = typed.apiToken == loaded_.apiToken ? StoredSettings::TokenWrite::keepStored
                                                          : StoredSettings::TokenWrite::write;
    store_.saveSettings(
        typed,
        [self = QPointer(this), typed](const StoredSettings::SaveOutcome& outcome) {
            if (self) self->finishSave(typed, outcome);
        },
        token);
}

void SettingsView::finishSave(const StoredSettings& saved, const StoredSettings::SaveOutcome& outcome) {
    saving_ = false;
    refreshSaving();
    if (!outcome.tokenStored) {
        saveError_->setMessage(tr("The desktop keyring did not store the API token (it may be locked or missing), "
                                  "so the settings are not saved; unlock it and press Done again."));
        saveError_->show();
        return;
    }
    if (outcome.preferencesError) {
        saveError_->setMessage(tr("The settings could not be written, so they are not saved (%1). Make room or "
                                  "fix the folder, then press Done again.")
                                   .arg(qs(*outcome.preferencesError)));
        saveError_->show();
        return;
    }
    updater_.start(saved.updateFeedURL, saved.autoUpdate);
    AppStore& store = store_;
    onClose_();
    store.loadDecidingRoute();
}

void SettingsView::runTest() {
    if (testing_) return;
    testing_ = true;
    testResult_.reset();
    const bool hadFocus = testButton_->hasFocus();
    refreshTestRow();
    // why: disabling the button hands its focus to the next control, where a second Space would toggle
    // the update checkbox; it comes back when the test ends, unless the user has moved on meanwhile.
    const QPointer<QWidget> focusWhileTesting = hadFocus ? focusWidget() : nullptr;
    const ConfluenceConfig typed{.baseURL = baseURL_->text().toStdString(),
                                 .email = email_->text().toStdString(),
                                 .apiToken = apiToken_->text().toStdString(),
                                 .gatewayBaseURL = {}};
    store_.testConnection(typed, [self = QPointer(this), typed, focusWhileTesting](ConnectionCheck check) {
        if (!self) return;
        self->testing_ = false;
        self->testResult_ = std::move(check);
        self->tested_ = typed;
        self->refreshTestRow();
        if (focusWhileTesting && self->focusWidget() == focusWhileTesting) self->testButton_->setFocus();
    });
}

void SettingsView::setLaunchAtLogin(bool enabled) {
    if (!store_.setLaunchAtLogin(enabled)) launchAtLogin_->setChecked(store_.launchesAtLogin());
}

void SettingsView::refreshTestRow() {
    const bool complete = !baseURL_->text().isEmpty() && !email_->text().isEmpty() && !apiToken_->text().isEmpty();
    testButton_->setEnabled(complete && !testing_);
    testButton_->setBusy(testing_);
    testResultLabel_->setVisible(testResult_.has_value());
    testHint_->setVisible(testResult_ && testResult_->outcome == ConnectionCheck::Outcome::refused);
    if (testResult_) {
        applyTextStyle(*testResultLabel_, TextStyle::caption, testResult_->connected() ? Tint::green : Tint::orange);
        testResultLabel_->setText(qs(testResult_->sentence));
    }
}

void SettingsView::refreshRoute() {
    const std::string& gateway = store_.settings().gatewayBaseURL;
    routeLabel_->setText(gateway.empty() ? tr("Requests go to the site itself.")
                                         : tr("Requests go through the API gateway (scoped token): %1").arg(qs(gateway)));
}

void SettingsView::refreshUpdates() {
    const bool checking = updater_.isChecking();
    checkButton_->setEnabled(!checking);
    checkButton_->setText(checking ? tr("Checking\u2026") : tr("Check now"));
    if (const auto& available = updater_.available()) {
        applyTextStyle(*updateStatus_, TextStyle::caption, Tint::green);
        updateStatus_->setText(tr("v%1 available").arg(qs(available->version)));
    } else {
        applyTextStyle(*updateStatus_, TextStyle::caption, Tint::secondary);
        updateStatus_->setText(qs(updater_.status().value_or(std::string())));
    }
    updateStatus_->setVisible(updater_.available() || updater_.status());
    const auto& error = updater_.errorMessage();
    updateError_->setVisible(error.has_value());
    updateError_->setText(qs(error.value_or(std::string())));
}

void SettingsView::refreshSaving() {
    doneButton_->setBusy(saving_);
    doneButton_->setEnabled(!saving_ && didLoad_);
    cancelButton_->setEnabled(!saving_);
    content_->setEnabled(!saving_ && didLoad_);
    updateTabOrder();
}

void SettingsView::updateTabOrder() {
    QList<QWidget*> chain{cancelButton_, doneButton_, baseURL_,       email_,        apiToken_,
                          tokenLink_,    spaceKey_,   spaceMenuButton_, pageLimitPicker_, refreshPicker_,
                          launchAtLogin_, testButton_};
    chain << testHint_->focusChain() << autoUpdate_ << feedURL_ << checkButton_;
    chain << mcp_->focusChain();
    for (qsizetype i = 1; i < chain.size(); ++i) setTabOrder(chain[i - 1], chain[i]);
}

}  // namespace folioport::ui
