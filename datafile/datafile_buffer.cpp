// The block buffer of a reader: the file read in blocks of DATAFILE_BLOCK_SIZE bytes up to the
// size it had when the reading began, UTF-16 streams decoded to UTF-8 block by block, and the
// reused row storage.
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <climits>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

#include "datafile/datafile_internal.h"
#include "foundation/inputfile.h"
#include "foundation/trace.h"

namespace datafile_internal {

// Size of the file at `path` in bytes, -1 when it cannot be opened or measured.
int64_t fileSize64(const char* path) {
    const int fd = morvex::openInputFd(path, nullptr);
    if (fd < 0) return -1;
    struct stat st;
    const int64_t size = fstat(fd, &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
    close(fd);
    return size;
}

// True when `path` opens for reading and is a regular file (a named pipe or a device is
// refused without waiting on it).
bool opensAsFile(const char* path) {
    const int fd = morvex::openInputFd(path, nullptr);
    if (fd < 0) return false;
    close(fd);
    return true;
}

DATAFILE_BUFFER* newBuffer() {
    auto* buf = new (std::nothrow) DATAFILE_BUFFER{};
    if (!buf) return nullptr;
    buf->block = static_cast<char*>(malloc(DATAFILE_BLOCK_SIZE));
    buf->row = static_cast<char*>(malloc(ROW_INITIAL_CAPACITY));
    if (!buf->block || !buf->row) {
        free(buf->block);
        free(buf->row);
        delete buf;
        return nullptr;
    }
    buf->rowCap = ROW_INITIAL_CAPACITY;
    buf->row[0] = '\0';
    buf->decoder = NO_DECODER;
    return buf;
}

void destroyBuffer(DATAFILE_BUFFER* buf) {
    if (!buf) return;
    buf->source.reset();
    if (buf->decoder != NO_DECODER) iconv_close(buf->decoder);
    free(buf->block);
    free(buf->row);
    free(buf->raw);
    free(buf->conv);
    delete buf;
}

// Back to the start of the file with an empty block.
void resetBuffer(DATAFILE_BUFFER* buf) {
    buf->pos = 0;
    buf->len = 0;
    buf->blockStart = 0;
    buf->eof = false;
    buf->rowLen = 0;
    buf->row[0] = '\0';
    buf->rawLen = 0;
    buf->rawEof = false;
    buf->rawConsumed = 0;
    buf->bomPending = false;
    buf->source.reset();  // its thread stopped: the reader may close the file
}

// Decodes the next bytes of a UTF-16 file into the block; 0 bytes at the end of the file.
// An invalid sequence (or one cut by the end of the file) becomes INVALID_MARK.
size_t decodeBlock(DATAFILE* reader) {
    DATAFILE_BUFFER* buf = reader->buffer;
    size_t produced = 0;
    while (produced == 0) {
        if (!buf->rawEof && buf->rawLen < RAW_CHUNK) {
            // The source takes no more of the file than its size when the reading began.
            const size_t want = RAW_CHUNK - buf->rawLen;
            const size_t n = buf->source->read(buf->raw + buf->rawLen, want);
            if (n == 0) buf->rawEof = true;
            buf->rawLen += n;
            buf->rawConsumed += static_cast<int64_t>(n);
        }
        if (buf->rawLen == 0) return 0;
        char* in = buf->raw;
        size_t inLeft = buf->rawLen;
        char* out = buf->block;
        size_t outLeft = DATAFILE_BLOCK_SIZE;
        while (inLeft > 0) {
            if (iconv(buf->decoder, &in, &inLeft, &out, &outLeft) != static_cast<size_t>(-1)) break;
            if (errno == E2BIG || outLeft == 0) break;
            if (errno == EINVAL && !buf->rawEof) break;  // the rest comes with the next read
            // Invalid, or incomplete at the end of the file: one code unit is marked.
            *out++ = INVALID_MARK;
            --outLeft;
            size_t skip = inLeft < 2 ? inLeft : 2;
            in += skip;
            inLeft -= skip;
        }
        memmove(buf->raw, in, inLeft);
        buf->rawLen = inLeft;
        produced = static_cast<size_t>(out - buf->block);
        if (produced == 0 && buf->rawEof && inLeft == 0) return 0;
    }
    return produced;
}

namespace {

int64_t mtimeNs(const struct stat& st) {
    return static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

}  // namespace

bool fileHasChanged(DATAFILE* reader) {
    DATAFILE_BUFFER* buf = reader->buffer;
    if (!buf->watched) return false;
    struct stat st;
    if (fstat(fileno(reader->file), &st) == 0 && static_cast<int64_t>(st.st_size) == buf->sizeLimit &&
        mtimeNs(st) == buf->watchedMtimeNs)
        return false;
    if (!reader->fileChanged) {
        reader->fileChanged = 1;
        reader->failure = "le fichier a changé (taille ou date de modification) pendant la lecture";
        morvex::trace("\n[DATAFILE_ReadNext] Le fichier [%s] a changé pendant la lecture.",
                      reader->path);
    }
    buf->eof = true;
    buf->len = 0;
    buf->pos = 0;
    return true;
}

void watchFile(DATAFILE* reader) {
    DATAFILE_BUFFER* buf = reader->buffer;
    struct stat st;
    buf->watched = fstat(fileno(reader->file), &st) == 0 && S_ISREG(st.st_mode);
    buf->sizeLimit = buf->watched ? static_cast<int64_t>(st.st_size) : INT64_MAX;
    buf->watchedMtimeNs = buf->watched ? mtimeNs(st) : 0;
    buf->source = std::make_unique<morvex::ByteSource>(reader->file, buf->sizeLimit);
}

int64_t plainReadingOffset(const DATAFILE* reader) {
    const DATAFILE_BUFFER* buf = reader->buffer;
    if (!buf->watched || buf->streamDecode || !buf->source || buf->source->compressed()) return -1;
    return buf->source->fileOffset();
}

bool endPlainReadingAt(DATAFILE* reader, int64_t offset) {
    return plainReadingOffset(reader) >= 0 && reader->buffer->source->endAt(offset);
}

int64_t fileBytesRead(const DATAFILE* reader) {
    const DATAFILE_BUFFER* buf = reader->buffer;
    if (buf->source && buf->source->compressed()) return buf->source->fileBytesRead();
    return -1;
}

// A compressed source hands its decompressed blocks over whole only to a block of its size.
static_assert(DATAFILE_BLOCK_SIZE == morvex::ByteSource::kBlockBytes,
              "the reader's block and the byte source's differ in size");

// Reads the next block when the current one is used up; false at the end of the file. The
// file's size and time are checked once per block, and once more at its end.
bool refill(DATAFILE* reader) {
    DATAFILE_BUFFER* buf = reader->buffer;
    if (buf->pos < buf->len) return true;
    if (buf->eof || !reader->file) return false;
    if (fileHasChanged(reader)) return false;
    buf->blockStart += static_cast<int64_t>(buf->len);
    buf->pos = 0;
    // Bytes written after the reading began (a file still growing) are not read, its last line
    // could be half written: the source stops at the size the file had.
    buf->len = buf->streamDecode ? decodeBlock(reader)
                                 : buf->source->readBlock(&buf->block, DATAFILE_BLOCK_SIZE);
    if (buf->len == 0) {
        // The end: a file cut or rewritten after the last block was read is told too, and so
        // is a compressed stream cut short or corrupt (its rows cannot be trusted either).
        if (!fileHasChanged(reader) && buf->source->failure() && !reader->fileChanged) {
            reader->fileChanged = 1;
            reader->failure = buf->source->failure();
            morvex::trace("\n[DATAFILE_ReadNext] Le fichier [%s] : %s.", reader->path,
                          reader->failure);
        }
        buf->eof = true;
        return false;
    }
    if (buf->bomPending) {
        // The byte order mark, in UTF-8 (as decoded), opens the stream: it is no data.
        buf->bomPending = false;
        if (buf->len >= 3 && memcmp(buf->block, "\xEF\xBB\xBF", 3) == 0) buf->pos = 3;
        if (buf->pos >= buf->len) return refill(reader);
    }
    return true;
}

// Makes room for `extra` more bytes plus the terminator in the row; false when out of memory.
bool reserveRow(DATAFILE_BUFFER* buf, size_t extra) {
    size_t need = buf->rowLen + extra + 1;
    if (need <= buf->rowCap) return true;
    size_t cap = buf->rowCap;
    while (cap < need) cap = cap * 2;
    char* grown = static_cast<char*>(realloc(buf->row, cap));
    if (!grown) return false;
    buf->row = grown;
    buf->rowCap = cap;
    return true;
}

}  // namespace datafile_internal
