#include "ui/BodyEditor.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QTextBlock>
#include <QTextCursor>

#include <algorithm>

namespace folioport::ui {

namespace {

/// A display line is at least this long before a break is looked for, so breaks stay few.
constexpr qsizetype shortestPiece = 600;

/// Marks a block whose break before it is the display's, not the body's.
constexpr int continuesLine = QTextFormat::UserProperty + 1;

bool continues(const QTextBlock& block) { return block.blockFormat().boolProperty(continuesLine); }

/// Where the display line starting at `start` of `line` ends: between two tags, else after a tag, else
/// after a blank, else at the longest length (never inside a surrogate pair).
qsizetype pieceEnd(QStringView line, qsizetype start) {
    const qsizetype last = start + BodyEditor::longLine;
    qsizetype afterTag = -1, afterBlank = -1;
    for (qsizetype i = start + shortestPiece; i < last; ++i) {
        const QChar before = line[i - 1];
        if (before == u'>') {
            if (line[i] == u'<') return i;
            if (afterTag < 0) afterTag = i;
        } else if (before == u' ' && afterBlank < 0) {
            afterBlank = i;
        }
    }
    if (afterTag >= 0) return afterTag;
    if (afterBlank >= 0) return afterBlank;
    return line[last].isLowSurrogate() ? last - 1 : last;
}

/// `text` with every break the document knows (CR LF, CR, paragraph and frame separators) as a line feed,
/// which is how the document would take it anyway.
QString withLineFeeds(QString text) {
    constexpr char16_t breaks[] = {u'\r', u'\u2029', u'\ufdd0', u'\ufdd1'};
    if (std::ranges::none_of(breaks, [&](char16_t c) { return text.contains(QChar(c)); })) return text;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    for (char16_t c : breaks) text.replace(QChar(c), u'\n');
    return text;
}

/// Inserts `text` at `cursor`: a line break of the text starts a body line, a long line goes in display
/// lines. Every block it makes gets its format here, so none inherits a display line's mark.
void insertPresented(QTextCursor& cursor, const QString& typed) {
    const QString text = withLineFeeds(typed);
    QTextBlockFormat display;
    display.setProperty(continuesLine, true);
    qsizetype lineStart = 0;
    while (true) {
        const qsizetype newline = text.indexOf(u'\n', lineStart);
        const QStringView line = QStringView(text).sliced(lineStart, (newline < 0 ? text.size() : newline) - lineStart);
        qsizetype start = 0;
        while (line.size() - start > BodyEditor::longLine) {
            const qsizetype end = pieceEnd(line, start);
            cursor.insertText(line.sliced(start, end - start).toString());
            cursor.insertBlock(display);
            start = end;
        }
        cursor.insertText(line.sliced(start).toString());
        if (newline < 0) return;
        cursor.insertBlock(QTextBlockFormat());
        lineStart = newline + 1;
    }
}

}  // namespace

BodyEditor::BodyEditor(QWidget* parent) : QPlainTextEdit(parent) {}

void BodyEditor::setBody(const QString& body) {
    setPlainText(QString());
    QTextDocument* doc = document();
    doc->setUndoRedoEnabled(false);
    QTextCursor cursor(doc);
    cursor.beginEditBlock();
    insertPresented(cursor, body);
    cursor.endEditBlock();
    doc->setUndoRedoEnabled(true);
    doc->setModified(false);
    moveCursor(QTextCursor::Start);
}

QString BodyEditor::body() const { return text(0, document()->characterCount() - 1); }

QString BodyEditor::text(int from, int to) const {
    QString text;
    for (QTextBlock block = document()->findBlock(from); block.isValid() && block.position() <= to;
         block = block.next()) {
        if (block.position() > from && !continues(block)) text += u'\n';
        const int start = std::max(from - block.position(), 0);
        const int end = std::min(to - block.position(), block.length() - 1);
        // why: block.text() keeps a no-break space, which the document's own plain text turns into a blank.
        text += block.text().sliced(start, end - start);
    }
    return text;
}

void BodyEditor::keyPressEvent(QKeyEvent* event) {
    const bool lineBreak =
        event->matches(QKeySequence::InsertParagraphSeparator) || event->matches(QKeySequence::InsertLineSeparator);
    if (!lineBreak || isReadOnly()) return QPlainTextEdit::keyPressEvent(event);
    // why: a new block takes its format from the block it splits, which may be a display line's.
    QTextCursor cursor = textCursor();
    cursor.insertBlock(QTextBlockFormat(), cursor.charFormat());
    setTextCursor(cursor);
    ensureCursorVisible();
}

QMimeData* BodyEditor::createMimeDataFromSelection() const {
    const QTextCursor cursor = textCursor();
    auto* mime = new QMimeData;
    mime->setText(text(cursor.selectionStart(), cursor.selectionEnd()));
    return mime;
}

void BodyEditor::insertFromMimeData(const QMimeData* source) {
    if (isReadOnly() || !source->hasText()) return;
    QTextCursor cursor = textCursor();
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    insertPresented(cursor, source->text());
    cursor.endEditBlock();
    setTextCursor(cursor);
    ensureCursorVisible();
}

}  // namespace folioport::ui
