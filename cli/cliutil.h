// Small helpers shared by the morvexcli commands.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "filedesc/filedesc.h"
#include "foundation/owned.h"
#include "sqliteload/sqlite3dll.h"

namespace morvex {

// Closes a description when it goes out of scope.
using DescPtr = morvex::Owned<FileDesc, FILEDESC_CloseFileDesc>;

// Releases the process's data dictionary when a command ends.
struct DicoCloser {
    ~DicoCloser();
};

// True when `path` names an existing regular file.
bool isRegularFile(const std::string& path);

// Whether the file holds a description (a line "BEGIN MorvexFylatek" in its first 64 KiB).
bool isDescriptionFile(const std::string& path);
// Opens a .fyk description; writes a French error and returns nullptr when it cannot be read
// or is not a description (a data file given in its place).
DescPtr openDescription(const std::string& path);

// The data file of a command: the --data option, else the description's example file.
std::string dataFileOf(const FileDesc& desc, const std::string& option);
// True when `path` names a data file to read; writes a French error otherwise (no path given,
// or not an existing regular file).
bool checkDataFile(const std::string& path);

// The SQLite library bound for a command, released at its end.
using SqliteLibrary = morvex::Owned<void, SQLITE3_LibererDLL>;
// Binds the SQLite library; empty, what went wrong written on standard error, when it cannot.
SqliteLibrary loadSqlite();

// A data file given as a stream ("-" for standard input, a named pipe, /dev/stdin, a shell's
// <(...)), copied whole into a private temporary folder of $TMPDIR (or /tmp), so that the
// commands may read it as often as they need (the analysis reads a sample, then the whole
// file, sometimes twice). The folder and its copy are removed when the object goes.
class SpooledInput {
public:
    SpooledInput() = default;
    ~SpooledInput();
    SpooledInput(const SpooledInput&) = delete;
    SpooledInput& operator=(const SpooledInput&) = delete;
    // Copies the stream `given` into `name` in a new private folder; told on standard error
    // (unless quiet). False with a French error written on failure (the disk full...).
    bool copy(const std::string& given, const std::string& name);
    const std::string& path() const { return path_; }
    bool active() const { return !path_.empty(); }

private:
    std::string folder_;
    std::string path_;
};

// Whether `path` names a stream to copy before it is read: "-", /dev/stdin, /dev/fd/N, or an
// existing named pipe or socket (a device named as such, /dev/zero, is none: it never ends).
bool isStreamInput(const std::string& path);
// checkDataFile, a stream aside: a stream is copied into `spool` and `path` becomes the copy's.
// `name` names the copy (the table an analysis names after its file). False with a French
// error written.
bool prepareDataFile(std::string& path, SpooledInput& spool, const std::string& name = "stdin");

// A data file given as a stream to a command that reads it once (load, count, preview): read as
// it comes, never copied. "-" and /dev/stdin are standard input, /dev/fd/N and /proc/self/fd/N
// a shell's descriptor (<(...)); a named pipe or a socket is opened here (waiting for its
// writer) and read through its descriptor, held until the object goes.
class StreamInput {
public:
    StreamInput() = default;
    ~StreamInput();
    StreamInput(const StreamInput&) = delete;
    StreamInput& operator=(const StreamInput&) = delete;
    // `path` as the reader takes a stream ("-" or /dev/fd/N, DATAFILE_IsStreamPath); false with
    // a French error written when a named pipe does not open.
    bool open(std::string& path);

private:
    int fd_ = -1;
};

// checkDataFile, a stream aside: a stream's `path` becomes the one the reader takes it by
// (StreamInput). False with a French error written.
bool prepareStreamedDataFile(std::string& path, StreamInput& stream);

// Saves `desc` to `path` through a temporary file renamed over the target, so that a failed
// write never leaves a truncated description; records the path in the description. Writes a
// French error and returns false on failure. "-" writes it to standard output (its path then
// stays as it was). `beforeRename`, when given, runs once the
// temporary file is written; its failure (false) leaves the target as it was.
bool saveDescription(FileDesc* desc, const std::string& path,
                     const std::function<bool()>& beforeRename = nullptr);

// Writes all of `text` to standard output; false (with an error message) on a write error.
bool writeOut(const std::string& text);

// Number of characters (UTF-8 code points) of a text, for alignment.
size_t displayWidth(const std::string& s);
// `s` followed by blanks up to `width` characters (unchanged when already as wide).
std::string padRight(const std::string& s, size_t width);
// `s` preceded by blanks up to `width` characters (unchanged when already as wide).
std::string padLeft(const std::string& s, size_t width);
// Display width of each column of a table: the widest of its title and its cells.
std::vector<size_t> tableWidths(const std::vector<std::string>& titles,
                                const std::vector<std::vector<std::string>>& rows);
// One line of a table: the cells separated by " | ", each padded to its column's width.
std::string formatTableRow(const std::vector<std::string>& cells, const std::vector<size_t>& widths);
// Rows as an aligned text table: the titles, a rule, then one line per row, cells separated by
// " | " (a row may hold more or fewer cells than there are titles).
std::string formatTable(const std::vector<std::string>& titles,
                        const std::vector<std::vector<std::string>>& rows);
// A one-character field as a text ("" for the zero character).
std::string charText(char c);
// Name of a column's target type ("?<type>" when it is unknown).
std::string typeName(const TypeCible& t);
// Format of a column's target type ("" when it has none).
std::string typeFormat(const TypeCible& t);

}  // namespace morvex
