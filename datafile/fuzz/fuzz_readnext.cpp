// libFuzzer target: reads an arbitrary file through an arbitrary dialect with
// DATAFILE_ReadNext until the end, checking that every row splits back into its own text, that
// the reading without copies gives the same values and, on ASCII text, that an unquoting
// reading gives them with and without a conversion.
// Build with -DMORVEX_FUZZ=ON (clang).
//
// Input: 16 setting bytes, then the file content.
//   [0] layout: none, fixed, delimited        [1] end of line: "\r\n", "\n", "\r", "", or [2..4]
//   [5] delimiter: ";", ",", "", or [6..7]
//   [8] number of columns (0..5)     [9] bit i: column i protected
//   [10] quoteStart  [11] quoteEnd   [12] seed of the widths
//   [13] bit 0 header, bit 1 readHeader, bits 2.. firstLine (0..4)
//   [14] character limit (1..200, or 0 = default)
//   [15] bit 0 unquote (quoteChar [10] for fields past the last column); bits 1-2 encoding:
//        none, "UTF-8", "ISO-8859-1", "UTF-16LE"; bit 3 a name no converter knows instead
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "datafile/datafile.h"
#include "foundation/testing/fuzzinput.h"
#include "foundation/trace.h"

namespace {

constexpr size_t SETTINGS = 16;

morvex::testing::FuzzInputFile gInput;  // receives each input

// Stops the run on a broken expectation, naming it.
#define check(ok)                                                             \
    do {                                                                      \
        if (!(ok)) {                                                          \
            fprintf(stderr, "fuzz_readnext.cpp:%d: %s\n", __LINE__, #ok);     \
            abort();                                                          \
        }                                                                     \
    } while (0)

// A dialect built from the setting bytes.
DATAFILE_DIALECT makeDialect(const uint8_t* h) {
    DATAFILE_DIALECT d;
    static const DATAFILE_LAYOUT layouts[] = {DATAFILE_LAYOUT::None, DATAFILE_LAYOUT::Fixed,
                                              DATAFILE_LAYOUT::Delimited};
    d.layout = layouts[h[0] % 3];
    // Bytes up to the first zero one, as a description's converted notation gives them.
    auto bytes = [](const uint8_t* p, size_t n) {
        std::string text(reinterpret_cast<const char*>(p), n);
        return text.substr(0, text.find('\0'));
    };
    switch (h[1] % 5) {
        case 0: d.lineEnd = "\r\n"; break;
        case 1: d.lineEnd = "\n"; break;
        case 2: d.lineEnd = "\r"; break;
        case 3: break;
        default: d.lineEnd = bytes(h + 2, 1 + (h[1] >> 3) % 3); break;
    }
    switch (h[5] % 4) {
        case 0: d.delimiter = ";"; break;
        case 1: d.delimiter = ","; break;
        case 2: break;
        default: d.delimiter = bytes(h + 6, 1 + (h[5] >> 2) % 2); break;
    }
    const int nColumns = h[8] % 6;
    for (int i = 0; i < nColumns; ++i) {
        DATAFILE_COLUMN_DIALECT c;
        c.width = (h[12] + i * 7) % 9 - 1;  // -1 .. 7
        c.isProtected = ((h[9] >> i) & 1) != 0;
        c.quoteStart = static_cast<char>(h[10]);
        c.quoteEnd = static_cast<char>(h[11]);
        d.columns.push_back(c);
    }
    d.header = (h[13] & 1) != 0;
    d.firstLine = (h[13] >> 2) % 5;
    d.unquote = (h[15] & 1) != 0;
    d.quoteChar = d.unquote ? static_cast<char>(h[10]) : '\0';
    static const char* const encodings[] = {"", "UTF-8", "ISO-8859-1", "UTF-16LE"};
    d.encoding = (h[15] & 8) ? "NO-SUCH-ENCODING" : encodings[(h[15] >> 1) & 3];
    return d;
}

// The row's values put back together must give the row (delimited) or its start (fixed);
// unquoted values lose their protecting characters, so only their form is checked then.
void checkRow(DATAFILE* reader, LDCG* row) {
    const DATAFILE_DIALECT& d = reader->dialect;
    const bool delimited = d.layout == DATAFILE_LAYOUT::Delimited;
    const bool unquoted = d.unquote && delimited;
    std::string joined;
    const std::string& delim = d.delimiter;
    for (LDCG_ELT* elt = row->first; elt; elt = elt->next) {
        auto* value = static_cast<DATACOLUMN*>(elt->lParam1);
        check(value && value->length >= 0 && value->value[value->length] == '\0');
        if (delimited && elt != row->first) joined += delim;
        joined.append(value->value, value->length);
    }
    if (unquoted) return;
    std::string text(reader->currentRow, reader->currentRowLength);
    // The limit counts bytes as read; a converted row may hold more bytes than it read.
    if (d.encoding.empty())
        check(reader->currentRowLength <= reader->nCarMaxReadWithoutNewLine + 1);
    if (delimited) {
        check(joined == text);
    } else {
        check(text.compare(0, joined.size(), joined) == 0);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    gInput.open("fuzz_readnext");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < SETTINGS) return 0;
    const uint8_t* h = data;
    if (!gInput.write(data + SETTINGS, size - SETTINGS)) return 0;
    const double content = static_cast<double>(size - SETTINGS);

    const DATAFILE_DIALECT dialect = makeDialect(h);
    int limit = h[14] <= 200 ? h[14] : 0;
    DATAFILE* reader =
        DATAFILE_NewIterator(dialect, gInput.path().c_str(), limit, (h[13] >> 1) & 1);
    check(reader != nullptr);
    check(DATAFILE_GetFileSize(reader) == content);
    if (h[15] & 8) {  // an encoding no converter knows: the reading does not start
        check(DATAFILE_Init(reader) == 1);
        DATAFILE_DestroyIterator(reader);
        return 0;
    }
    check(DATAFILE_Init(reader) == 0);
    // The same file through the reading without copies must give the same values.
    DATAFILE* fieldsReader =
        DATAFILE_NewIterator(dialect, gInput.path().c_str(), limit, (h[13] >> 1) & 1);
    check(fieldsReader != nullptr && DATAFILE_Init(fieldsReader) == 0);
    std::vector<DATAFIELD> fields;
    // An unquoting reading splits a row where its quote scan found the fields; after a
    // conversion it splits afresh. On ASCII text, ISO-8859-1 converts nothing: same values.
    const bool ascii =
        std::all_of(data + SETTINGS, data + size, [](uint8_t c) { return c < 0x80; });
    DATAFILE* afreshReader = nullptr;
    std::vector<DATAFIELD> afreshFields;
    if (ascii && dialect.unquote && dialect.layout == DATAFILE_LAYOUT::Delimited &&
        dialect.encoding.empty()) {
        DATAFILE_DIALECT afresh = dialect;
        afresh.encoding = "ISO-8859-1";
        afreshReader =
            DATAFILE_NewIterator(afresh, gInput.path().c_str(), limit, (h[13] >> 1) & 1);
        check(afreshReader != nullptr && DATAFILE_Init(afreshReader) == 0);
    }
    double lastPosition = 0;
    size_t rows = 0;
    while (LDCG* row = DATAFILE_ReadNext(reader)) {
        checkRow(reader, row);
        check(DATAFILE_ReadNextFields(fieldsReader, fields));
        check(static_cast<size_t>(LDCG_Count(row)) == fields.size());
        size_t i = 0;
        for (LDCG_ELT* elt = row->first; elt; elt = elt->next, ++i) {
            auto* value = static_cast<DATACOLUMN*>(elt->lParam1);
            check(std::string(value->value, value->length) ==
                  std::string(fields[i].value, fields[i].length));
        }
        if (afreshReader) {
            check(DATAFILE_ReadNextFields(afreshReader, afreshFields));
            check(afreshFields.size() == fields.size());
            for (size_t k = 0; k < fields.size(); ++k)
                check(std::string(fields[k].value, fields[k].length) ==
                      std::string(afreshFields[k].value, afreshFields[k].length));
        }
        LDCG_Destroy(row, LDCG_KEEP_ROOT, LDCG_RELEASE_BOTH);
        double position = DATAFILE_GetReadBytes(reader);
        // Every row moves on; a decoded UTF-16 stream tells the position of the block read, the
        // same for every row of the block.
        const bool sameBlock = dialect.encoding.rfind("UTF-16", 0) == 0;
        check((position > lastPosition || (sameBlock && position == lastPosition)) &&
              position <= content);
        lastPosition = position;
        check(++rows <= size);
    }
    check(DATAFILE_GetReadBytes(reader) == content || dialect.layout == DATAFILE_LAYOUT::None ||
          (dialect.layout == DATAFILE_LAYOUT::Fixed && dialect.columns.empty()));
    check(!DATAFILE_ReadNextFields(fieldsReader, fields));
    DATAFILE_DestroyIterator(fieldsReader);
    if (afreshReader) {
        check(!DATAFILE_ReadNextFields(afreshReader, afreshFields));
        DATAFILE_DestroyIterator(afreshReader);
    }
    DATAFILE_DestroyIterator(reader);
    return 0;
}
