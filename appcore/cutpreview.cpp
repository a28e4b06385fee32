// The preview of an example file cut as the options say.
#include "appcore/cutpreview.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>

#include "datafile/datafile.h"
#include "filedesc/descdialect.h"
#include "filedesc/analyse.h"
#include "filedesc/filedesc.h"
#include "foundation/inputfile.h"
#include "foundation/owned.h"
#include <memory>
#include <algorithm>

namespace {

// Reads up to `limit` bytes of `fd` into `out`; false on a read error.
bool readUpTo(int fd, size_t limit, std::string& out) {
    out.resize(limit);
    size_t got = 0;
    while (got < limit) {
        const ssize_t n = read(fd, out.data() + got, limit - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    out.resize(got);
    return true;
}

bool writeAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// A scratch description with the cutting options of `options`: the reader is given this one,
// so that the description being edited is never touched. Closed (unregistered) on release.
struct CloseDescription {
    void operator()(FileDesc* desc) const { FILEDESC_CloseFileDesc(desc); }
};
using ScratchDesc = std::unique_ptr<FileDesc, CloseDescription>;

ScratchDesc scratchOf(const FileDesc* options, const FileDesc* widths,
                      const std::vector<int>* forced = nullptr) {
    ScratchDesc scratch(FILEDESC_CreateFileDesc("apercu", nullptr, options->TypeStructFile,
                                                options->EndOfLine, options->FieldDelimiter));
    if (!scratch) return nullptr;
    FileDesc* s = scratch.get();
    memcpy(s->Encoding, options->Encoding, sizeof s->Encoding);
    s->Unquote = options->Unquote;
    s->QuoteChar = options->QuoteChar;
    s->FirstLineIsHeader = options->FirstLineIsHeader;
    s->BeginFromLine = options->BeginFromLine;
    s->LenFixedLine = options->LenFixedLine;
    if (options->TypeStructFile == STRUCTFILE_FIXED) {
        // The widths of the description's columns, else the whole line as one value.
        ColumnDesc column{};
        int added = 0;
        if (forced) {
            for (const int width : *forced) {
                column = ColumnDesc{};
                snprintf(column.code, sizeof column.code, "COL%03i", added + 1);
                column.WidthInChars = std::max(1, width);
                FILEDESC_AppendColumn(s, &column);
                ++added;
            }
        } else if (widths) {
            for (const ColumnOwner& from : widths->columns) {
                if (from->WidthInChars <= 0) continue;
                column = ColumnDesc{};
                memcpy(column.code, from->code, sizeof column.code);
                column.WidthInChars = from->WidthInChars;
                FILEDESC_AppendColumn(s, &column);
                ++added;
            }
        }
        if (added == 0) {
            column = ColumnDesc{};
            strcpy(column.code, "ligne");
            column.WidthInChars = DATAFILE_LINE_LIMIT;
            FILEDESC_AppendColumn(s, &column);
        }
        FILEDESC_UpdatePositions(s);
    }
    return scratch;
}

}  // namespace

bool CUTPREVIEW_MoveBoundary(std::vector<int>& widths, size_t boundary, int delta) {
    if (boundary + 1 >= widths.size() || delta == 0) return false;
    int& left = widths[boundary];
    int& right = widths[boundary + 1];
    delta = std::clamp(delta, 1 - left, right - 1);
    if (delta == 0) return false;
    left += delta;
    right -= delta;
    return true;
}

bool morvex::analysisReadsOnlyPartOf(const std::string& path) {
    struct stat info {};
    if (path.empty() || stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    return static_cast<double>(info.st_size) > FILEDESC_GetWholeFileBytes();
}

CutPreviewSample::~CutPreviewSample() {
    if (fd_ >= 0) close(fd_);
}

bool CutPreviewSample::load(const std::string& path, std::string& error) {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    source_.clear();
    const int in = morvex::openInputFd(path.c_str(), &error);
    if (in < 0) return false;
    std::string sample;
    // One byte more than the sample tells whether the file goes on.
    const bool read = readUpTo(in, CUTPREVIEW_SAMPLE_BYTES + 1, sample);
    close(in);
    if (!read) {
        error = "Lecture impossible du fichier d'exemple : " + std::string(strerror(errno));
        return false;
    }
    whole_ = sample.size() <= CUTPREVIEW_SAMPLE_BYTES;
    if (!whole_) {
        // No half line at the end of a sample cut short.
        sample.resize(CUTPREVIEW_SAMPLE_BYTES);
        const size_t lastEnd = sample.find_last_of("\r\n");
        if (lastEnd != std::string::npos) sample.resize(lastEnd + 1);
    }
    const int memory = memfd_create("apercu", MFD_CLOEXEC);
    if (memory < 0 || !writeAll(memory, sample)) {
        error = "Mémoire insuffisante pour l'aperçu du fichier d'exemple.";
        if (memory >= 0) close(memory);
        return false;
    }
    fd_ = memory;
    readerPath_ = "/proc/self/fd/" + std::to_string(fd_);
    source_ = path;
    bytes_ = sample.size();
    return true;
}

CutPreview CutPreviewSample::cut(const FileDesc* options, const FileDesc* widths,
                                 int maxRows) const {
    CutPreview preview;
    if (fd_ < 0 || options == nullptr) {
        preview.failure = "Aucun fichier d'exemple.";
        return preview;
    }
    ScratchDesc scratch = scratchOf(options, widths ? widths : options);
    return cutScratch(options, scratch.get(), maxRows);
}

CutPreview CutPreviewSample::cutAtWidths(const FileDesc* options, const std::vector<int>& widths,
                                         int maxRows) const {
    if (fd_ < 0 || options == nullptr) return cut(options, nullptr, maxRows);
    ScratchDesc scratch = scratchOf(options, nullptr, &widths);
    return cutScratch(options, scratch.get(), maxRows);
}

CutPreview CutPreviewSample::cutScratch(const FileDesc* options, FileDesc* scratch,
                                        int maxRows) const {
    CutPreview preview;
    if (!scratch) {
        preview.failure = "Mémoire insuffisante pour l'aperçu du fichier d'exemple.";
        return preview;
    }
    DATAFILE_DIALECT dialect;
    if (std::string refusal = FILEDESC_MakeDialect(scratch, dialect); !refusal.empty()) {
        preview.failure = refusal;
        return preview;
    }
    DATAFILE* reader = DATAFILE_NewIterator(dialect, readerPath_.c_str(), DATAFILE_LINE_LIMIT, 1);
    if (reader == nullptr || DATAFILE_Init(reader) != 0) {
        preview.failure = reader && reader->failure ? reader->failure
                                                    : "Le fichier d'exemple ne peut être lu ainsi.";
        DATAFILE_DestroyIterator(reader);
        return preview;
    }
    while (static_cast<int>(preview.rows.size()) < maxRows) {
        LDCG* row = DATAFILE_ReadNext(reader);
        if (row == nullptr) break;
        CutPreviewRow shown;
        shown.line = reader->currentRowFirstLine;
        for (LDCG_ELT* e = row->first; e; e = e->next) {
            const auto* value = static_cast<const DATACOLUMN*>(e->lParam1);
            shown.isHeader = value->isHeader != 0;
            shown.fields.emplace_back(value->value, static_cast<size_t>(value->length));
        }
        LDCG_Destroy(row, LDCG_KEEP_ROOT, LDCG_RELEASE_BOTH);
        if (reader->rowUnclosedQuote)
            shown.mark = CUTPREVIEW_ROW_UNCLOSED_QUOTE;
        else if (reader->rowEncodingError)
            shown.mark = CUTPREVIEW_ROW_ENCODING;
        preview.columns = std::max(preview.columns, static_cast<int>(shown.fields.size()));
        preview.rows.push_back(std::move(shown));
    }
    DATAFILE_DestroyIterator(reader);
    // The count every row should have: the header's, else the commonest.
    if (options->TypeStructFile == STRUCTFILE_DELIMITED && !preview.rows.empty()) {
        if (preview.rows.front().isHeader) {
            preview.expectedFields = static_cast<int>(preview.rows.front().fields.size());
        } else {
            std::map<int, int> counts;
            for (const CutPreviewRow& r : preview.rows) ++counts[static_cast<int>(r.fields.size())];
            int best = 0;
            for (const auto& [fields, rows] : counts)
                if (rows > best) best = rows, preview.expectedFields = fields;
        }
        for (CutPreviewRow& r : preview.rows) {
            if (r.mark == CUTPREVIEW_ROW_OK &&
                static_cast<int>(r.fields.size()) != preview.expectedFields)
                r.mark = CUTPREVIEW_ROW_FIELD_COUNT;
        }
    }
    return preview;
}
