#include "app/PlaceholderContents.h"

#include <QLabel>

namespace folioport {

namespace {

QWidget* placeholder(const QString& text) {
    auto* label = new QLabel(text);
    label->setObjectName(QStringLiteral("placeholder"));
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    label->setMargin(24);
    return label;
}

QString describe(const EditorMode& mode) {
    if (const auto* edit = std::get_if<EditPage>(&mode)) {
        return QStringLiteral("Editor of page %1").arg(QString::fromStdString(edit->pageId));
    }
    const auto& create = std::get<CreatePage>(mode);
    QString text = create.spaceKey.empty() ? QStringLiteral("New page")
                                           : QStringLiteral("New page in %1").arg(QString::fromStdString(create.spaceKey));
    if (create.parentId) text += QStringLiteral(" under page %1").arg(QString::fromStdString(*create.parentId));
    return text;
}

}  // namespace

WindowContents placeholderContents() {
    return {.settings = [](WindowContents::Close) { return placeholder(QStringLiteral("Settings")); },
            .search = [](WindowContents::Close) { return placeholder(QStringLiteral("Search")); },
            .about = [](WindowContents::Close) { return placeholder(QStringLiteral("About Folioport")); },
            .editor = [](const EditorMode& mode, WindowContents::Close, WindowContents::Rekey) {
                return placeholder(describe(mode));
            }};
}

}  // namespace folioport
