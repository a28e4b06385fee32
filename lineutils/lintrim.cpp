// lintrim: copies a file, inserting CR LF after every `position` bytes.
//
//     lintrim <position> <source> <target>
//
// The source is copied byte for byte (no line end translation); existing line ends are copied
// like any other byte and count in the current line. Exit status 0 on success, 1 on failure.
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "foundation/version.h"
#include "lineutils/blockio.h"

using morvex::lineutils::BlockWriter;
using morvex::lineutils::FileHandle;
using morvex::lineutils::kBlockSize;

namespace {

// Bytes between two progress lines.
constexpr long long kProgressStep = 1000000;

// How a copy ended.
enum class CopyResult {
    kDone,        // the whole source was copied
    kReadError,   // the source could not be read to its end
    kWriteError,  // the target refused data
};

// Counters of one copy.
struct TrimCounters {
    long long bytesRead = 0;   // bytes read from the source
    long long lineLength = 0;  // bytes written since the last inserted break
    long long breaks = 0;      // CR LF pairs inserted
};

// Reads the position as the usual text-to-integer rule does: leading blanks, a sign, then the
// leading digits; anything unreadable gives 0. Values beyond the int range are clamped.
int parsePosition(const char* text) {
    long value = std::strtol(text, nullptr, 10);
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

// Prints one "\r%i Mo lus" line for every multiple of a million crossed from `before` bytes
// (excluded) to `after` bytes (included).
void reportProgress(long long before, long long after) {
    long long first = before / kProgressStep + 1;
    long long last = after / kProgressStep;
    if (first > last) return;
    for (long long step = first; step <= last; ++step) std::printf("\r%lld Mo lus", step);
    std::fflush(stdout);
}

// Copies `data` to `out`, inserting CR LF each time the current line reaches `position`
// bytes; a position of 0 or less never breaks.
void trimBlock(const char* data, size_t size, int position, TrimCounters& counters,
               BlockWriter& out) {
    if (position <= 0) {
        out.put(data, size);
        counters.lineLength += static_cast<long long>(size);
        return;
    }
    while (size > 0) {
        long long room = position - counters.lineLength;
        size_t take = room < static_cast<long long>(size) ? static_cast<size_t>(room) : size;
        out.put(data, take);
        data += take;
        size -= take;
        counters.lineLength += static_cast<long long>(take);
        if (counters.lineLength == position) {
            out.put("\r\n", 2);
            counters.lineLength = 0;
            ++counters.breaks;
        }
    }
}

// Copies the whole source to the target, block by block, with progress lines.
CopyResult trimFile(int source, BlockWriter& out, int position, TrimCounters& counters) {
    std::vector<char> buffer(kBlockSize);
    for (;;) {
        ssize_t got = morvex::lineutils::readBlock(source, buffer.data(), buffer.size());
        if (got < 0) return CopyResult::kReadError;
        if (got == 0) break;
        trimBlock(buffer.data(), static_cast<size_t>(got), position, counters, out);
        if (out.failed()) return CopyResult::kWriteError;
        long long before = counters.bytesRead;
        counters.bytesRead += got;
        reportProgress(before, counters.bytesRead);
    }
    return out.flush() ? CopyResult::kDone : CopyResult::kWriteError;
}

// What --help prints (also the source of the manual page).
constexpr const char* kHelp =
    "Utilisation : lintrim POSITION SOURCE CIBLE\n"
    "Copie le fichier SOURCE dans CIBLE en insérant un retour à la ligne (CR LF) tous les\n"
    "POSITION octets. Le fichier est copié octet pour octet : ses propres fins de ligne sont\n"
    "copiées comme les autres octets et comptent dans la ligne en cours. CIBLE doit être un\n"
    "autre fichier que SOURCE.\n"
    "\n"
    "Options :\n"
    "      --help       affiche cette aide et s'arrête\n"
    "      --version    affiche la version et s'arrête\n"
    "\n"
    "Code de retour : 0 en cas de succès, 1 en cas d'échec.\n";

}  // namespace

int main(int argc, char** argv) {
    if (morvex::answerVersionOrHelp(argc, argv, "lintrim", kHelp)) return 0;
    std::printf("\nAjout de retour a la ligne a une position donnee.");
    std::printf("\nMorvex Fylatek - 2026");
    std::printf("\nSyntaxe : lintrim.exe <position> <fichier source> <fichier cible>");
    if (argc < 4) {
        std::printf("\n(!) Nombre de parametres insuffisant.");
        return 1;
    }

    int position = parsePosition(argv[1]);
    std::printf("\n(i) Ajout d'un CR/LF tous les %i caracteres", position);

    FileHandle source(morvex::lineutils::openSource(argv[2]));
    if (!source.valid()) {
        std::printf("\n(!) Impossible d'ouvrir le fichier source specifie.");
        return 1;
    }
    // Opening the source itself for writing would empty it before it is read.
    if (morvex::lineutils::isSameFile(source.fd(), argv[3])) {
        std::printf("\n(!) Le fichier de sortie doit etre different du fichier source.");
        return 1;
    }
    FileHandle target(morvex::lineutils::openTarget(argv[3]));
    if (!target.valid()) {
        std::printf("\n(!) Impossible d'ouvrir le fichier de sortie specifie.");
        return 1;
    }

    std::printf("\nLecture...\n");
    std::fflush(stdout);
    TrimCounters counters;
    BlockWriter out(target.fd());
    CopyResult result = trimFile(source.fd(), out, position, counters);
    if (result == CopyResult::kDone && !target.close()) result = CopyResult::kWriteError;
    if (result == CopyResult::kReadError) {
        std::printf("\n(!) Erreur de lecture du fichier source specifie.");
        return 1;
    }
    if (result == CopyResult::kWriteError) {
        std::printf("\n(!) Erreur d'ecriture dans le fichier de sortie specifie.");
        return 1;
    }

    std::printf("\n(i) %lld octets ont ete lus", counters.bytesRead);
    std::printf("\n(i) %lld lignes ont ete creees", counters.breaks);
    std::printf("\n(i) La derniere ligne est composee de %lld caracteres", counters.lineLength);
    std::printf("\n(i) Termine.");
    return 0;
}
