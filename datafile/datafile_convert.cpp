// Conversion of the rows to UTF-8: the converter of the dialect's encoding prepared once
// per reading, rows converted (or, for UTF-8, checked) one at a time.
#include <iconv.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "datafile/datafile_internal.h"
#include "foundation/trace.h"
#include "foundation/utf8.h"

namespace datafile_internal {

namespace {

// True when `name` is one of iconv's names of WINDOWS-1252.
bool isWindows1252(std::string name) {
    for (char& c : name) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return name == "WINDOWS-1252" || name == "CP1252" || name == "MS-ANSI";
}

}  // namespace

// Sets up the conversion named by the dialect's encoding; false (traced) when the name
// is not known.
bool PrepareDecoding(DATAFILE* reader) {
    DATAFILE_BUFFER* buf = reader->buffer;
    if (buf->decoder != NO_DECODER) iconv_close(buf->decoder);
    buf->decoder = NO_DECODER;
    buf->streamDecode = false;
    buf->checkOnly = false;
    const char* encoding = reader->dialect.encoding.c_str();
    if (!encoding[0]) return true;
    const std::string name(encoding);
    if (name == "UTF-8" || name == "UTF8") {
        buf->checkOnly = true;
        buf->bomPending = true;
        return true;
    }
    buf->decoder = iconv_open("UTF-8", encoding);
    if (buf->decoder == NO_DECODER) {
        morvex::trace("\n[DATAFILE_Init] Encodage inconnu : [%s]", encoding);
        return false;
    }
    buf->byteTable.clear();
    if (name.rfind("UTF-16", 0) != 0) {
        // One iconv call per byte value now, then a table lookup per byte of every row.
        std::vector<std::string> table(256);
        bool singleByte = true;
        for (int b = 0; b < 256 && singleByte; ++b) {
            char in = static_cast<char>(b);
            char out[8];
            char* inPtr = &in;
            char* outPtr = out;
            size_t inLeft = 1;
            size_t outLeft = sizeof out;
            iconv(buf->decoder, nullptr, nullptr, nullptr, nullptr);
            if (iconv(buf->decoder, &inPtr, &inLeft, &outPtr, &outLeft) !=
                static_cast<size_t>(-1)) {
                table[b].assign(out, static_cast<size_t>(outPtr - out));
            } else if (errno == EINVAL) {
                singleByte = false;  // a byte that starts a longer sequence
            }
        }
        if (singleByte && isWindows1252(name)) {
            // The five bytes WINDOWS-1252 leaves undefined (iconv refuses them) are read as
            // the C1 control characters of the same value, as the WHATWG encoding standard
            // reads them: files written on other systems hold them, and they are no reason to
            // set a row aside.
            for (const unsigned char b : {0x81, 0x8D, 0x8F, 0x90, 0x9D})
                if (table[b].empty()) table[b] = {'\xC2', static_cast<char>(b)};
        }
        if (singleByte) buf->byteTable = std::move(table);
    }
    if (name.rfind("UTF-16", 0) == 0) {
        buf->streamDecode = true;
        buf->checkOnly = true;  // the decoded stream marks its invalid sequences
        buf->bomPending = true;
        if (!buf->raw) buf->raw = static_cast<char*>(malloc(RAW_CHUNK));
        if (!buf->raw) return false;
    }
    return true;
}

// Brings the row read into UTF-8 following the dialect's encoding. An invalid sequence
// leaves the row as read, sets rowEncodingError and is traced; false only when out of memory.
bool ConvertRow(DATAFILE* reader) {
    DATAFILE_BUFFER* buf = reader->buffer;
    bool valid;
    if (buf->checkOnly) {
        valid = morvex::utf8IsValid(std::string_view(buf->row, buf->rowLen));
    } else if (!buf->byteTable.empty()) {
        std::string& out = buf->converted;
        out.clear();
        valid = true;
        const auto* row = reinterpret_cast<const unsigned char*>(buf->row);
        for (size_t i = 0; i < buf->rowLen && valid; ++i) {
            if (row[i] < 0x80) {
                out += static_cast<char>(row[i]);
            } else {
                const std::string& utf8 = buf->byteTable[row[i]];
                valid = !utf8.empty();
                out += utf8;
            }
        }
        if (valid) {
            if (out.size() + 1 > buf->rowCap) {
                char* grown = static_cast<char*>(realloc(buf->row, out.size() + 1));
                if (!grown) return false;
                buf->row = grown;
                buf->rowCap = out.size() + 1;
            }
            memcpy(buf->row, out.data(), out.size());
            buf->rowLen = out.size();
            buf->row[buf->rowLen] = '\0';
        }
    } else {
        // A single-byte character becomes at most 3 bytes.
        const size_t need = buf->rowLen * 3 + 1;
        if (need > buf->convCap) {
            char* grown = static_cast<char*>(realloc(buf->conv, need));
            if (!grown) return false;
            buf->conv = grown;
            buf->convCap = need;
        }
        iconv(buf->decoder, nullptr, nullptr, nullptr, nullptr);
        char* in = buf->row;
        size_t inLeft = buf->rowLen;
        char* out = buf->conv;
        size_t outLeft = buf->convCap - 1;
        valid = iconv(buf->decoder, &in, &inLeft, &out, &outLeft) != static_cast<size_t>(-1);
        if (valid) {
            const size_t converted = static_cast<size_t>(out - buf->conv);
            std::swap(buf->row, buf->conv);
            std::swap(buf->rowCap, buf->convCap);
            buf->rowLen = converted;
            buf->row[converted] = '\0';
        }
    }
    if (!valid) {
        reader->rowEncodingError = 1;
        morvex::trace("\n[DATAFILE_ReadNext] Ligne %i : séquence invalide pour l'encodage %s.",
                      reader->currentRowFirstLine, reader->dialect.encoding.c_str());
    }
    return true;
}

}  // namespace datafile_internal
