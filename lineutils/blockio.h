// Block input and output shared by lintrim and linenum.
//
// Both programs read their source and write their target in large blocks on raw file
// descriptors: one read() or write() per block, never one system call per byte. Everything here
// is header-only because each program is built from its own single source file.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <vector>

namespace morvex::lineutils {

// Size of every read and write block.
constexpr size_t kBlockSize = size_t{1} << 20;

// Owns one open file descriptor and closes it when destroyed.
class FileHandle {
public:
    explicit FileHandle(int fd) : fd_(fd) {}
    ~FileHandle() { close(); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    int fd() const { return fd_; }
    bool valid() const { return fd_ >= 0; }

    // Closes the descriptor now; false when the system reports an error (for a target, data
    // that could not be written). Closing an invalid or already closed handle succeeds.
    bool close() {
        if (fd_ < 0) return true;
        int rc = ::close(fd_);
        fd_ = -1;
        return rc == 0;
    }

private:
    int fd_;  // the descriptor, -1 when none
};

// Opens `path` for reading. A directory is refused as if it could not be opened.
// Returns the descriptor, or -1.
inline int openSource(const char* path) {
    int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat info;
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Creates `path`, or truncates it, for writing. Returns the descriptor, or -1.
inline int openTarget(const char* path) {
    return ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
}

// True when `path` names an existing file that is the very file open on `fd` (same device and
// inode, whatever the spelling of the path, links included).
inline bool isSameFile(int fd, const char* path) {
    struct stat opened;
    struct stat named;
    if (::fstat(fd, &opened) != 0 || ::stat(path, &named) != 0) return false;
    return opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

// Reads up to `size` bytes into `buffer`, retrying interrupted calls. Returns the number of
// bytes read, 0 at the end of the file, -1 on a read error.
inline ssize_t readBlock(int fd, char* buffer, size_t size) {
    for (;;) {
        ssize_t got = ::read(fd, buffer, size);
        if (got >= 0 || errno != EINTR) return got;
    }
}

// Collects output in one block and writes it whole when it is full. The first write error is
// remembered; everything put after it is dropped. Owned by one thread.
class BlockWriter {
public:
    // `fd` is not owned.
    explicit BlockWriter(int fd) : fd_(fd), buffer_(kBlockSize) {}

    // Appends `size` bytes.
    void put(const char* data, size_t size) {
        if (size <= buffer_.size() - used_) {
            std::memcpy(buffer_.data() + used_, data, size);
            used_ += size;
            return;
        }
        putSlow(data, size);
    }

    // Writes what is collected. Returns false once any write has failed.
    bool flush() {
        if (used_ > 0 && !failed_) failed_ = !writeAll(buffer_.data(), used_);
        used_ = 0;
        return !failed_;
    }

    // True once a write has failed (disk full, broken device...).
    bool failed() const { return failed_; }

private:
    void putSlow(const char* data, size_t size) {
        flush();
        if (size >= buffer_.size()) {
            if (!failed_) failed_ = !writeAll(data, size);
            return;
        }
        std::memcpy(buffer_.data(), data, size);
        used_ = size;
    }

    bool writeAll(const char* data, size_t size) {
        while (size > 0) {
            ssize_t done = ::write(fd_, data, size);
            if (done < 0) {
                if (errno == EINTR) continue;
                return false;
            }
            if (done == 0) return false;
            data += done;
            size -= static_cast<size_t>(done);
        }
        return true;
    }

    int fd_;                    // target descriptor (not owned)
    std::vector<char> buffer_;  // the block being collected
    size_t used_ = 0;           // bytes of buffer_ in use
    bool failed_ = false;       // a write has failed
};

}  // namespace morvex::lineutils
