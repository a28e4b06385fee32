#include "app/sourcepreview.h"

#include <QFontDatabase>
#include <QTextCursor>
#include <algorithm>
#include <string>

#include "appcore/application.h"
#include "datafile/bytesource.h"

namespace morvex {

SourcePreview::SourcePreview(QWidget* parent) : QPlainTextEdit(parent) {
    setReadOnly(true);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
}

void SourcePreview::reload(const QString& path) {
    clear();
    if (path.isEmpty()) return;
    // The text's first MiB: a compressed file shows its text, as its readers take it.
    const std::string text = readTextSample(path.toLocal8Bit().constData(), 1 << 20);
    const int first = gcontexte.currentFile ? gcontexte.currentFile->BeginFromLine : 0;
    QByteArray shown;
    int number = 1;
    // Pieces of at most 9999 characters: a longer line is taken in pieces, each counted.
    for (size_t at = 0; number <= first + 9 && at < text.size();) {
        size_t end = text.find('\n', at);
        end = end == std::string::npos ? text.size() : end + 1;
        end = std::min(end, at + 9999);
        const QByteArray piece(text.data() + at, static_cast<qsizetype>(end - at));
        if (number >= first) shown += piece;
        if (piece.endsWith('\n') || piece.size() >= 9999) ++number;
        at = end;
    }
    setPlainText(QString::fromUtf8(shown));
    moveCursor(QTextCursor::Start);
    ensureCursorVisible();
}

}  // namespace morvex
