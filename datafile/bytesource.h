// The bytes of a data file as its readers take them: the file's own bytes, or the text of a
// gzip or zstd stream, recognised by its first bytes and decompressed as it is read (zlib,
// libzstd). A description never says whether its file is compressed: the same description
// reads the plain and the compressed file.
//
// Ownership: a source reads from a FILE it does not own (the caller opens and closes it, and
// keeps it open as long as the source). Threads: one source belongs to one thread at a time.
// Reads are bounded: at most `limit` bytes of the file are taken (the size it had when the
// reading began), whatever the decompressed text's size.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace morvex {

class ByteSource {
public:
    enum class Kind { Plain, Gzip, Zstd };

    // A source over `file`, positioned at its start, of which at most `limit` bytes are read.
    // Its first bytes are read at once to tell its kind (a file that cannot even give them is
    // read as plain, and gives what it has).
    ByteSource(FILE* file, int64_t limit);
    ~ByteSource();
    ByteSource(const ByteSource&) = delete;
    ByteSource& operator=(const ByteSource&) = delete;

    Kind kind() const { return kind_; }
    bool compressed() const { return kind_ != Kind::Plain; }
    // Up to `want` bytes of the text into `dst`; 0 at its end, or on failure (failure() then
    // says why: a stream cut short or corrupt, a read error).
    size_t read(char* dst, size_t want);
    // Back to `offset` bytes from the start of the text: the file is sought (plain), or the
    // stream decompressed again from its start when it stands past `offset`. False when the
    // file cannot be sought.
    bool seek(int64_t offset);
    // Bytes of the file taken so far (less what waits undecompressed): the measure of progress
    // against the file's size.
    int64_t fileBytesRead() const;
    // Why the last read gave 0 before the text's end (a constant French text), nullptr when it
    // ended as it should.
    const char* failure() const { return failure_; }

private:
    size_t readPlain(char* dst, size_t want);
    size_t fillInput();
    bool restart();

    FILE* file_;
    int64_t limit_;
    int64_t taken_ = 0;     // bytes read from the file
    int64_t produced_ = 0;  // bytes of text given
    Kind kind_ = Kind::Plain;
    std::string in_;        // bytes read from the file and not yet used
    size_t inPos_ = 0;      // first unused byte of in_
    bool streamEnded_ = true;  // the last compressed frame is complete
    const char* failure_ = nullptr;
    struct Codec;
    std::unique_ptr<Codec> codec_;
};

// The kind of a text whose first bytes are `head` (gzip 1F 8B, zstd 28 B5 2F FD).
ByteSource::Kind byteSourceKind(const char* head, size_t size);
// The name of a file without its folder and last extension, and without the text's own one when
// the last is a compression's (ventes.csv.gz: ventes).
std::string textFileStem(const std::string& path);
// Whether the file at `path` begins as a gzip or zstd stream.
bool isCompressedFile(const char* path);
// The first `size` bytes of the text of the file at `path` (decompressed when it is
// compressed); "" when it does not open. `failure`, when given, receives why a compressed
// stream gave less than it should (a constant French text) or nullptr.
std::string readTextSample(const char* path, size_t size, const char** failure = nullptr);

}  // namespace morvex
