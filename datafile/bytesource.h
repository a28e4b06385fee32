// The bytes of a data file as its readers take them: the file's own bytes, or the text of a
// gzip, zstd, xz or bzip2 stream, recognised by its first bytes and decompressed as it is read
// (ISA-L's inflate, libzstd, liblzma, libbz2). A description never says whether its file is compressed:
// the same description reads the plain and the compressed file.
//
// Ownership: a source reads from a FILE it does not own (the caller opens and closes it, and
// keeps it open as long as the source: destroy the source before closing its file). Threads:
// one source belongs to one thread at a time; a compressed source decompresses in a thread of
// its own, started at its first read, which alone touches the FILE until the source is
// destroyed or sought backwards, and which stays at most a few blocks ahead of the reads
// (a bounded queue), so that the decompression runs on a second core while the rows are cut
// and loaded.
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
    enum class Kind { Plain, Gzip, Zstd, Xz, Bzip2 };

    // A source over `file`, positioned at its start, of which at most `limit` bytes are read.
    // Its first bytes are read at once to tell its kind (a file that cannot even give them is
    // read as plain, and gives what it has). A file that cannot be sought (a pipe) is read
    // once from where it stands, its first bytes kept for the reads.
    ByteSource(FILE* file, int64_t limit);
    ~ByteSource();
    ByteSource(const ByteSource&) = delete;
    ByteSource& operator=(const ByteSource&) = delete;

    Kind kind() const { return kind_; }
    bool compressed() const { return kind_ != Kind::Plain; }
    // Up to `want` bytes of the text into `dst`; 0 at its end, or on failure (failure() then
    // says why: a stream cut short or corrupt, a read error).
    size_t read(char* dst, size_t want);
    // The bytes of a block buffer (from malloc) that readBlock may exchange.
    static constexpr size_t kBlockBytes = 1 << 20;
    // As read(*block, size), except that a compressed source may hand over a whole block of
    // text it decompressed by exchanging buffers: `*block` (`size` bytes from malloc, to be
    // released with free) then points to the source's buffer and the source keeps the old one.
    // The exchange saves copying the text when `size` is kBlockBytes.
    size_t readBlock(char** block, size_t size);
    // Back to `offset` bytes from the start of the text: the file is sought (plain), or the
    // stream decompressed again from its start when it stands past `offset`. False when the
    // file cannot be sought.
    bool seek(int64_t offset);
    // Bytes of the file taken so far (for a compressed file, those behind the text given so
    // far, give or take a block): the measure of progress against the file's size.
    int64_t fileBytesRead() const;
    // Why the last read gave 0 before the text's end (a constant French text), nullptr when it
    // ended as it should.
    const char* failure() const { return failure_; }
    // A plain source only: the offset of the file its reads stand at, and a lower bound for
    // them, so that they end at `offset` (at or past where they stand) and another reader can
    // take the rest of the file. False, and nothing changed, for a compressed source or an
    // offset behind the reads.
    int64_t fileOffset() const { return taken_; }
    bool endAt(int64_t offset);

private:
    size_t readPlain(char* dst, size_t want);
    bool restart();
    void stopWorker();

    FILE* file_;
    int64_t limit_;
    int64_t taken_ = 0;     // bytes read from the file (plain)
    int64_t produced_ = 0;  // bytes of text given
    Kind kind_ = Kind::Plain;
    std::string head_;  // the first bytes, read to tell the kind and not yet given
    size_t headPos_ = 0;
    const char* failure_ = nullptr;
    struct Worker;  // the decompressing thread and its queue of blocks
    std::unique_ptr<Worker> worker_;
};

// Why a read of the file failed (a read error, not the end of the file).
inline constexpr const char* kFileReadError = "erreur de lecture du fichier";

// The kind of a text whose first bytes are `head` (gzip 1F 8B, zstd 28 B5 2F FD, xz FD 37 7A
// 58 5A 00, bzip2 "BZh" and a level then a block's or the end's own six bytes).
ByteSource::Kind byteSourceKind(const char* head, size_t size);
// The name of a file without its folder and last extension, and without the text's own one when
// the last is a compression's (ventes.csv.gz: ventes).
std::string textFileStem(const std::string& path);
// Whether the file at `path` begins as a compressed stream this source reads.
bool isCompressedFile(const char* path);
// The first `size` bytes of the text of the file at `path` (decompressed when it is
// compressed); "" when it does not open. `failure`, when given, receives why a compressed
// stream gave less than it should (a constant French text) or nullptr.
std::string readTextSample(const char* path, size_t size, const char** failure = nullptr);

}  // namespace morvex
