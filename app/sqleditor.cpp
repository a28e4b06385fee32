#include "app/sqleditor.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QKeyEvent>
#include <QScrollBar>
#include <QStringListModel>
#include <QTextCursor>
#include <vector>

#include "sqlquery/sqlsyntax.h"

namespace morvex {

SqlHighlighter::SqlHighlighter(QTextDocument* document) : QSyntaxHighlighter(document) {
    formats_[SQLQUERY_TOKEN_KEYWORD].setForeground(QColor(0x00, 0x00, 0xC0));
    formats_[SQLQUERY_TOKEN_KEYWORD].setFontWeight(QFont::Bold);
    formats_[SQLQUERY_TOKEN_STRING].setForeground(QColor(0xA0, 0x30, 0x00));
    formats_[SQLQUERY_TOKEN_NUMBER].setForeground(QColor(0x00, 0x80, 0x80));
    formats_[SQLQUERY_TOKEN_COMMENT].setForeground(QColor(0x60, 0x80, 0x60));
    formats_[SQLQUERY_TOKEN_COMMENT].setFontItalic(true);
    formats_[SQLQUERY_TOKEN_IDENTIFIER].setForeground(QColor(0x80, 0x00, 0x80));
}

void SqlHighlighter::highlightBlock(const QString& text) {
    const int previous = previousBlockState();
    const auto state =
        static_cast<SQLQUERY_LINESTATE>(previous < 0 ? SQLQUERY_LINE_PLAIN : previous);
    std::vector<SQLQUERY_TOKEN> tokens;
    const std::u16string_view line(reinterpret_cast<const char16_t*>(text.utf16()),
                                   static_cast<size_t>(text.size()));
    setCurrentBlockState(SQLQUERY_TokenizeLine(line, state, tokens));
    for (const SQLQUERY_TOKEN& token : tokens) setFormat(token.start, token.length, formats_[token.kind]);
}

SqlEditor::SqlEditor(QWidget* parent) : QPlainTextEdit(parent) {
    new SqlHighlighter(document());
    names_ = new QStringListModel(this);
    completer_ = new QCompleter(names_, this);
    completer_->setWidget(this);
    completer_->setCaseSensitivity(Qt::CaseInsensitive);
    completer_->setModelSorting(QCompleter::CaseInsensitivelySortedModel);
    completer_->setCompletionMode(QCompleter::PopupCompletion);
    completer_->popup()->setObjectName("queryCompletion");
    connect(completer_, qOverload<const QString&>(&QCompleter::activated), this,
            &SqlEditor::insertCompletion);
}

void SqlEditor::setCompletionNames(const QStringList& names) {
    QStringList sorted = names;
    sorted.removeDuplicates();
    sorted.sort(Qt::CaseInsensitive);
    names_->setStringList(sorted);
}

QString SqlEditor::wordBeforeCursor() const {
    QTextCursor cursor = textCursor();
    const QString line = cursor.block().text();
    int end = cursor.positionInBlock();
    int start = end;
    while (start > 0 && (line[start - 1].isLetterOrNumber() || line[start - 1] == '_')) --start;
    return line.mid(start, end - start);
}

void SqlEditor::insertCompletion(const QString& name) {
    QTextCursor cursor = textCursor();
    const int typed = static_cast<int>(wordBeforeCursor().size());
    cursor.movePosition(QTextCursor::Left, QTextCursor::KeepAnchor, typed);
    // A name that is no plain word goes in between double quotes.
    bool plain = !name.isEmpty() && !name[0].isDigit();
    for (QChar c : name) plain = plain && (c.isLetterOrNumber() || c == '_');
    if (plain) {
        cursor.insertText(name);
    } else {
        QString quoted = name;
        quoted.replace("\"", "\"\"");
        cursor.insertText("\"" + quoted + "\"");
    }
    setTextCursor(cursor);
}

void SqlEditor::offerCompletion(bool forced) {
    const QString prefix = wordBeforeCursor();
    if (!forced && prefix.size() < 2) {
        completer_->popup()->hide();
        return;
    }
    if (prefix != completer_->completionPrefix()) {
        completer_->setCompletionPrefix(prefix);
        completer_->popup()->setCurrentIndex(completer_->completionModel()->index(0, 0));
    }
    if (completer_->completionCount() == 0) {
        completer_->popup()->hide();
        return;
    }
    QRect at = cursorRect();
    at.setWidth(completer_->popup()->sizeHintForColumn(0) +
                completer_->popup()->verticalScrollBar()->sizeHint().width());
    completer_->complete(at);
}

void SqlEditor::keyPressEvent(QKeyEvent* event) {
    if (completer_->popup()->isVisible()) {
        // The list takes the keys that choose or dismiss a name.
        switch (event->key()) {
            case Qt::Key_Enter:
            case Qt::Key_Return:
            case Qt::Key_Escape:
            case Qt::Key_Tab:
            case Qt::Key_Backtab:
                event->ignore();
                return;
            default:
                break;
        }
    }
    const bool forced = event->key() == Qt::Key_Space && (event->modifiers() & Qt::ControlModifier);
    if (!forced) QPlainTextEdit::keyPressEvent(event);
    const QString typed = event->text();
    const bool wordKey = !typed.isEmpty() && (typed[0].isLetterOrNumber() || typed[0] == '_');
    if (forced || (wordKey && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))))
        offerCompletion(forced);
    else if (completer_->popup()->isVisible() && !wordKey)
        completer_->popup()->hide();
}

}  // namespace morvex
