#include "datafile/bytesource.h"

#include <bzlib.h>
#include <isa-l/igzip_lib.h>
#include <lzma.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <zstd.h>

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include "foundation/inputfile.h"
#include "foundation/owned.h"

namespace morvex {

namespace {

// Bytes of the file read at a time for the decompressors.
constexpr size_t kInputChunk = 256 * 1024;
// Bytes of text per block handed from the decompressing thread to the reads, and how many
// blocks it may hold ready: enough to keep both cores busy, little memory.
constexpr size_t kTextBlock = ByteSource::kBlockBytes;
constexpr size_t kBlocksAhead = 4;
// The most bytes a gzip member's header may take (its name, comment and extra field).
constexpr size_t kLongestGzipHeader = 1 << 20;
// The pipe's capacity asked for when the file is one (Linux's default limit for a process
// without privileges): the writer runs a whole block ahead of the reads, and each read takes
// a block in a few calls instead of sixteen.
constexpr int kPipeCapacity = 1 << 20;
// The first bytes read to tell a file's kind.
constexpr size_t kHeadSize = 10;

const char* const kReadError = kFileReadError;
const char* const kNoMemory = "mémoire insuffisante pour décompresser le fichier";

const char* cutText(ByteSource::Kind kind) {
    switch (kind) {
        case ByteSource::Kind::Gzip:
            return "flux gzip tronqué ou corrompu";
        case ByteSource::Kind::Zstd:
            return "flux zstd tronqué ou corrompu";
        case ByteSource::Kind::Xz:
            return "flux xz tronqué ou corrompu";
        case ByteSource::Kind::Bzip2:
            return "flux bzip2 tronqué ou corrompu";
        case ByteSource::Kind::Plain:
            break;
    }
    return kReadError;
}

}  // namespace

ByteSource::Kind byteSourceKind(const char* head, size_t size) {
    if (size >= 2 && memcmp(head, "\x1F\x8B", 2) == 0) return ByteSource::Kind::Gzip;
    if (size >= 4 && memcmp(head, "\x28\xB5\x2F\xFD", 4) == 0) return ByteSource::Kind::Zstd;
    if (size >= 6 && memcmp(head, "\xFD\x37\x7A\x58\x5A\x00", 6) == 0) return ByteSource::Kind::Xz;
    // "BZh" opens many a text: the level and the magic number of a first block (or of the end
    // of an empty stream) must follow.
    if (size >= 10 && memcmp(head, "BZh", 3) == 0 && head[3] >= '1' && head[3] <= '9' &&
        (memcmp(head + 4, "\x31\x41\x59\x26\x53\x59", 6) == 0 ||
         memcmp(head + 4, "\x17\x72\x45\x38\x50\x90", 6) == 0))
        return ByteSource::Kind::Bzip2;
    return ByteSource::Kind::Plain;
}

// The decompressing thread of a compressed source: it reads the file, decompresses it into
// blocks of text and queues them (kBlocksAhead at most) for the reads. Everything above the
// queue belongs to the thread while it runs; the queue is shared under `lock`.
struct ByteSource::Worker {
    // A block's bytes, kTextBlock of them, from malloc: the reads may hand one over to a
    // reader in exchange for its own buffer of the same size (readBlock).
    struct FreeBytes {
        void operator()(char* p) const { free(p); }
    };
    using Bytes = std::unique_ptr<char, FreeBytes>;
    struct Block {
        Bytes text;
        size_t size = 0;                // bytes of text in `text`
        int64_t fileBytes = 0;          // bytes of the file behind the text up to this block
        bool last = false;              // no block follows
        const char* failure = nullptr;  // why the text ended early (last block only)
    };

    // ---- the thread's own ----
    FILE* file;
    int64_t limit;
    Kind kind;
    int64_t taken = 0;  // bytes read from the file
    std::string in;     // bytes read and not yet decompressed, from inPos
    size_t inPos = 0;
    bool inputEnded = false;  // the file (or the limit) gave no more bytes
    bool streamEnded;         // the last gzip member, zstd frame or bzip2 stream is complete
    const char* failure = nullptr;
    // gzip through ISA-L's inflate, its state (some 40 KiB of tables and history) with the
    // worker; each member is read with its own header and checked by its CRC-32 and size.
    std::unique_ptr<inflate_state> gz;
    enum class GzPart { Header, Body } gzPart = GzPart::Header;
    ZSTD_DCtx* zstd = nullptr;
    lzma_stream xz = LZMA_STREAM_INIT;
    bool xzOpen = false;
    bz_stream bz{};
    bool bzOpen = false;

    // ---- shared ----
    std::mutex lock;
    std::condition_variable ready;  // a block was queued
    std::condition_variable room;   // a block was taken, or the thread is asked to stop
    std::deque<Block> queue;
    std::vector<Bytes> spare;  // buffers given back by the reads, taken again by the thread
    bool stop = false;
    std::thread thread;

    // ---- the reads' own ----
    Block current;
    size_t currentPos = 0;
    bool started = false;
    int64_t fileBytesGiven = 0;

    Worker(FILE* f, int64_t lim, Kind k, std::string head)
        : file(f), limit(lim), kind(k), in(std::move(head)), streamEnded(k != Kind::Xz) {
        taken = static_cast<int64_t>(in.size());
        bool open = false;
        switch (kind) {
            case Kind::Gzip:
                gz.reset(new (std::nothrow) inflate_state());
                open = gz != nullptr;
                break;
            case Kind::Zstd:
                open = (zstd = ZSTD_createDCtx()) != nullptr;
                break;
            case Kind::Xz:
                // Streams one after the other are one text, as xz itself reads them.
                open = xzOpen = lzma_stream_decoder(&xz, UINT64_MAX, LZMA_CONCATENATED) == LZMA_OK;
                break;
            case Kind::Bzip2:
                open = true;
                break;  // opened at each stream's start
            case Kind::Plain:
                break;
        }
        if (!open) failure = kNoMemory;
    }

    ~Worker() {
        halt();
        ZSTD_freeDCtx(zstd);
        if (xzOpen) lzma_end(&xz);
        if (bzOpen) BZ2_bzDecompressEnd(&bz);
    }

    void start() {
        started = true;
        thread = std::thread([this] { run(); });
    }

    // One step of a gzip member: its header, or its deflate data and trailer. The header is
    // parsed whole or not at all (the caller then brings more of the file): ISA-L's parsing
    // of a header split between two calls does not always resume right.
    bool gzipStep(uint8_t* data, size_t size, char* dst, size_t room, size_t& have) {
        if (streamEnded) {
            if (size == 0) return true;
            gzPart = GzPart::Header;  // a file may hold gzip members one after the other
            streamEnded = false;
        }
        switch (gzPart) {
            case GzPart::Header: {
                isal_inflate_init(gz.get());
                isal_gzip_header header{};
                isal_gzip_header_init(&header);  // no buffers: the name and comment are skipped
                gz->next_in = data;
                gz->avail_in = static_cast<uint32_t>(std::min<size_t>(size, UINT32_MAX));
                const int rc = isal_read_gzip_header(gz.get(), &header);
                // Read again with more bytes, up to a bound no real header's name comes near.
                if (rc == ISAL_END_INPUT) return size < kLongestGzipHeader;
                if (rc != ISAL_DECOMP_OK) return false;
                inPos += static_cast<size_t>(gz->next_in - data);
                // The trailer's CRC-32 and size checked against the text by isal_inflate.
                gz->crc_flag = ISAL_GZIP_NO_HDR_VER;
                gzPart = GzPart::Body;
                return true;
            }
            case GzPart::Body: {
                // Bounded by 4 GiB less a byte, as its counts are: the caller comes back.
                const auto inGiven = static_cast<uint32_t>(std::min<size_t>(size, UINT32_MAX));
                gz->next_in = data;
                gz->avail_in = inGiven;
                gz->next_out = reinterpret_cast<uint8_t*>(dst + have);
                gz->avail_out = static_cast<uint32_t>(std::min<size_t>(room - have, UINT32_MAX));
                const uint32_t outRoom = gz->avail_out;
                const int rc = isal_inflate(gz.get());
                // At the member's end the bytes read ahead past its trailer are given back.
                inPos += inGiven - gz->avail_in;
                have += outRoom - gz->avail_out;
                if (rc != ISAL_DECOMP_OK) return false;
                if (gz->block_state == ISAL_BLOCK_FINISH) streamEnded = true;
                return true;
            }
        }
        return false;
    }

    // Asks the thread to stop and waits for it.
    void halt() {
        {
            std::lock_guard<std::mutex> guard(lock);
            stop = true;
        }
        room.notify_all();
        if (thread.joinable()) thread.join();
    }

    void run() {
        for (;;) {
            Block block;
            {
                std::lock_guard<std::mutex> guard(lock);
                if (!spare.empty()) {
                    block.text = std::move(spare.back());
                    spare.pop_back();
                }
            }
            if (!block.text) block.text.reset(static_cast<char*>(malloc(kTextBlock)));
            size_t have = 0;
            bool more = failure == nullptr;
            if (!block.text) {
                failure = kNoMemory;
                more = false;
            }
            while (more && have < kTextBlock)
                more = decompress(block.text.get(), kTextBlock, have);
            block.size = have;
            block.fileBytes = taken - static_cast<int64_t>(in.size() - inPos);
            block.last = !more;
            block.failure = failure;
            std::unique_lock<std::mutex> guard(lock);
            room.wait(guard, [this] { return stop || queue.size() < kBlocksAhead; });
            if (stop) return;
            queue.push_back(std::move(block));
            guard.unlock();
            ready.notify_one();
            if (!more) return;
        }
    }

    // Reads the next bytes of the file behind what waits in `in`.
    void readInput() {
        if (inPos > 0) {
            in.erase(0, inPos);
            inPos = 0;
        }
        const int64_t left = limit - taken;
        const size_t want = left < static_cast<int64_t>(kInputChunk)
                                ? static_cast<size_t>(std::max<int64_t>(left, 0))
                                : kInputChunk;
        const size_t had = in.size();
        in.resize(had + want);
        const size_t n = want > 0 ? fread(in.data() + had, 1, want, file) : 0;
        in.resize(had + n);
        taken += static_cast<int64_t>(n);
        if (n == 0) {
            inputEnded = true;
            if (ferror(file)) failure = kReadError;
        }
    }

    // Decompresses the next bytes into dst[have, size), `have` advanced; false at the text's
    // end or on failure (`failure` set).
    bool decompress(char* dst, size_t size, size_t& have) {
        if (inPos == in.size() && !inputEnded) readInput();
        if (failure) return false;
        const bool noInput = inPos == in.size();
        if (noInput && inputEnded && streamEnded) return false;
        const size_t inBefore = inPos;
        const size_t outBefore = have;
        if (!step(dst, size, have)) {
            failure = cutText(kind);
            return false;
        }
        if (have == outBefore && inPos == inBefore) {
            // No progress: the codec wants more input than waits in `in`, or the file ended
            // inside a stream.
            if (inputEnded) {
                if (!streamEnded) failure = cutText(kind);
                return false;
            }
            readInput();
        }
        return true;
    }

    // One call of the codec over what waits in `in`; false on a corrupt stream.
    bool step(char* dst, size_t size, size_t& have) {
        char* const inData = in.data() + inPos;
        const size_t inLeft = in.size() - inPos;
        switch (kind) {
            case Kind::Gzip:
                return gzipStep(reinterpret_cast<uint8_t*>(inData), inLeft, dst, size, have);
            case Kind::Zstd: {
                ZSTD_inBuffer input{inData, inLeft, 0};
                ZSTD_outBuffer output{dst, size, have};
                const size_t rc = ZSTD_decompressStream(zstd, &output, &input);
                if (ZSTD_isError(rc)) return false;
                inPos += input.pos;
                have = output.pos;
                streamEnded = rc == 0;
                return true;
            }
            case Kind::Xz: {
                xz.next_in = reinterpret_cast<const uint8_t*>(inData);
                xz.avail_in = inLeft;
                xz.next_out = reinterpret_cast<uint8_t*>(dst + have);
                xz.avail_out = size - have;
                const lzma_ret rc = lzma_code(&xz, inputEnded ? LZMA_FINISH : LZMA_RUN);
                inPos += inLeft - xz.avail_in;
                have = size - xz.avail_out;
                if (rc == LZMA_STREAM_END) streamEnded = true;
                // LZMA_BUF_ERROR: no progress possible, which the caller tells from the counts.
                return rc == LZMA_OK || rc == LZMA_STREAM_END || rc == LZMA_BUF_ERROR;
            }
            case Kind::Bzip2: {
                if (streamEnded) {
                    if (inLeft == 0) return true;
                    // A stream begins (pbzip2 and others write several one after the other).
                    if (bzOpen) BZ2_bzDecompressEnd(&bz);
                    bz = bz_stream{};
                    bzOpen = BZ2_bzDecompressInit(&bz, 0, 0) == BZ_OK;
                    if (!bzOpen) return false;
                    streamEnded = false;
                }
                bz.next_in = inData;
                bz.avail_in = static_cast<unsigned>(inLeft);
                bz.next_out = dst + have;
                bz.avail_out = static_cast<unsigned>(size - have);
                const int rc = BZ2_bzDecompress(&bz);
                inPos += inLeft - bz.avail_in;
                have = size - bz.avail_out;
                if (rc == BZ_STREAM_END) streamEnded = true;
                return rc == BZ_OK || rc == BZ_STREAM_END;
            }
            case Kind::Plain:
                break;
        }
        return false;
    }

    // Makes `current` a block with text still to give; false at the text's end or on failure
    // (`*why` then set, or nullptr).
    bool nextBlock(const char** why) {
        if (!started) start();
        while (currentPos == current.size) {
            if (current.last) {
                *why = current.failure;
                return false;
            }
            {
                std::unique_lock<std::mutex> guard(lock);
                if (current.text) spare.push_back(std::move(current.text));
                ready.wait(guard, [this] { return !queue.empty(); });
                current = std::move(queue.front());
                queue.pop_front();
            }
            room.notify_one();
            currentPos = 0;
            fileBytesGiven = current.fileBytes;
        }
        return true;
    }

    // Up to `want` bytes of text; 0 at its end or on failure (`*why` then set, or nullptr).
    size_t take(char* dst, size_t want, const char** why) {
        if (!nextBlock(why)) return 0;
        const size_t n = std::min(want, current.size - currentPos);
        memcpy(dst, current.text.get() + currentPos, n);
        currentPos += n;
        return n;
    }

    // The next block whole in exchange for `*block` (kTextBlock bytes from malloc), when
    // nothing of it was given yet; otherwise copied as take() does.
    size_t swap(char** block, const char** why) {
        if (!nextBlock(why)) return 0;
        if (currentPos != 0) return take(*block, kTextBlock, why);
        char* given = current.text.release();
        current.text.reset(*block);
        *block = given;
        currentPos = current.size;
        return current.size;
    }
};

ByteSource::ByteSource(FILE* file, int64_t limit) : file_(file), limit_(limit) {
    struct stat st;
    if (file_ && fstat(fileno(file_), &st) == 0 && S_ISFIFO(st.st_mode))
        (void)fcntl(fileno(file_), F_SETPIPE_SZ, kPipeCapacity);  // a smaller pipe works too
    restart();
}

ByteSource::~ByteSource() {
    stopWorker();
}

void ByteSource::stopWorker() {
    worker_.reset();
}

// From where the file stands (its start): its first bytes read and its kind told.
bool ByteSource::restart() {
    stopWorker();
    taken_ = 0;
    produced_ = 0;
    head_.clear();
    headPos_ = 0;
    failure_ = nullptr;
    if (!file_) return false;
    char head[kHeadSize];
    const size_t got =
        fread(head, 1, std::min<int64_t>(sizeof head, std::max<int64_t>(limit_, 0)), file_);
    kind_ = byteSourceKind(head, got);
    if (kind_ != Kind::Plain) {
        worker_ = std::make_unique<Worker>(file_, limit_, kind_, std::string(head, got));
        return true;
    }
    // A plain file that can be sought is read again from its start with nothing held back, so
    // that its reader may seek it as any file; a pipe's first bytes are kept for the reads.
    if (fseeko(file_, 0, SEEK_SET) != 0) {
        head_.assign(head, got);
        taken_ = static_cast<int64_t>(got);
    }
    clearerr(file_);
    return true;
}

size_t ByteSource::readPlain(char* dst, size_t want) {
    size_t given = 0;
    if (headPos_ < head_.size()) {
        given = std::min(want, head_.size() - headPos_);
        memcpy(dst, head_.data() + headPos_, given);
        headPos_ += given;
    }
    if (given < want) {
        const int64_t left = limit_ - taken_;
        size_t more = want - given;
        if (left < static_cast<int64_t>(more)) more = left > 0 ? static_cast<size_t>(left) : 0;
        const size_t n = more > 0 ? fread(dst + given, 1, more, file_) : 0;
        if (n == 0 && more > 0 && ferror(file_)) failure_ = kReadError;
        taken_ += static_cast<int64_t>(n);
        given += n;
    }
    return given;
}

bool ByteSource::endAt(int64_t offset) {
    if (kind_ != Kind::Plain || offset < taken_) return false;
    limit_ = std::min(limit_, offset);
    return true;
}

size_t ByteSource::readBlock(char** block, size_t size) {
    if (kind_ == Kind::Plain || size != kTextBlock || !file_ || failure_) return read(*block, size);
    const size_t n = worker_->swap(block, &failure_);
    produced_ += static_cast<int64_t>(n);
    return n;
}

size_t ByteSource::read(char* dst, size_t want) {
    if (!file_ || failure_ || want == 0) return 0;
    const size_t n =
        kind_ == Kind::Plain ? readPlain(dst, want) : worker_->take(dst, want, &failure_);
    produced_ += static_cast<int64_t>(n);
    return n;
}

bool ByteSource::seek(int64_t offset) {
    if (!file_ || offset < 0) return false;
    if (kind_ == Kind::Plain) {
        if (!head_.empty() || fseeko(file_, static_cast<off_t>(offset), SEEK_SET) != 0)
            return false;
        taken_ = offset;
        produced_ = offset;
        failure_ = nullptr;
        return true;
    }
    if (offset < produced_) {
        stopWorker();  // the file is the thread's until it has stopped
        if (fseeko(file_, 0, SEEK_SET) != 0) return false;
        clearerr(file_);
        if (!restart()) return false;
    }
    std::string skip(64 * 1024, '\0');
    while (produced_ < offset) {
        const int64_t left = offset - produced_;
        const size_t want =
            left < static_cast<int64_t>(skip.size()) ? static_cast<size_t>(left) : skip.size();
        if (read(skip.data(), want) == 0) return false;
    }
    return true;
}

int64_t ByteSource::fileBytesRead() const {
    if (worker_) return worker_->fileBytesGiven;
    return taken_ - static_cast<int64_t>(head_.size() - headPos_);
}

std::string textFileStem(const std::string& path) {
    std::filesystem::path name = std::filesystem::path(path).filename();
    const std::string ext = name.extension().string();
    if (ext == ".gz" || ext == ".zst" || ext == ".gzip" || ext == ".zstd" || ext == ".xz" ||
        ext == ".bz2")
        name = name.stem();
    return name.stem().string();
}

bool isCompressedFile(const char* path) {
    FilePtr f(path ? openInputFile(path, nullptr) : nullptr);
    char head[kHeadSize];
    return f &&
           byteSourceKind(head, fread(head, 1, sizeof head, f.get())) != ByteSource::Kind::Plain;
}

std::string readTextSample(const char* path, size_t size, const char** failure) {
    if (failure) *failure = nullptr;
    std::string sample;
    if (!path) return sample;
    FilePtr f(openInputFile(path, nullptr));  // a named pipe or a device is no sample
    if (!f) return sample;
    setvbuf(f.get(), nullptr, _IONBF, 0);
    ByteSource source(f.get(), INT64_MAX);
    sample.resize(size);
    size_t have = 0;
    while (have < size) {
        const size_t n = source.read(sample.data() + have, size - have);
        if (n == 0) break;
        have += n;
    }
    sample.resize(have);
    if (failure) *failure = source.failure();
    return sample;
}

}  // namespace morvex
