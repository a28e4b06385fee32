// Private helpers of the SQL Server script writers (mssql.cpp, mssql_params.cpp).
#pragma once

#include <cstdio>
#include <string>

namespace morvex::mssql {

// A script file written through one large block buffer. The owner appends text with its line
// ends already as CR LF (raw) or with bare line feeds turned into CR LF (text). The bytes go to
// a temporary file beside the target, which takes the target's name only once it is complete:
// a failed or abandoned write leaves the target as it was. Not thread-safe.
class ScriptFile {
public:
    // Bytes gathered before one write to the file.
    static constexpr size_t kBlock = 1 << 20;

    ScriptFile() = default;
    ~ScriptFile();  // without close(): the temporary file is removed, the target untouched
    ScriptFile(const ScriptFile&) = delete;
    ScriptFile& operator=(const ScriptFile&) = delete;

    // Starts the file that will replace `path`; false when it cannot be created.
    bool open(const char* path);
    // The buffer to append raw bytes to; call flushIfFull() now and then.
    std::string& buffer() { return buffer_; }
    // Writes the buffer out once it holds a block.
    void flushIfFull() {
        if (buffer_.size() >= kBlock) flush();
    }
    // Appends `text`, each bare line feed written as CR LF (a CR LF pair stays as it is).
    void text(const std::string& text);
    // Writes what remains and puts the file in the target's place; false (the target left as
    // it was) when any write failed.
    bool close();

private:
    void flush();
    void discard();
    FILE* file_ = nullptr;  // the open temporary file, owned
    std::string path_;      // the target
    std::string temp_;      // the temporary file beside it
    std::string buffer_;    // bytes not yet written
    bool failed_ = false;   // a write failed
};

// `text` with every line ending (CR LF, or a bare LF) replaced by a blank: for "--" comments.
std::string OneLine(const char* text);

}  // namespace morvex::mssql
