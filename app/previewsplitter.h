// The main window's work area: the description editor above, the source file preview and the
// result preview below it, separated by handles that the person drags. The sizes left by a drag
// are kept in the settings and given back at the next start.
//
// User-interface thread only.
#pragma once

#include <QSplitter>
#include <vector>

namespace morvex {

class PreviewSplitter : public QSplitter {
    Q_OBJECT

public:
    // Lays out the three parts top to bottom (they become its children), the previews hidden,
    // with the sizes saved in the settings or, when none are, 10 : 3 : 5 (the editor with its
    // detail panel above, about six lines of the file, eight rows of the result).
    PreviewSplitter(QWidget* editor, QWidget* source, QWidget* result, QWidget* parent = nullptr);

    // Shows or hides both previews; shown again, the three parts take their last sizes.
    void setPreviewsShown(bool shown);

    // The sizes kept in the settings (value "PreviewSplitterSizes" of the program's key: three
    // heights in pixels, "360,120,240"), or an empty list when there are none or they are not
    // three positive numbers.
    static std::vector<int> savedSizes();

private:
    void saveSizes() const;

    std::vector<int> sizes_;  // the last sizes with the previews shown (editor, source, result)
};

}  // namespace morvex
