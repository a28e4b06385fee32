// The preview under the options of the new-description wizard and of the properties sheet: the
// first rows of the example file cut as the options currently say, through the data file reader
// itself (datafile/datafile.h), so that what the person sees is what a load will read.
//
// The first CUTPREVIEW_SAMPLE_BYTES of the file are read once (CutPreviewSample::load) into an
// anonymous in-memory file; each change of the options cuts that sample again (cut), which
// costs the same whatever the size of the file. A sample cut short ends at its last line end,
// so that no half line shows.
//
// User-interface thread (the description given to cut is read, never changed).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct FileDesc;

// Bytes of the example file the preview reads.
constexpr size_t CUTPREVIEW_SAMPLE_BYTES = 256 * 1024;
// Rows the preview shows.
constexpr int CUTPREVIEW_ROWS = 50;

// Why a row of the preview is marked.
enum CutPreviewMark {
    CUTPREVIEW_ROW_OK = 0,              // cut as the others
    CUTPREVIEW_ROW_FIELD_COUNT = 1,     // another number of fields than the header or most rows
    CUTPREVIEW_ROW_UNCLOSED_QUOTE = 2,  // a protected field that no line closes
    CUTPREVIEW_ROW_ENCODING = 3,        // bytes that are not text in the chosen encoding
};

// One row as the reader cut it.
struct CutPreviewRow {
    int line = 0;                     // the line of the file it begins on, from 1
    bool isHeader = false;            // the description's header line
    std::vector<std::string> fields;  // its values, in UTF-8
    CutPreviewMark mark = CUTPREVIEW_ROW_OK;
};

// The rows of one cut.
struct CutPreview {
    std::vector<CutPreviewRow> rows;
    int columns = 0;         // the most fields of a row
    int expectedFields = 0;  // the header's field count, else the commonest one
    std::string failure;     // why nothing could be cut (French), "" otherwise
};

namespace morvex {
// Whether the analysis of a new description (the detected rules without a row limit, which read
// a file whole up to FILEDESC_GetWholeFileBytes and sample the rest) reads only part of the file
// at `path`: the wizard then offers to analyse the whole file. False for a file it cannot size.
bool analysisReadsOnlyPartOf(const std::string& path);
}  // namespace morvex

// Moves the boundary between columns `boundary` and `boundary + 1` of `widths` by `delta`
// characters (to the right when positive), as far as both columns keep one character: the
// other boundaries stay where they are. False when nothing moved (no such boundary, or no room).
bool CUTPREVIEW_MoveBoundary(std::vector<int>& widths, size_t boundary, int delta);

class CutPreviewSample {
public:
    CutPreviewSample() = default;
    ~CutPreviewSample();
    CutPreviewSample(const CutPreviewSample&) = delete;
    CutPreviewSample& operator=(const CutPreviewSample&) = delete;

    // Reads the first bytes of the file at `path` (a regular file only); false with the reason
    // in French in `error`, and no sample kept.
    bool load(const std::string& path, std::string& error);
    bool loaded() const { return fd_ >= 0; }
    // The file the sample was read from.
    const std::string& sourcePath() const { return source_; }
    // Whether the sample is the whole file.
    bool wholeFile() const { return whole_; }
    size_t bytes() const { return bytes_; }

    // Cuts the sample with the options of `options` (structure, separator, unquoting and
    // protecting character, encoding, end of line, header, first line, fixed line length; for a
    // fixed-width description the widths of the columns of `widths`, `options` itself when
    // nullptr, and without columns the whole line): at most `maxRows` rows, marked where the
    // options do not fit them. Neither description is changed.
    CutPreview cut(const FileDesc* options, const FileDesc* widths = nullptr,
                   int maxRows = CUTPREVIEW_ROWS) const;
    // The same for a fixed-width `options`, cut at `widths` (each at least 1; empty: the whole
    // line) instead of a description's columns: boundaries being moved before they are saved.
    CutPreview cutAtWidths(const FileDesc* options, const std::vector<int>& widths,
                           int maxRows = CUTPREVIEW_ROWS) const;

private:
    CutPreview cutScratch(const FileDesc* options, FileDesc* scratch, int maxRows) const;

    int fd_ = -1;             // the in-memory file holding the sample
    std::string readerPath_;  // the path the reader opens it by
    std::string source_;
    bool whole_ = false;
    size_t bytes_ = 0;
};
