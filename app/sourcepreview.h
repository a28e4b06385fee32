// The source file preview ("Aperçu du fichier source"): ten raw lines of the example file from
// the current description's first line to import. User-interface thread only.
#pragma once

#include <QPlainTextEdit>

namespace morvex {

class SourcePreview : public QPlainTextEdit {
    Q_OBJECT

public:
    explicit SourcePreview(QWidget* parent = nullptr);

    // Clears the text and shows lines B to B + 9 of `path` (B: the current description's first
    // line to import, 0 without one); a file that does not open leaves it empty.
    void reload(const QString& path);
};

}  // namespace morvex
