// The byte source under every reader, over a real file Debian publishes (the Unicode
// bidirectional test cases, 6.9 MB: several blocks of text) compressed by the formats' own
// tools: each form gives the file's text byte for byte, from a file or from a pipe, after a
// seek backwards too; each stream cut short is told by its own French text; and a reader over
// a pipe reads its rows once.
#include "datafile/bytesource.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "datafile/datafile.h"
#include "datafile/tests/datafile_util.h"
#include "foundation/testing/tempdir.h"

using namespace datafile_test;

namespace {

const char* const kText = "/usr/share/unicode/BidiCharacterTest.txt";

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// All the text of `source`, taken in pieces of `piece` bytes.
std::string readAll(morvex::ByteSource& source, size_t piece) {
    std::string text, buffer(piece, '\0');
    while (size_t n = source.read(buffer.data(), piece)) text.append(buffer.data(), n);
    return text;
}

// All the text of `source` taken as the rows' reader takes it, a whole block at a time through
// readBlock (buffers exchanged with a compressed source), after one odd read that leaves a
// block begun.
std::string readAllBlocks(morvex::ByteSource& source) {
    std::string text;
    char* block = static_cast<char*>(malloc(morvex::ByteSource::kBlockBytes));
    size_t n = source.read(block, 7777);
    text.append(block, n);
    while ((n = source.readBlock(&block, morvex::ByteSource::kBlockBytes)) > 0)
        text.append(block, n);
    free(block);
    return text;
}

struct Form {
    const char* name;  // the file made from the text
    const char* make;  // the shell command that makes it (in the test's folder)
    morvex::ByteSource::Kind kind;
    const char* cut;  // the failure of the file cut in its middle (nullptr: plain)
    int copies;       // copies of the text it holds
};

const Form kForms[] = {
    {"t.txt", "cp t t.txt", morvex::ByteSource::Kind::Plain, nullptr, 1},
    {"t.gz", "gzip -1 -c t > t.gz", morvex::ByteSource::Kind::Gzip, "flux gzip tronqué ou corrompu",
     1},
    {"t.zst", "zstd -q -1 -c t > t.zst", morvex::ByteSource::Kind::Zstd,
     "flux zstd tronqué ou corrompu", 1},
    {"t.xz", "xz -T1 -0 -c t > t.xz", morvex::ByteSource::Kind::Xz, "flux xz tronqué ou corrompu",
     1},
    {"t.bz2", "bzip2 -1 -c t > t.bz2", morvex::ByteSource::Kind::Bzip2,
     "flux bzip2 tronqué ou corrompu", 1},
    // Streams one after the other are one text, as their tools read them.
    {"tt.gz", "cat t.gz t.gz > tt.gz", morvex::ByteSource::Kind::Gzip,
     "flux gzip tronqué ou corrompu", 2},
    {"tt.xz", "cat t.xz t.xz > tt.xz", morvex::ByteSource::Kind::Xz, "flux xz tronqué ou corrompu",
     2},
    {"tt.bz2", "cat t.bz2 t.bz2 > tt.bz2", morvex::ByteSource::Kind::Bzip2,
     "flux bzip2 tronqué ou corrompu", 2},
};

TEST(ByteSource, EveryFormGivesTheTextOfTheFile) {
    morvex::testing::TempDir dir("bytesource");
    std::string script = "cd '" + dir.path() + "' && cp '" + kText + "' t";
    for (const Form& f : kForms) script += std::string(" && ") + f.make;
    ASSERT_EQ(system(script.c_str()), 0);
    const std::string text = slurp(dir.file("t"));
    ASSERT_GT(text.size(), size_t{4} << 20);

    for (const Form& f : kForms) {
        SCOPED_TRACE(f.name);
        std::string expected;
        for (int i = 0; i < f.copies; ++i) expected += text;
        const std::string path = dir.file(f.name);
        const auto fileSize = static_cast<int64_t>(slurp(path).size());
        {
            FILE* file = fopen(path.c_str(), "rb");
            ASSERT_NE(file, nullptr);
            {
                morvex::ByteSource source(file, INT64_MAX);
                EXPECT_EQ(source.kind(), f.kind);
                // An odd piece: reads across the blocks' edges.
                EXPECT_TRUE(readAll(source, 7777) == expected);
                EXPECT_EQ(source.failure(), nullptr);
                EXPECT_EQ(source.fileBytesRead(), fileSize);
                // Back into the text, and forward from there.
                const int64_t at = static_cast<int64_t>(expected.size()) / 3 + 1;
                ASSERT_TRUE(source.seek(at));
                EXPECT_TRUE(readAllBlocks(source) == expected.substr(static_cast<size_t>(at)));
                EXPECT_EQ(source.failure(), nullptr);
                // Destroyed midway: its thread stops before the file is closed.
                ASSERT_TRUE(source.seek(10));
                std::string some(1000, '\0');
                EXPECT_EQ(source.read(some.data(), some.size()), some.size());
            }
            fclose(file);
        }
        {
            // Through a pipe: nothing can be sought, the first bytes are kept for the reads.
            FILE* pipe = popen(("cat '" + path + "'").c_str(), "r");
            ASSERT_NE(pipe, nullptr);
            {
                morvex::ByteSource source(pipe, INT64_MAX);
                EXPECT_EQ(source.kind(), f.kind);
                EXPECT_TRUE(readAllBlocks(source) == expected);
                EXPECT_EQ(source.failure(), nullptr);
            }
            EXPECT_EQ(pclose(pipe), 0);
        }
        if (f.cut) {
            // Cut past its middle (not where a second stream begins): less than the text, and the
            // format's own words for it.
            const std::string cut = dir.file(std::string("cut-") + f.name);
            ASSERT_EQ(system(("head -c " + std::to_string(fileSize * 3 / 5) + " '" + path +
                              "' > '" + cut + "'")
                                 .c_str()),
                      0);
            FILE* file = fopen(cut.c_str(), "rb");
            ASSERT_NE(file, nullptr);
            {
                morvex::ByteSource source(file, INT64_MAX);
                const std::string got = readAll(source, 1 << 20);
                EXPECT_LT(got.size(), expected.size());
                EXPECT_TRUE(expected.compare(0, got.size(), got) == 0);
                ASSERT_NE(source.failure(), nullptr);
                EXPECT_STREQ(source.failure(), f.cut);
                // The failure stays: no more text comes.
                char more[16];
                EXPECT_EQ(source.read(more, sizeof more), 0u);
            }
            fclose(file);
        }
    }
}

TEST(ByteSource, TellsKindsByTheirFirstBytesOnly) {
    using Kind = morvex::ByteSource::Kind;
    const struct {
        std::string head;
        Kind kind;
    } cases[] = {
        {std::string("\x1F\x8B\x08\x00", 4), Kind::Gzip},
        {std::string("\x28\xB5\x2F\xFD\x24", 5), Kind::Zstd},
        {std::string("\xFD"
                     "7zXZ\0\0",
                     7),
         Kind::Xz},
        {"BZh91AY&SY", Kind::Bzip2},
        {std::string("BZh9\x17\x72\x45\x38\x50\x90", 10), Kind::Bzip2},  // an empty stream
        // Texts that begin as the magic numbers do, and no more.
        {"BZh9;nom;ville\n", Kind::Plain},
        {"BZh", Kind::Plain},
        {std::string("\xFD"
                     "7zX",
                     4),
         Kind::Plain},
        {"", Kind::Plain},
    };
    for (const auto& c : cases)
        EXPECT_EQ(morvex::byteSourceKind(c.head.data(), c.head.size()), c.kind) << c.head;
}

// A reader over a pipe (as a shell's <(...) gives it): its rows as from the file, once.
TEST(ByteSource, AReaderTakesAStreamOnce) {
    morvex::testing::TempDir dir("bytesource");
    std::string rows;
    for (int i = 0; i < 30000; ++i)
        rows += std::to_string(i) + ";ligne " + std::to_string(i) + "\n";
    const std::string path = dir.write("rows.txt", rows);
    ASSERT_EQ(system(("gzip -k '" + path + "'").c_str()), 0);
    DescPtr desc = makeDesc(STRUCTFILE_DELIMITED, "\\n", ";");
    addColumn(desc.get(), "N", 10);
    addColumn(desc.get(), "T", 20);
    for (const char* command : {"cat", "zcat -f"}) {
        SCOPED_TRACE(command);
        const std::string source = std::string(command) == "zcat -f" ? path : path + ".gz";
        FILE* pipe = popen((std::string(command) + " '" + source + "'").c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        const std::string fd = "/dev/fd/" + std::to_string(fileno(pipe));
        ASSERT_TRUE(DATAFILE_IsStreamPath(fd.c_str()));
        DATAFILE* reader = DATAFILE_NewIterator(dialectOf(desc.get()), fd.c_str(), 0, 0);
        ASSERT_NE(reader, nullptr);
        EXPECT_EQ(DATAFILE_GetFileSize(reader), 0.0);  // a stream has no size
        ASSERT_EQ(DATAFILE_Init(reader), 0);
        std::vector<DATAFIELD> fields;
        int n = 0;
        bool same = true;
        while (DATAFILE_ReadNextFields(reader, fields)) {
            same = same && fields.size() == 2 &&
                   std::string(fields[1].value, static_cast<size_t>(fields[1].length)) ==
                       "ligne " + std::to_string(n);
            ++n;
        }
        EXPECT_EQ(n, 30000);
        EXPECT_TRUE(same);
        EXPECT_EQ(reader->failure, nullptr);
        // What was read is gone: the stream is not read again as if it were whole.
        EXPECT_EQ(DATAFILE_Init(reader), 1);
        EXPECT_STREQ(reader->failure, "le flux a déjà été lu : il ne se relit pas");
        DATAFILE_DestroyIterator(reader);
        pclose(pipe);
    }
    // Anything else must still be a regular file.
    for (const char* path : {"-x", "/dev/fd/", "/dev/fd/1a", "/dev/stdin", "/proc/self/fd/0"})
        EXPECT_FALSE(DATAFILE_IsStreamPath(path)) << path;
}

// gzip's edges: members begin and end anywhere in the blocks the file is read by (hundreds of
// small ones, empty ones, a header with a long name and a comment), and a member whose trailer
// does not match its text, or is cut, or is followed by bytes that are no member, is told.
TEST(ByteSource, GzipMembersAnywhereAndTheirTrailersChecked) {
    morvex::testing::TempDir dir("bytesource-gzip");
    const std::string script =
        "cd '" + dir.path() + "' && cp '" + kText + "' t && split -b 7001 t p_ && " +
        "for p in p_*; do gzip -c $p; done > many.gz && gzip -c /dev/null > e.gz && " +
        "gzip -c t > t.gz && cat e.gz t.gz e.gz > empties.gz && " +
        "python3 -c \"import gzip,sys; sys.stdout.buffer.write(b'\\x1f\\x8b\\x08\\x18' + "
        "bytes(6) + b'n' * 300000 + bytes(1) + b'c' * 1000 + bytes(1)); "
        "sys.stdout.buffer.write(gzip.compress(open('t','rb').read())[10:])\" > named.gz && "
        "python3 -c \"import sys; d=bytearray(open('t.gz','rb').read()); d[-6]^=1; "
        "sys.stdout.buffer.write(d)\" > crc.gz && head -c -3 t.gz > trailer.gz && "
        "(cat t.gz; printf garbage) > garbage.gz";
    ASSERT_EQ(system(script.c_str()), 0);
    const std::string text = slurp(dir.file("t"));
    const struct {
        const char* name;
        bool whole;  // the text given whole and nothing told
    } cases[] = {{"many.gz", true},  {"empties.gz", true}, {"named.gz", true},
                 {"crc.gz", false},  {"trailer.gz", false}, {"garbage.gz", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FILE* file = fopen(dir.file(c.name).c_str(), "rb");
        ASSERT_NE(file, nullptr);
        {
            morvex::ByteSource source(file, INT64_MAX);
            EXPECT_EQ(source.kind(), morvex::ByteSource::Kind::Gzip);
            const std::string got = readAll(source, 65536);
            EXPECT_TRUE(text.compare(0, got.size(), got) == 0);
            if (c.whole) {
                EXPECT_EQ(got.size(), text.size());
                EXPECT_EQ(source.failure(), nullptr);
            } else {
                EXPECT_STREQ(source.failure(), "flux gzip tronqué ou corrompu");
            }
        }
        fclose(file);
    }
}

}  // namespace
