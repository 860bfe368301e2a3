#pragma once

#include <QStringList>
#include <QWidget>

#include <optional>

class QCheckBox;
class QLabel;
class QPushButton;
class QToolButton;

namespace folioport::ui {

/// The MCP server the set-up texts name: the executable an assistant starts with --mcp, and its tools.
struct McpServerInfo {
    QString executable;
    QStringList toolNames;
};

/// The command that registers the MCP server for one repository; the path goes in unquoted.
QString mcpCommandSnippet(const QString& executable);
/// The hand-written `.mcp.json` that does the same; the path goes in unescaped.
QString mcpJsonSnippet(const QString& executable);

/// The settings window's "MCP server (Claude Code)" section: the switch that lets assistants only read
/// pages, always in sight, and, collapsible, how to register the built-in MCP server, two snippets with
/// "Copy" buttons (the last one copied reads "Copied" for 1.5 s) and the tool names. Collapsed when created.
class McpSetupSection : public QWidget {
    Q_OBJECT

public:
    explicit McpSetupSection(const McpServerInfo& server, QWidget* parent = nullptr);

    /// The state of "Let AI assistants only read pages", which the settings window loads and saves.
    bool assistantsReadOnly() const;
    void setAssistantsReadOnly(bool readOnly);

    /// The disclosure button, the read-only switch and, when expanded, the copy buttons, in tab order.
    QList<QWidget*> focusChain() const;

private:
    enum class Snippet { command, json };

    QWidget* snippetRow(Snippet id, const QString& text, QWidget* parent);
    void copy(Snippet id, const QString& text);
    void refresh();

    bool expanded_ = false;
    QToolButton* disclosure_;
    QCheckBox* readOnlySwitch_;
    QWidget* content_;
    QPushButton* copyCommand_ = nullptr;
    QPushButton* copyJson_ = nullptr;
    std::optional<Snippet> copied_;
};

}  // namespace folioport::ui
