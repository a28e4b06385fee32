#include "datafile/bytesource.h"

#include <sys/types.h>
#include <zlib.h>
#include <zstd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "foundation/inputfile.h"
#include "foundation/owned.h"

namespace morvex {

namespace {

// Bytes of the file read at a time for the decompressors.
constexpr size_t kInputChunk = 256 * 1024;

const char* const kCutGzip = "flux gzip tronqué ou corrompu";
const char* const kCutZstd = "flux zstd tronqué ou corrompu";
const char* const kReadError = "erreur de lecture du fichier";

}  // namespace

ByteSource::Kind byteSourceKind(const char* head, size_t size) {
    if (size >= 2 && memcmp(head, "\x1F\x8B", 2) == 0) return ByteSource::Kind::Gzip;
    if (size >= 4 && memcmp(head, "\x28\xB5\x2F\xFD", 4) == 0) return ByteSource::Kind::Zstd;
    return ByteSource::Kind::Plain;
}

// The decompressor of a compressed source.
struct ByteSource::Codec {
    z_stream z{};
    bool zOpen = false;
    ZSTD_DCtx* zstd = nullptr;
    ~Codec() {
        if (zOpen) inflateEnd(&z);
        ZSTD_freeDCtx(zstd);
    }
};

ByteSource::ByteSource(FILE* file, int64_t limit) : file_(file), limit_(limit) {
    restart();
}

ByteSource::~ByteSource() = default;

// From the start of the file: its first bytes read again and its kind told.
bool ByteSource::restart() {
    taken_ = 0;
    produced_ = 0;
    in_.clear();
    inPos_ = 0;
    failure_ = nullptr;
    codec_.reset();
    if (!file_) return false;
    // Four bytes tell the kind; a plain file that can be sought is then read from its start
    // with nothing held back, so that its reader may seek it as any file.
    char head[4];
    const size_t got = fread(head, 1, std::min<int64_t>(sizeof head, std::max<int64_t>(limit_, 0)), file_);
    in_.assign(head, got);
    taken_ = static_cast<int64_t>(got);
    kind_ = byteSourceKind(in_.data(), in_.size());
    if (kind_ == Kind::Plain) {
        if (fseeko(file_, 0, SEEK_SET) == 0) {
            in_.clear();
            taken_ = 0;
        }
        clearerr(file_);
        return true;
    }
    codec_ = std::make_unique<Codec>();
    streamEnded_ = true;
    if (kind_ == Kind::Gzip) {
        // 15 + 32: a gzip or zlib header, the largest window.
        codec_->zOpen = inflateInit2(&codec_->z, 15 + 32) == Z_OK;
    } else {
        codec_->zstd = ZSTD_createDCtx();
    }
    if (!codec_->zOpen && !codec_->zstd) failure_ = kReadError;
    return failure_ == nullptr;
}

// Reads the next bytes of the file behind what waits in in_; the number read.
size_t ByteSource::fillInput() {
    if (inPos_ > 0) {
        in_.erase(0, inPos_);
        inPos_ = 0;
    }
    const int64_t left = limit_ - taken_;
    size_t want = kInputChunk;
    if (left < static_cast<int64_t>(want)) want = left > 0 ? static_cast<size_t>(left) : 0;
    if (want == 0) return 0;
    const size_t had = in_.size();
    in_.resize(had + want);
    const size_t n = fread(in_.data() + had, 1, want, file_);
    in_.resize(had + n);
    taken_ += static_cast<int64_t>(n);
    if (n == 0 && ferror(file_)) failure_ = kReadError;
    return n;
}

size_t ByteSource::readPlain(char* dst, size_t want) {
    size_t given = 0;
    if (inPos_ < in_.size()) {
        given = std::min(want, in_.size() - inPos_);
        memcpy(dst, in_.data() + inPos_, given);
        inPos_ += given;
        if (inPos_ == in_.size()) {
            in_.clear();
            inPos_ = 0;
        }
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

size_t ByteSource::read(char* dst, size_t want) {
    if (!file_ || failure_ || want == 0) return 0;
    if (kind_ == Kind::Plain) {
        const size_t n = readPlain(dst, want);
        produced_ += static_cast<int64_t>(n);
        return n;
    }
    size_t out = 0;
    while (out == 0) {
        if (inPos_ == in_.size() && fillInput() == 0) {
            // The file's end: the last stream must have ended with it.
            if (!streamEnded_ && !failure_) failure_ = kind_ == Kind::Gzip ? kCutGzip : kCutZstd;
            return 0;
        }
        if (kind_ == Kind::Gzip) {
            z_stream& z = codec_->z;
            if (streamEnded_) {
                inflateReset(&z);  // a file may hold gzip members one after the other
                streamEnded_ = false;
            }
            z.next_in = reinterpret_cast<Bytef*>(in_.data() + inPos_);
            z.avail_in = static_cast<uInt>(in_.size() - inPos_);
            z.next_out = reinterpret_cast<Bytef*>(dst);
            z.avail_out = static_cast<uInt>(want);
            const int rc = inflate(&z, Z_NO_FLUSH);
            inPos_ = in_.size() - z.avail_in;
            out = want - z.avail_out;
            if (rc == Z_STREAM_END) {
                streamEnded_ = true;
            } else if (rc != Z_OK && rc != Z_BUF_ERROR) {
                failure_ = kCutGzip;
                return 0;
            }
        } else {
            ZSTD_inBuffer input{in_.data() + inPos_, in_.size() - inPos_, 0};
            ZSTD_outBuffer output{dst, want, 0};
            const size_t rc = ZSTD_decompressStream(codec_->zstd, &output, &input);
            if (ZSTD_isError(rc)) {
                failure_ = kCutZstd;
                return 0;
            }
            inPos_ += input.pos;
            out = output.pos;
            streamEnded_ = rc == 0;
        }
    }
    produced_ += static_cast<int64_t>(out);
    return out;
}

bool ByteSource::seek(int64_t offset) {
    if (!file_ || offset < 0) return false;
    if (kind_ == Kind::Plain) {
        if (fseeko(file_, static_cast<off_t>(offset), SEEK_SET) != 0) return false;
        in_.clear();
        inPos_ = 0;
        taken_ = offset;
        produced_ = offset;
        failure_ = nullptr;
        return true;
    }
    if (offset < produced_) {
        if (fseeko(file_, 0, SEEK_SET) != 0) return false;
        if (!restart()) return false;
    }
    std::string skip(64 * 1024, '\0');
    while (produced_ < offset) {
        const int64_t left = offset - produced_;
        const size_t want = left < static_cast<int64_t>(skip.size()) ? static_cast<size_t>(left)
                                                                    : skip.size();
        if (read(skip.data(), want) == 0) return false;
    }
    return true;
}

int64_t ByteSource::fileBytesRead() const {
    return taken_ - static_cast<int64_t>(in_.size() - inPos_);
}

std::string textFileStem(const std::string& path) {
    std::filesystem::path name = std::filesystem::path(path).filename();
    const std::string ext = name.extension().string();
    if (ext == ".gz" || ext == ".zst" || ext == ".gzip" || ext == ".zstd") name = name.stem();
    return name.stem().string();
}

bool isCompressedFile(const char* path) {
    FilePtr f(path ? openInputFile(path, nullptr) : nullptr);
    char head[4];
    return f && byteSourceKind(head, fread(head, 1, sizeof head, f.get())) != ByteSource::Kind::Plain;
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
