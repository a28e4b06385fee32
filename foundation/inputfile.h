// Opening the files the programs read: only a regular file (or "-" where standard input is
// meant) is opened, and the opening never blocks, so that a named pipe, a device such as
// /dev/zero or a folder given in place of a file is refused with a message instead of hanging
// the program or growing it without end. Every reader of outside input opens through here.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

namespace morvex {

// What openInputFd and openInputFile accept besides a regular file.
enum class InputKind {
    RegularOnly,     // a regular file, a symbolic link to one included
    RegularOrStdin,  // the same, or "-" for standard input (whatever it is: a pipe, a terminal)
    Stream,          // the same, or a stream read once from its start: a named pipe (opened
                     // blocking: it waits for its writer), a character device (/dev/stdin on a
                     // terminal), a socket, as a shell's <(...) and /dev/stdin give them
};

// Opens `path` for reading when it names a regular file: the file is opened with O_NONBLOCK
// (so that a named pipe without a writer does not block), checked with fstat on the
// descriptor itself (no race between a check and the open) and then set back to blocking.
// Returns the descriptor (owned by the caller, close-on-exec), or -1 with `error` (when not
// null) set to a French sentence naming the path and what it is. "-" gives a duplicate of
// standard input with RegularOrStdin. `what` names the file in the sentence ("Le fichier de
// format", ...; "Le fichier" when null). Any thread may call it.
int openInputFd(const char* path, std::string* error, InputKind kind = InputKind::RegularOnly,
                const char* what = nullptr);

// The same as a binary stream ("rb"), owned by the caller (fclose); nullptr on refusal.
FILE* openInputFile(const char* path, std::string* error, InputKind kind = InputKind::RegularOnly,
                    const char* what = nullptr);

// Why `path` is not a regular file, in French ("est un dossier", "est un tube nommé"...), or
// an empty text when it is one (or does not exist: the opening then tells). For the checks
// done before a path is handed to a library that opens it itself.
std::string inputFileRefusal(const char* path);

// Reads the whole of the regular file `path` (opened by openInputFd) into `out` when it holds
// at most `limit` bytes; false with `error` set when it cannot be opened or read, or is
// larger: "Le fichier '<path>' dépasse la taille permise (<limit> octets)." `what` names the
// file in the messages ("Le fichier de paramètres", ...; "Le fichier" when null).
bool readInputFile(const char* path, size_t limit, std::string& out, std::string* error,
                   const char* what = nullptr);

// The French words for a system error number (errno): "accès refusé", "disque plein",
// "fichier introuvable"...; "erreur système <n>" for a number without words of its own.
std::string systemErrorText(int errorNumber);

// The French text of a size in bytes as messages give it: "1 048 576 octets".
std::string byteCountText(size_t bytes);

}  // namespace morvex
