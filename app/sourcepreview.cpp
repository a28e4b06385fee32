#include "app/sourcepreview.h"

#include <QFontDatabase>
#include <QTextCursor>
#include <cstdio>
#include <vector>

#include "appcore/application.h"

namespace morvex {

SourcePreview::SourcePreview(QWidget* parent) : QPlainTextEdit(parent) {
    setReadOnly(true);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
}

void SourcePreview::reload(const QString& path) {
    clear();
    FILE* file = path.isEmpty() ? nullptr : std::fopen(path.toLocal8Bit().constData(), "rb");
    if (!file) return;
    const int first = gcontexte.currentFile ? gcontexte.currentFile->BeginFromLine : 0;
    std::vector<char> buffer(10000);
    QByteArray shown;
    int number = 1;
    // Reads of at most 9999 characters: a longer line is taken in pieces, each counted.
    while (number <= first + 9 && std::fgets(buffer.data(), 10000, file)) {
        QByteArray piece(buffer.data());
        if (number >= first) shown += piece;
        if (piece.endsWith('\n') || piece.size() >= 9999) ++number;
    }
    std::fclose(file);
    setPlainText(QString::fromUtf8(shown));
    moveCursor(QTextCursor::Start);
    ensureCursorVisible();
}

}  // namespace morvex
