// The query tool's editor: SQL coloured as it is typed (keywords, strings, numbers, comments,
// quoted names; the pieces come from sqlquery/sqlsyntax.h) and the names of the database's
// tables and columns completed (Ctrl+Space, or after two letters of a name).
//
// User-interface thread only.
#pragma once

#include <QPlainTextEdit>
#include <QStringList>
#include <QSyntaxHighlighter>

class QCompleter;
class QStringListModel;

namespace morvex {

// Colours a document's SQL line by line; a comment, string or quoted name left open on a line
// goes on at the next.
class SqlHighlighter : public QSyntaxHighlighter {
    Q_OBJECT

public:
    explicit SqlHighlighter(QTextDocument* document);

protected:
    void highlightBlock(const QString& text) override;

private:
    QTextCharFormat formats_[5];  // by SQLQUERY_TOKENKIND
};

class SqlEditor : public QPlainTextEdit {
    Q_OBJECT

public:
    explicit SqlEditor(QWidget* parent = nullptr);
    // The names offered for completion (tables, views and their columns), sorted without case.
    void setCompletionNames(const QStringList& names);
    QCompleter* completer() const { return completer_; }
    // Offers the names that begin with the word before the cursor (when `forced`, even with
    // fewer than two letters typed).
    void offerCompletion(bool forced);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void insertCompletion(const QString& name);
    QString wordBeforeCursor() const;

    QCompleter* completer_;
    QStringListModel* names_;
};

}  // namespace morvex
