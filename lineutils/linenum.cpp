// linenum: copies a text file, appending an eight-digit counter (from 0) to every line.
//
//     linenum <source> [<target>]     (target "compteur_out.txt" unless exactly two arguments)
//
// The counter goes before the line end, and each line keeps its own line end: "abc\r\n" gives
// "abc00000000\r\n", "abc\n" gives "abc00000000\n", and a last line without a line end gets
// one "\n". A line is taken 1022 characters at a time (the line end counting as one character,
// CR LF included): a longer line becomes several numbered lines, each ending like the line it
// was cut from, and a CR LF is never separated from its LF. A lone CR is an ordinary character.
//
// Exit status: 0 on success, -1 no source given, -2 target is the source, -3 source cannot be
// opened or read, -4 target cannot be opened or written.
#include <cstdio>
#include <cstring>
#include <vector>

#include "foundation/version.h"
#include "lineutils/blockio.h"

using morvex::lineutils::BlockWriter;
using morvex::lineutils::FileHandle;
using morvex::lineutils::kBlockSize;

namespace {

// Characters of one buffer-full: a line (with its line end) is taken this many at a time.
constexpr size_t kPieceMax = 1022;

// Target used unless exactly two arguments are given.
constexpr const char* kDefaultTarget = "compteur_out.txt";

// How a line of the source ends.
enum class LineEnd {
    kNone,  // last line of the source, without a line end
    kLf,    // a line feed alone
    kCrLf,  // a carriage return and a line feed
};

// How a numbering run ended.
enum class RunResult {
    kDone,        // the whole source was numbered
    kReadError,   // the source could not be read to its end
    kWriteError,  // the target refused data
};

// The line counter as decimal text of at least eight digits, incremented in place.
class LineCounter {
public:
    LineCounter() { std::memset(digits_, '0', sizeof digits_); }

    const char* text() const { return digits_ + sizeof digits_ - width_; }
    size_t size() const { return width_; }

    // Moves on to the next value, widening past 99999999.
    void next() {
        size_t i = sizeof digits_;
        while (i > sizeof digits_ - width_ && digits_[i - 1] == '9') digits_[--i] = '0';
        if (i > sizeof digits_ - width_) {
            ++digits_[i - 1];
        } else {
            ++width_;
            digits_[sizeof digits_ - width_] = '1';
        }
    }

private:
    char digits_[20];   // the value, right-aligned, zero-filled on the left
    size_t width_ = 8;  // digits shown
};

// Writes numbered lines to the target.
class Numberer {
public:
    explicit Numberer(BlockWriter& out) : out_(out) {}

    // Number of lines written so far.
    long long lines() const { return lines_; }

    // Writes one full piece of a line longer than a buffer-full, ending like its line.
    void piece(const char* data, LineEnd lineEnd) {
        write(data, kPieceMax, lineEnd == LineEnd::kCrLf ? LineEnd::kCrLf : LineEnd::kLf);
    }

    // Writes one source line of `size` content bytes (its line end excluded), cut into
    // buffer-fulls. A last line without line end and without content writes nothing.
    void line(const char* data, size_t size, LineEnd lineEnd) {
        // With a line end, that end needs a place in the last buffer-full too.
        size_t room = lineEnd == LineEnd::kNone ? kPieceMax : kPieceMax - 1;
        while (size > room) {
            piece(data, lineEnd);
            data += kPieceMax;
            size -= kPieceMax;
        }
        if (lineEnd != LineEnd::kNone || size > 0)
            write(data, size, lineEnd == LineEnd::kNone ? LineEnd::kLf : lineEnd);
    }

private:
    void write(const char* data, size_t size, LineEnd lineEnd) {
        out_.put(data, size);
        out_.put(counter_.text(), counter_.size());
        if (lineEnd == LineEnd::kCrLf)
            out_.put("\r\n", 2);
        else
            out_.put("\n", 1);
        counter_.next();
        ++lines_;
    }

    BlockWriter& out_;     // the target
    LineCounter counter_;  // value given to the next line
    long long lines_ = 0;  // lines written
};

// Tells how the line that goes on at byte `offset` of the source ends, reading ahead without
// moving the reading position; `previous` is the byte just before `offset`. A source that
// cannot be read ahead (a pipe) answers kNone.
LineEnd lookAheadLineEnd(int fd, off_t offset, char previous) {
    std::vector<char> chunk(kBlockSize);
    for (;;) {
        ssize_t got = ::pread(fd, chunk.data(), chunk.size(), offset);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return LineEnd::kNone;
        auto* lf = static_cast<const char*>(std::memchr(chunk.data(), '\n', got));
        if (lf != nullptr) {
            char before = lf == chunk.data() ? previous : lf[-1];
            return before == '\r' ? LineEnd::kCrLf : LineEnd::kLf;
        }
        previous = chunk[got - 1];
        offset += got;
    }
}

// Numbers every line of the source into `out`.
RunResult numberFile(int source, BlockWriter& out, Numberer& numberer) {
    std::vector<char> buffer(kBlockSize);
    char* base = buffer.data();
    size_t begin = 0;       // start of the unprocessed bytes, always a line or piece start
    size_t end = 0;         // end of the bytes read
    off_t consumed = 0;     // source offset of buffer[end]
    bool atEnd = false;     // the source is exhausted
    bool longLine = false;  // the current line has outgrown the buffer
    LineEnd longLineEnd = LineEnd::kNone;  // how that long line ends
    for (;;) {
        const char* start = base + begin;
        size_t available = end - begin;
        auto* lf =
            static_cast<const char*>(available > 0 ? std::memchr(start, '\n', available) : nullptr);
        if (lf != nullptr) {
            size_t size = static_cast<size_t>(lf - start);
            LineEnd lineEnd = LineEnd::kLf;
            if (size > 0 && lf[-1] == '\r') {
                --size;
                lineEnd = LineEnd::kCrLf;
            }
            numberer.line(start, size, lineEnd);
            begin += static_cast<size_t>(lf - start) + 1;
            longLine = false;
            continue;
        }
        if (atEnd) {
            numberer.line(start, available, LineEnd::kNone);
            break;
        }
        if (begin > 0) {
            std::memmove(base, start, available);
            begin = 0;
            end = available;
        }
        if (end == buffer.size()) {
            // No line end in a whole block: number the full pieces now. The last byte always
            // waits for the next round, as it may be the CR of a CR LF cut by the block end.
            if (!longLine) {
                longLineEnd = lookAheadLineEnd(source, consumed, base[end - 1]);
                longLine = true;
            }
            size_t pieces = (end - 1) / kPieceMax;
            for (size_t i = 0; i < pieces; ++i) numberer.piece(base + i * kPieceMax, longLineEnd);
            begin = pieces * kPieceMax;
            if (out.failed()) return RunResult::kWriteError;
            continue;
        }
        ssize_t got = morvex::lineutils::readBlock(source, base + end, buffer.size() - end);
        if (got < 0) return RunResult::kReadError;
        if (got == 0) atEnd = true;
        end += static_cast<size_t>(got);
        consumed += got;
        if (out.failed()) return RunResult::kWriteError;
    }
    return out.flush() ? RunResult::kDone : RunResult::kWriteError;
}

// What --help prints (also the source of the manual page).
constexpr const char* kHelp =
    "Utilisation : linenum SOURCE [CIBLE]\n"
    "Copie le fichier texte SOURCE dans CIBLE (par défaut compteur_out.txt) en ajoutant à la\n"
    "fin de chaque ligne, avant sa fin de ligne, un compteur de huit chiffres à partir de 0.\n"
    "Chaque ligne garde sa propre fin de ligne (CR LF ou LF) ; une ligne de plus de 1022\n"
    "caractères devient plusieurs lignes numérotées.\n"
    "\n"
    "Options :\n"
    "      --help       affiche cette aide et s'arrête\n"
    "      --version    affiche la version et s'arrête\n"
    "\n"
    "Code de retour : 0 en cas de succès, -1 sans fichier source, -2 si la cible est la\n"
    "source, -3 si la source ne peut être lue, -4 si la cible ne peut être écrite.\n";

}  // namespace

int main(int argc, char** argv) {
    if (morvex::answerVersionOrHelp(argc, argv, "linenum", kHelp)) return 0;
    std::printf("\nlinenum : numerotation des lignes - Morvex Fylatek - 2026");
    if (argc < 2) {
        std::printf("\nSytaxe : %s fichier_souce fichier_destination",
                    argc > 0 ? argv[0] : "linenum");
        return -1;
    }
    const char* sourceName = argv[1];
    const char* targetName = argc == 3 ? argv[2] : kDefaultTarget;
    if (std::strcmp(sourceName, targetName) == 0) {
        std::printf("\nErreur : Le fichier de destination doit etre different du fichier source.");
        return -2;
    }

    FileHandle source(morvex::lineutils::openSource(sourceName));
    if (!source.valid()) {
        std::printf("\nImpossible d'ouvrir le fichier source (%s)", sourceName);
        return -3;
    }
    // Another spelling of the source's path (or a link to it) would empty it before reading.
    if (morvex::lineutils::isSameFile(source.fd(), targetName)) {
        std::printf("\nErreur : Le fichier de destination doit etre different du fichier source.");
        return -2;
    }
    FileHandle target(morvex::lineutils::openTarget(targetName));
    if (!target.valid()) {
        std::printf("\nImpossible d'ouvrir le fichier destination (%s)", targetName);
        return -4;
    }

    std::printf("\nFichier source : '%s'", sourceName);
    std::printf("\nFichier destination : '%s'", targetName);
    std::printf("\nAjout des numeros de lignes a la fin du fichier");

    BlockWriter out(target.fd());
    Numberer numberer(out);
    RunResult result = numberFile(source.fd(), out, numberer);
    if (result == RunResult::kDone && !target.close()) result = RunResult::kWriteError;
    if (result == RunResult::kReadError) {
        std::printf("\nErreur de lecture du fichier source (%s)", sourceName);
        return -3;
    }
    if (result == RunResult::kWriteError) {
        std::printf("\nErreur d'ecriture dans le fichier destination (%s)", targetName);
        return -4;
    }

    std::printf("\n%lld lignes lues", numberer.lines());
    source.close();
    std::printf("\nTermine");
    return 0;
}
