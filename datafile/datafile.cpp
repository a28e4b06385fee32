// The data file reader's interface (DATAFILE_*): a reader over a dialect and a path, its
// rows as lists of values or as fields, the line count. Its parts (datafile_internal.h):
//   - datafile_buffer.cpp: the block buffer; datafile_rows.cpp: the row cutter and the line
//     count; datafile_split.cpp: the splitters and unquoting; datafile_convert.cpp: the
//     conversion to UTF-8.
//
// Layers:
//   - DATAFILE_BUFFER holds one block of the file (DATAFILE_BLOCK_SIZE bytes) and the reused
//     row buffer; the logical position in the file is blockStart + pos.
//   - ReadRow takes bytes from the block into the row until the indicator, the character
//     limit or the end of the file. The hot loop looks for the indicator's first byte with
//     memchr and only walks byte by byte while a partial indicator is being matched.
//   - With an encoding, UTF-16 streams are decoded to UTF-8 block by block before rows are
//     cut; other encodings are converted (or, for UTF-8, checked) one row at a time.
//   - With unquoting, a row whose last field is still inside its protecting characters goes
//     on over the next line, and values lose their protecting characters.
//   - SplitRowFixedSize / SplitRowWithSeparator turn the row (with its real length, zero bytes
//     allowed) into fields, given to a list of DATACOLUMN values or to a caller's field array.
#include "datafile/datafile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "datafile/datafile_internal.h"
#include "foundation/inputfile.h"
#include "foundation/trace.h"

using namespace datafile_internal;

bool DATAFILE_IsStreamPath(const char* path) {
    if (!path) return false;
    if (strcmp(path, "-") == 0) return true;
    const char* number = path + strlen("/dev/fd/");
    return strncmp(path, "/dev/fd/", strlen("/dev/fd/")) == 0 && *number != '\0' &&
           strspn(number, "0123456789") == strlen(number);
}

DATAFILE* DATAFILE_NewIterator(const DATAFILE_DIALECT& dialect, const char* path,
                               int nCarMaxReadWithoutNewLine, int readHeader) {
    if (!path) return nullptr;
    if (!DATAFILE_IsStreamPath(path) && !opensAsFile(path)) {
        morvex::trace("\n[DATAFILE_NewIterator] Le fichier exemple [%s] n'existe pas.", path);
        return nullptr;
    }
    auto* reader = new (std::nothrow) DATAFILE();
    if (!reader) return nullptr;
    reader->path = strdup(path);
    reader->buffer = newBuffer();
    if (!reader->path || !reader->buffer) {
        free(reader->path);
        destroyBuffer(reader->buffer);
        delete reader;
        return nullptr;
    }
    reader->dialect = dialect;
    if (reader->dialect.firstLine < 1) reader->dialect.firstLine = 1;
    // A limit of 0 means the default; a negative one would never let a byte through.
    reader->nCarMaxReadWithoutNewLine =
        nCarMaxReadWithoutNewLine > 0 ? nCarMaxReadWithoutNewLine : DEFAULT_CHARACTER_LIMIT;
    reader->readHeader = readHeader;
    int64_t size = DATAFILE_IsStreamPath(path) ? -1 : fileSize64(path);
    reader->fileSize = size > 0 ? static_cast<double>(size) : 0.0;
    morvex::trace("\n[DATAFILE_NewIterator] Taille du fichier %s : %.0f octets", path,
                  reader->fileSize);
    return reader;
}

namespace {

// A stream over a copy of the open descriptor `fd`; nullptr when it is not open.
FILE* openDescriptor(int fd) {
    const int copy = fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (copy < 0) return nullptr;
    FILE* file = fdopen(copy, "rb");
    if (!file) close(copy);
    return file;
}

}  // namespace

int DATAFILE_Init(DATAFILE* reader) {
    if (!reader || !reader->path || !reader->buffer) return 1;
    resetBuffer(reader->buffer);  // its source first: it may be reading the file in its thread
    if (reader->file) fclose(reader->file);
    reader->file = nullptr;
    reader->currentRow = nullptr;
    reader->currentRowLength = 0;
    reader->readBytes = 0.0;
    reader->currentFileRowID = 0;
    const std::string& indicator = reader->dialect.lineEnd;
    buildFailureTable(indicator.data(), indicator.size(), reader->buffer->kmp);
    PrepareQuotes(reader);
    reader->rowEncodingError = 0;
    reader->rowUnclosedQuote = 0;
    reader->rowSwallowedLine = 0;
    reader->rowMultiLineValues = 0;
    reader->blankLines = 0;
    reader->fileChanged = 0;
    reader->failure = nullptr;
    if (!PrepareDecoding(reader)) {
        reader->failure = "encodage inconnu";
        return 1;
    }
    const bool stream = DATAFILE_IsStreamPath(reader->path);
    if (stream && reader->buffer->streamTaken) {
        reader->failure = "le flux a déjà été lu : il ne se relit pas";
        return 1;
    }
    // A regular file only, or the stream the path names: standard input, or the descriptor
    // itself (a named pipe opened again would wait for a writer that may be gone).
    reader->file = stream && reader->path[0] != '-'
                       ? openDescriptor(atoi(reader->path + strlen("/dev/fd/")))
                       : morvex::openInputFile(reader->path, nullptr,
                                               stream ? morvex::InputKind::Stream
                                                      : morvex::InputKind::RegularOnly);
    reader->buffer->streamTaken = stream;
    if (!reader->file) {
        reader->failure = "le fichier ne s'ouvre pas en lecture";
        return 1;
    }
    // The reader does its own buffering in large blocks.
    setvbuf(reader->file, nullptr, _IONBF, 0);
    // A regular file is read up to the size it has now; one that changes meanwhile (cut,
    // appended to, rewritten) ends the rows with fileChanged.
    watchFile(reader);
    return 0;
}

namespace {

// True when the value text[0, length) holds the end-of-line indicator of the reader.
bool holdsLineEnd(const DATAFILE* reader, const char* text, size_t length) {
    const char* indicator = reader->dialect.lineEnd.data();
    const size_t indLen = reader->buffer->kmp.size();
    return indLen > 0 && memmem(text, length, indicator, indLen) != nullptr;
}

// Counts the values of the row just split that go on over line ends (rowMultiLineValues); only
// a row read over several lines is looked at.
template <typename Values>
void countMultiLineValues(DATAFILE* reader, const Values& values) {
    reader->rowMultiLineValues = 0;
    if (reader->currentFileRowID == reader->currentRowFirstLine) return;
    for (const auto& value : values)
        if (holdsLineEnd(reader, value.first, value.second)) reader->rowMultiLineValues++;
}

// Whether the values of column `index` are read without the blanks around them.
bool trimsPadding(const DATAFILE* reader, int index) {
    return index >= 0 && static_cast<size_t>(index) < reader->dialect.columns.size() &&
           reader->dialect.columns[static_cast<size_t>(index)].trimPadding;
}

// The part of text[0, length) between its leading and trailing blanks.
void trimBlanks(const char*& text, int& length) {
    while (length > 0 && text[0] == ' ') ++text, --length;
    while (length > 0 && text[length - 1] == ' ') --length;
}

}  // namespace

LDCG* DATAFILE_ReadNext(DATAFILE* reader) {
    if (!reader || !reader->buffer) return nullptr;
    const DATAFILE_DIALECT& dialect = reader->dialect;
    DATAFILE_BUFFER* buf = reader->buffer;
    if (!AdvanceToNextRow(reader, true)) return nullptr;

    if (dialect.layout == DATAFILE_LAYOUT::None) return nullptr;
    const int isHeader = dialect.header && reader->currentRowFirstLine == dialect.firstLine ? 1 : 0;
    LDCG* row = SplitRow(reader, buf->row, buf->rowLen, isHeader);
    for (LDCG_ELT* e = row ? row->first : nullptr; e; e = e->next) {
        auto* value = static_cast<DATACOLUMN*>(e->lParam1);
        if (!trimsPadding(reader, value->columnIndex)) continue;
        const char* text = value->value;
        int length = value->length;
        trimBlanks(text, length);
        memmove(value->value, text, static_cast<size_t>(length));
        value->value[length] = '\0';
        value->length = length;
    }
    if (row && reader->currentFileRowID != reader->currentRowFirstLine) {
        std::vector<std::pair<const char*, size_t>> values;
        for (LDCG_ELT* e = row->first; e; e = e->next) {
            const auto* value = static_cast<const DATACOLUMN*>(e->lParam1);
            values.emplace_back(value->value, static_cast<size_t>(value->length));
        }
        countMultiLineValues(reader, values);
    }
    return row;
}

bool DATAFILE_ReadNextFields(DATAFILE* reader, std::vector<DATAFIELD>& fields) {
    fields.clear();
    if (!reader || !reader->buffer) return false;
    const DATAFILE_DIALECT& dialect = reader->dialect;
    if (dialect.layout == DATAFILE_LAYOUT::None) return false;
    DATAFILE_BUFFER* buf = reader->buffer;
    if (!AdvanceToNextRow(reader, true)) return false;
    const int isHeader = dialect.header && reader->currentRowFirstLine == dialect.firstLine ? 1 : 0;
    if (!SplitRowFields(reader, buf->row, buf->rowLen, isHeader, fields)) return false;
    for (DATAFIELD& f : fields)
        if (trimsPadding(reader, f.columnIndex)) trimBlanks(f.value, f.length);
    if (reader->currentFileRowID != reader->currentRowFirstLine) {
        std::vector<std::pair<const char*, size_t>> values;
        for (const DATAFIELD& f : fields) values.emplace_back(f.value, static_cast<size_t>(f.length));
        countMultiLineValues(reader, values);
    }
    return true;
}

int DATAFILE_GetCurrentFileRowID(DATAFILE* reader) {
    return reader ? reader->currentFileRowID : -1;
}

double DATAFILE_GetReadBytes(DATAFILE* reader) {
    return reader ? reader->readBytes : -1.0;
}

double DATAFILE_GetFileSize(DATAFILE* reader) {
    return reader ? reader->fileSize : -1.0;
}

int DATAFILE_DestroyIterator(DATAFILE* reader) {
    if (!reader) return 1;
    destroyBuffer(reader->buffer);  // its source (and thread) first; also the last row text
    if (reader->file) fclose(reader->file);
    free(reader->path);
    delete reader;
    return 0;
}

void DATACOLUMN_Destroy(void* value) {
    auto* column = static_cast<DATACOLUMN*>(value);
    if (!column) return;
    free(column->value);
    free(column);
}

int FileSize(const char* path) {
    if (!path) return -1;
    int64_t size = fileSize64(path);
    if (size < 0) return -1;
    return size > INT_MAX ? INT_MAX : static_cast<int>(size);
}

int DATAFILE_ComputeStats(TASK* task, const DATAFILE_DIALECT& dialect, const char* path,
                          DATAFILE_STATS* stats) {
    if (!task || !path || !stats) return 1;
    LDCG_ShowGlobalStats();
    DATAFILE* reader = DATAFILE_NewIterator(dialect, path, STATS_CHARACTER_LIMIT, 1);
    if (!reader || DATAFILE_Init(reader) != 0) {
        DATAFILE_DestroyIterator(reader);
        TASK_Report(task, TASK_EVENT_NOT_STARTED, 100, 0,
                    "Erreur lors de la création de l'itérateur sur le fichier de données.");
        return 1;
    }
    int count = 0;
    bool cancelled = false;
    char message[128];
    // A file that changed during the count has no count: the reader's reason is reported.
    auto finish = [&]() {
        const bool changed = reader->fileChanged != 0;
        stats->nbLines = count;
        stats->blankLines = reader->blankLines;
        if (changed) {
            snprintf(message, sizeof message, "Comptage impossible : %s.", reader->failure);
            TASK_Report(task, TASK_EVENT_NOT_STARTED, 100, 0, message);
        }
        DATAFILE_DestroyIterator(reader);
        if (cancelled && !changed)
            TASK_Report(task, TASK_EVENT_INTERRUPTED, 100, 100,
                        "Tâche interrompue par l'utilisateur.");
        LDCG_ShowGlobalStats();
        return changed ? 1 : 0;
    };
    if (CountRowsByBlocks(reader, task, &count, &cancelled)) return finish();
    // Counting needs the rows, not their values: when every row would split into a list, the
    // rows are only delimited, never copied nor split. Other dialects give no rows at all,
    // which the ordinary read finds at once.
    const bool countOnly = RowsAlwaysSplit(reader->dialect);
    for (;;) {
        if (TASK_IsStopRequested(task)) {
            cancelled = true;
            break;
        }
        if (countOnly) {
            if (!CountNextRow(reader)) break;
        } else {
            LDCG* row = DATAFILE_ReadNext(reader);
            if (!row) break;
            LDCG_Destroy(row, LDCG_KEEP_ROOT, LDCG_RELEASE_BOTH);
        }
        ++count;
        if (count % STATS_REPORT_EVERY == 0) {
            double percent =
                reader->fileSize > 0 ? 100.0 * reader->readBytes / reader->fileSize : 0.0;
            snprintf(message, sizeof message, "%i lignes lues... (%.0f%%)", count, percent);
            TASK_Report(task, TASK_EVENT_PROGRESS, 100, static_cast<int>(percent), message);
        }
    }
    return finish();
}
