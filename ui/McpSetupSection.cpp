#include "ui/McpSetupSection.h"

#include <QCheckBox>
#include <QClipboard>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include <chrono>

#include "ui/Clock.h"
#include "ui/Style.h"

namespace folioport::ui {
namespace {

using namespace std::chrono_literals;
constexpr auto copiedDuration = 1500ms;

QLabel* caption(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    applyTextStyle(*label, TextStyle::caption, Tint::secondary);
    return label;
}

QString toolNamesLine(const QStringList& names) {
    return QStringLiteral("Tools: %1.").arg(names.join(QStringLiteral(", ")));
}

}  // namespace

QString mcpCommandSnippet(const QString& executable) {
    return QStringLiteral("claude mcp add folioport -s project -- %1 --mcp").arg(executable);
}

QString mcpJsonSnippet(const QString& executable) {
    return QStringLiteral("{\n"
                          "  \"mcpServers\": {\n"
                          "    \"folioport\": {\n"
                          "      \"type\": \"stdio\",\n"
                          "      \"command\": \"%1\",\n"
                          "      \"args\": [\"--mcp\"],\n"
                          "      \"env\": {}\n"
                          "    }\n"
                          "  }\n"
                          "}")
        .arg(executable);
}

McpSetupSection::McpSetupSection(const McpServerInfo& server, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("mcpSection"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);

    disclosure_ = new QToolButton(this);
    disclosure_->setObjectName(QStringLiteral("mcpDisclosure"));
    disclosure_->setText(tr("MCP server (Claude Code)"));
    disclosure_->setAutoRaise(true);
    disclosure_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    disclosure_->setFont(fontFor(TextStyle::callout));
    column->addWidget(disclosure_);

    // why: a switch that holds the assistant back stays in sight, not folded away with the set-up steps.
    readOnlySwitch_ = new QCheckBox(tr("Let AI assistants only read pages"), this);
    readOnlySwitch_->setObjectName(QStringLiteral("assistantsReadOnlyCheckBox"));
    column->addWidget(readOnlySwitch_);

    content_ = new QWidget(this);
    content_->setObjectName(QStringLiteral("mcpContent"));
    auto* inner = new QVBoxLayout(content_);
    inner->setContentsMargins(0, 0, 0, 0);
    inner->setSpacing(8);
    inner->addWidget(caption(tr("Read, create, edit and trash these pages from Claude Code. It reuses the settings "
                                "above, so there is nothing else to configure. Run this in the repo you want it in:"),
                             content_));
    inner->addWidget(snippetRow(Snippet::command, mcpCommandSnippet(server.executable), content_));
    inner->addWidget(caption(tr("`-s project` adds it to that repo only. Restart Claude Code afterwards and approve "
                                "it, then check with `claude mcp list`."),
                             content_));
    inner->addWidget(
        caption(tr("That writes a `.mcp.json` in the repo root. To create it by hand instead:"), content_));
    inner->addWidget(snippetRow(Snippet::json, mcpJsonSnippet(server.executable), content_));
    auto* tools = caption(toolNamesLine(server.toolNames), content_);
    tools->setObjectName(QStringLiteral("toolNamesLabel"));
    inner->addWidget(tools);
    column->addWidget(content_);

    connect(disclosure_, &QToolButton::clicked, this, [this] {
        expanded_ = !expanded_;
        refresh();
    });
    refresh();
}

QWidget* McpSetupSection::snippetRow(Snippet id, const QString& text, QWidget* parent) {
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);

    auto* snippet = new QLabel(text, row);
    snippet->setObjectName(id == Snippet::command ? QStringLiteral("commandSnippet") : QStringLiteral("jsonSnippet"));
    snippet->setTextFormat(Qt::PlainText);
    snippet->setWordWrap(true);
    snippet->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    snippet->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSizeF(fontFor(TextStyle::caption).pointSizeF());
    snippet->setFont(mono);
    // why: the text field's own colours and the style's frame give the snippet the look of selectable text.
    snippet->setBackgroundRole(QPalette::Base);
    snippet->setAutoFillBackground(true);
    snippet->setFrameShape(QFrame::StyledPanel);
    snippet->setMargin(6);
    snippet->setAccessibleName(id == Snippet::command ? tr("Command") : tr(".mcp.json"));
    layout->addWidget(snippet, 1, Qt::AlignTop);

    auto* button = new QPushButton(tr("Copy"), row);
    button->setObjectName(id == Snippet::command ? QStringLiteral("copyCommandButton")
                                                 : QStringLiteral("copyJsonButton"));
    button->setAccessibleDescription(id == Snippet::command ? tr("Copy the command") : tr("Copy the .mcp.json text"));
    button->setAutoDefault(true);
    // why: "Copied" must not make the button, and so the snippet beside it, change width.
    const QFontMetrics metrics = button->fontMetrics();
    button->setMinimumWidth(button->sizeHint().width() + metrics.horizontalAdvance(tr("Copied")) -
                            metrics.horizontalAdvance(tr("Copy")));
    connect(button, &QAbstractButton::clicked, this, [this, id, text] { copy(id, text); });
    layout->addWidget(button, 0, Qt::AlignTop);
    (id == Snippet::command ? copyCommand_ : copyJson_) = button;
    return row;
}

void McpSetupSection::copy(Snippet id, const QString& text) {
    QGuiApplication::clipboard()->setText(text);
    copied_ = id;
    refresh();
    Clock::current().after(copiedDuration, this, [this, id] {
        if (copied_ != id) return;
        copied_.reset();
        refresh();
    });
}

void McpSetupSection::refresh() {
    disclosure_->setArrowType(expanded_ ? Qt::DownArrow : Qt::RightArrow);
    disclosure_->setAccessibleDescription(expanded_ ? tr("Expanded") : tr("Collapsed"));
    content_->setVisible(expanded_);
    copyCommand_->setText(copied_ == Snippet::command ? tr("Copied") : tr("Copy"));
    copyJson_->setText(copied_ == Snippet::json ? tr("Copied") : tr("Copy"));
}

bool McpSetupSection::assistantsReadOnly() const { return readOnlySwitch_->isChecked(); }

void McpSetupSection::setAssistantsReadOnly(bool readOnly) { readOnlySwitch_->setChecked(readOnly); }

QList<QWidget*> McpSetupSection::focusChain() const {
    return {disclosure_, readOnlySwitch_, copyCommand_, copyJson_};
}

}  // namespace folioport::ui
