#include "foundation/replacefile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "foundation/inputfile.h"

namespace fs = std::filesystem;

namespace morvex {

namespace {

// Tells apart the temporary files of one process.
std::atomic<unsigned> temporaryCount{0};

}  // namespace

std::string fileErrorText(int error) {
    if (error == 0) return "l'écriture a échoué";
    // A file being written that is missing has no folder to go in.
    if (error == ENOENT) return "le dossier n'existe pas";
    return systemErrorText(error);
}

bool writeFileReplacing(const std::string& target,
                        const std::function<bool(const std::string& temporary)>& write,
                        std::string* error) {
    auto fail = [&](int err) {
        if (error)
            *error =
                "Impossible d'écrire le fichier '" + target + "' : " + fileErrorText(err) + ".";
        return false;
    };
    if (target.empty()) return fail(ENOENT);
    std::error_code ec;
    if (fs::is_directory(target, ec)) return fail(EISDIR);
    // A file kept read-only is not replaced behind its owner's back.
    if (access(target.c_str(), F_OK) == 0 && access(target.c_str(), W_OK) != 0) return fail(errno);
    // Created with the permissions a new file gets (the kernel applies the umask); a file
    // replaced keeps its own.
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temporary = target + ".tmp" + std::to_string(getpid()) + "-" +
                    std::to_string(temporaryCount.fetch_add(1));
        fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) return fail(errno);
    }
    if (fd < 0) return fail(EEXIST);
    struct stat existing {};
    if (stat(target.c_str(), &existing) == 0) fchmod(fd, existing.st_mode & 07777);
    close(fd);
    errno = 0;
    if (!write || !write(temporary)) {
        const int err = errno;
        unlink(temporary.c_str());
        return fail(err);
    }
    if (rename(temporary.c_str(), target.c_str()) != 0) {
        const int err = errno;
        unlink(temporary.c_str());
        return fail(err);
    }
    return true;
}

}  // namespace morvex
