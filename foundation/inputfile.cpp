#include "foundation/inputfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace morvex {
namespace {

// What a file of mode `mode` is, as the refusal says it; empty for a regular file.
std::string kindRefusal(mode_t mode) {
    if (S_ISREG(mode)) return {};
    if (S_ISDIR(mode)) return "est un dossier, pas un fichier";
    if (S_ISFIFO(mode)) return "est un tube nommé, pas un fichier ordinaire";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "est un périphérique, pas un fichier ordinaire";
    if (S_ISSOCK(mode)) return "est une socket, pas un fichier ordinaire";
    return "n'est pas un fichier ordinaire";
}

void setError(std::string* error, const char* path, const std::string& reason,
              const char* what = nullptr) {
    if (error)
        *error = std::string(what ? what : "Le fichier") + " '" + std::string(path ? path : "") +
                 "' " + reason + ".";
}

// Closes a descriptor when it goes out of scope unless released.
class FdGuard {
public:
    explicit FdGuard(int fd) : fd_(fd) {}
    ~FdGuard() {
        if (fd_ >= 0) ::close(fd_);
    }
    FdGuard(const FdGuard&) = delete;
    FdGuard& operator=(const FdGuard&) = delete;
    int get() const { return fd_; }
    int release() {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

}  // namespace

std::string systemErrorText(int errorNumber) {
    switch (errorNumber) {
        case ENOENT:
            return "fichier ou dossier introuvable";
        case EACCES:
        case EPERM:
            return "accès refusé";
        case ENOSPC:
        case EDQUOT:
            return "disque plein";
        case EROFS:
            return "disque en lecture seule";
        case EISDIR:
            return "c'est un dossier";
        case ENOTDIR:
            return "un élément du chemin n'est pas un dossier";
        case ENAMETOOLONG:
            return "nom trop long";
        case ELOOP:
            return "trop de liens symboliques";
        case EMFILE:
        case ENFILE:
            return "trop de fichiers ouverts";
        case ENOMEM:
            return "mémoire insuffisante";
        case EIO:
            return "erreur d'entrée-sortie";
        case EEXIST:
            return "le fichier existe déjà";
        case EBUSY:
        case ETXTBSY:
            return "fichier occupé";
        case EFBIG:
            return "fichier trop grand";
        case EXDEV:
            return "déplacement entre deux disques impossible";
        case ETIMEDOUT:
            return "délai dépassé";
        case ECONNREFUSED:
            return "connexion refusée";
        case EINTR:
            return "opération interrompue";
        default:
            return "erreur système " + std::to_string(errorNumber);
    }
}

std::string byteCountText(size_t bytes) {
    std::string digits = std::to_string(bytes);
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ' ';
        out += digits[i];
    }
    return out + (bytes > 1 ? " octets" : " octet");
}

std::string inputFileRefusal(const char* path) {
    struct stat st {};
    if (!path || stat(path, &st) != 0) return {};
    return kindRefusal(st.st_mode);
}

int openInputFd(const char* path, std::string* error, InputKind kind, const char* what) {
    if (!path || !*path) {
        setError(error, "", "n'est pas nommé", what);
        return -1;
    }
    if (kind != InputKind::RegularOnly && strcmp(path, "-") == 0) {
        int fd = fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0);
        if (fd < 0) setError(error, path, "(entrée standard) ne peut pas être lu", what);
        return fd;
    }
    // A stream asked for: a named pipe is opened blocking, waiting for the one that writes it.
    struct stat before {};
    const bool waitForWriter =
        kind == InputKind::Stream && stat(path, &before) == 0 && S_ISFIFO(before.st_mode);
    FdGuard fd(::open(path, O_RDONLY | (waitForWriter ? 0 : O_NONBLOCK) | O_CLOEXEC | O_NOCTTY));
    if (fd.get() < 0) {
        const int err = errno;
        setError(error, path,
                 err == ENOENT ? std::string("n'existe pas")
                               : "ne peut pas être ouvert : " + systemErrorText(err),
                 what);
        return -1;
    }
    struct stat st {};
    if (fstat(fd.get(), &st) != 0) {
        setError(error, path, "ne peut pas être lu : " + systemErrorText(errno), what);
        return -1;
    }
    const bool stream = S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode) || S_ISSOCK(st.st_mode);
    const std::string refusal =
        kind == InputKind::Stream && stream ? std::string() : kindRefusal(st.st_mode);
    if (!refusal.empty()) {
        setError(error, path, refusal, what);
        return -1;
    }
    const int flags = fcntl(fd.get(), F_GETFL);
    if (flags < 0 || fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
        setError(error, path, "ne peut pas être lu : " + systemErrorText(errno), what);
        return -1;
    }
    return fd.release();
}

FILE* openInputFile(const char* path, std::string* error, InputKind kind, const char* what) {
    FdGuard fd(openInputFd(path, error, kind, what));
    if (fd.get() < 0) return nullptr;
    FILE* file = fdopen(fd.get(), "rb");
    if (!file) {
        setError(error, path, "ne peut pas être lu : " + systemErrorText(errno), what);
        return nullptr;
    }
    fd.release();
    return file;
}

bool readInputFile(const char* path, size_t limit, std::string& out, std::string* error,
                   const char* what) {
    out.clear();
    FdGuard fd(openInputFd(path, error, InputKind::RegularOnly, what));
    const std::string subject = what ? what : "Le fichier";
    auto fail = [&](const std::string& reason) {
        if (error) *error = subject + " '" + std::string(path ? path : "") + "' " + reason + ".";
        out.clear();
        return false;
    };
    if (fd.get() < 0) return false;
    struct stat st {};
    if (fstat(fd.get(), &st) == 0 && static_cast<unsigned long long>(st.st_size) > limit)
        return fail("dépasse la taille permise (" + byteCountText(limit) + ")");
    out.reserve(static_cast<size_t>(st.st_size));
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) continue;
            return fail("ne peut pas être lu : " + systemErrorText(errno));
        }
        if (got == 0) break;
        // The file may have grown since it was measured.
        if (out.size() + static_cast<size_t>(got) > limit)
            return fail("dépasse la taille permise (" + byteCountText(limit) + ")");
        out.append(buffer, static_cast<size_t>(got));
    }
    return true;
}

}  // namespace morvex
