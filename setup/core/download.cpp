// One download of the update program through libcurl: a temporary file that replaces the local
// file once complete, an optional SHA-256 check, and the traces of the update procedure.
#include "setup/core/download.h"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <errno.h>
#include <fcntl.h>
#include <openssl/evp.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>

#include "foundation/inputfile.h"
#include "foundation/owned.h"
#include "foundation/trace.h"

const char* const DOWNLOAD_AGENT = "Test Application";

namespace {

// The longest server answer text that a failure trace carries.
constexpr size_t kMaxResponseText = 1024;

// libcurl's process-wide set-up, done once before the first transfer.
void ensureCurlReady() {
    static const bool ready = [] {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        return true;
    }();
    (void)ready;
}

using CurlText = morvex::Owned<char, curl_free>;
using Digest = morvex::Owned<EVP_MD_CTX, EVP_MD_CTX_free>;

// The permission bits a new file gets: read and write for everyone, less the process umask
// (read from /proc, since setting the umask to read it would race with other threads).
mode_t newFileMode() {
    static const mode_t mode = [] {
        mode_t mask = 022;
        std::ifstream status("/proc/self/status");
        std::string line;
        while (std::getline(status, line)) {
            if (line.rfind("Umask:", 0) == 0) {
                mask = static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
                break;
            }
        }
        return static_cast<mode_t>(0666 & ~mask);
    }();
    return mode;
}

std::string toHex(const unsigned char* bytes, size_t size) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(size * 2);
    for (size_t i = 0; i < size; ++i) {
        out += digits[bytes[i] >> 4];
        out += digits[bytes[i] & 0x0F];
    }
    return out;
}

Digest newSha256() {
    Digest ctx(EVP_MD_CTX_new());
    if (ctx && EVP_DigestInit_ex(ctx.get(), EVP_sha256(), nullptr) != 1) ctx.reset();
    return ctx;
}

std::string finishSha256(EVP_MD_CTX* ctx) {
    std::array<unsigned char, EVP_MAX_MD_SIZE> md{};
    unsigned int size = 0;
    if (EVP_DigestFinal_ex(ctx, md.data(), &size) != 1) return {};
    return toHex(md.data(), size);
}

// A valid expected digest: exactly 64 hexadecimal digits (returned in lower case), else empty.
std::string normaliseDigest(const std::string& text) {
    if (text.size() != 64) return {};
    std::string out;
    for (char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return {};
        out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return out;
}

// State of one transfer, shared with the libcurl callbacks (one thread).
struct Transfer {
    CURL* curl = nullptr;                     // the easy handle (not owned)
    std::string localPath;                    // where the file ends up
    std::string tempPath;                     // the temporary file beside it, once created
    int fd = -1;                              // the temporary file, once created
    bool opened = false;                      // a final 2xx answer arrived: "OK" was traced
    bool refused = false;                     // the server answered with an error status
    bool fileFailed = false;                  // the temporary file could not be created (traced)
    bool writeFailed = false;                 // writing the body failed (traced)
    std::string statusLine;                   // the last status line of the server
    long long total = 0;                      // body bytes written so far
    EVP_MD_CTX* digest = nullptr;             // SHA-256 of the body so far (not owned)
    const std::atomic<bool>* stop = nullptr;  // the caller's stop request, or nullptr
    std::string reason;                       // why it failed, in French, once known

    ~Transfer() { discard(); }
    // Closes and removes the temporary file, if any.
    void discard() {
        if (fd >= 0) close(fd);
        fd = -1;
        if (!tempPath.empty()) unlink(tempPath.c_str());
        tempPath.clear();
    }
};

std::string parentDirectory(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// Creates the temporary file beside the local path; false (traced) when it cannot.
bool openTemporary(Transfer& t) {
    std::string templ = parentDirectory(t.localPath) + "/.morvexsetup-XXXXXX";
    const int fd = mkostemp(templ.data(), O_CLOEXEC);
    if (fd < 0) {
        t.reason = morvex::systemErrorText(errno);
        morvex::trace("\nImpossible d'ouvrir le fichier [%s]\nErreur : %s", t.localPath.c_str(),
                      t.reason.c_str());
        return false;
    }
    t.fd = fd;
    t.tempPath = templ;
    return true;
}

// Called for every header line; at the end of each answer's header block, decides whether the
// address is "open" (final success answer) or refused.
size_t onHeader(char* data, size_t size, size_t count, void* user) {
    auto& t = *static_cast<Transfer*>(user);
    const size_t n = size * count;
    std::string line(data, n);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    if (line.rfind("HTTP/", 0) == 0) {
        t.statusLine = line.substr(0, kMaxResponseText);
        return n;
    }
    if (!line.empty()) return n;

    long code = 0;
    curl_easy_getinfo(t.curl, CURLINFO_RESPONSE_CODE, &code);
    if (code < 200) return n;  // an interim answer: the real one follows
    if (code >= 300 && code < 400) {
        char* next = nullptr;
        curl_easy_getinfo(t.curl, CURLINFO_REDIRECT_URL, &next);
        if (next) return n;  // followed by libcurl
    }
    if (code >= 300) {
        t.refused = true;
        return 0;
    }
    morvex::traceText("OK");
    t.opened = true;
    if (!openTemporary(t)) {
        t.fileFailed = true;
        return 0;
    }
    return n;
}

size_t onBody(char* data, size_t size, size_t count, void* user) {
    auto& t = *static_cast<Transfer*>(user);
    const size_t n = size * count;
    if (t.fd < 0) return t.opened ? 0 : n;  // before the final answer: a redirection's body
    size_t done = 0;
    while (done < n) {
        const ssize_t w = write(t.fd, data + done, n - done);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) {
            t.reason = morvex::systemErrorText(w < 0 ? errno : EIO);
            morvex::trace("\nErreur : %s", t.reason.c_str());
            t.writeFailed = true;
            return 0;
        }
        done += static_cast<size_t>(w);
    }
    if (t.digest) EVP_DigestUpdate(t.digest, data, n);
    t.total += static_cast<long long>(n);
    morvex::trace("\n[Downloading=%lld]", t.total);
    return n;
}

int onProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    const auto& t = *static_cast<Transfer*>(user);
    return t.stop && t.stop->load() ? 1 : 0;
}

void traceOpenFailure(const std::string& text) {
    morvex::traceText("\nErreur InternetOpenUrl");
    morvex::trace("\nErreur : %s", text.substr(0, kMaxResponseText).c_str());
}

// Writes the temporary file to disk, checks its digest and moves it over the local path.
bool install(Transfer& t, const std::string& expected) {
    if (fsync(t.fd) != 0 || close(t.fd) != 0) {
        t.fd = -1;
        t.reason = morvex::systemErrorText(errno);
        morvex::trace("\nErreur : %s", t.reason.c_str());
        return false;
    }
    t.fd = -1;
    if (!expected.empty()) {
        const std::string got = t.digest ? finishSha256(t.digest) : std::string();
        if (got != expected) {
            t.reason = "empreinte SHA-256 différente";
            morvex::trace("\nEmpreinte SHA-256 différente pour [%s] : attendue %s, reçue %s",
                          t.localPath.c_str(), expected.c_str(), got.c_str());
            return false;
        }
    }
    // An update keeps the permissions of the file it replaces (an executable stays one).
    struct stat old {};
    mode_t mode = newFileMode();
    if (stat(t.localPath.c_str(), &old) == 0 && S_ISREG(old.st_mode)) mode = old.st_mode & 07777;
    chmod(t.tempPath.c_str(), mode);
    if (rename(t.tempPath.c_str(), t.localPath.c_str()) != 0) {
        t.reason = morvex::systemErrorText(errno);
        morvex::trace("\nImpossible d'ouvrir le fichier [%s]\nErreur : %s", t.localPath.c_str(),
                      t.reason.c_str());
        return false;
    }
    t.tempPath.clear();
    return true;
}

}  // namespace

bool DOWNLOAD_IsAllowedUrl(const char* url) {
    if (!url) return false;
    ensureCurlReady();
    morvex::Owned<CURLU, curl_url_cleanup> u(curl_url());
    if (!u || curl_url_set(u.get(), CURLUPART_URL, url, 0) != CURLUE_OK) return false;
    char* rawScheme = nullptr;
    char* rawHost = nullptr;
    curl_url_get(u.get(), CURLUPART_SCHEME, &rawScheme, 0);
    CurlText scheme(rawScheme);
    curl_url_get(u.get(), CURLUPART_HOST, &rawHost, 0);
    CurlText host(rawHost);
    if (!scheme || !host || !*host) return false;
    const std::string s = scheme.get();
    if (s == "https") return true;
    if (s != "http") return false;
    std::string h = host.get();
    std::transform(h.begin(), h.end(), h.begin(), [](unsigned char c) { return std::tolower(c); });
    if (h == "localhost" || h == "[::1]") return true;
    in_addr v4{};
    return inet_pton(AF_INET, h.c_str(), &v4) == 1 && (ntohl(v4.s_addr) >> 24) == 127;
}

std::string DOWNLOAD_FileSha256(const char* path) {
    if (!path) return {};
    morvex::FilePtr in(morvex::openInputFile(path, nullptr));
    if (!in) return {};
    Digest ctx = newSha256();
    if (!ctx) return {};
    std::array<char, 65536> buffer{};
    size_t got = 0;
    while ((got = fread(buffer.data(), 1, buffer.size(), in.get())) > 0)
        EVP_DigestUpdate(ctx.get(), buffer.data(), got);
    if (ferror(in.get())) return {};
    return finishSha256(ctx.get());
}

std::string DOWNLOAD_CurlErrorText(int code) {
    switch (static_cast<CURLcode>(code)) {
        case CURLE_OK:
            return "aucune erreur";
        case CURLE_UNSUPPORTED_PROTOCOL:
            return "protocole refusé";
        case CURLE_URL_MALFORMAT:
            return "adresse invalide";
        case CURLE_COULDNT_RESOLVE_PROXY:
        case CURLE_COULDNT_RESOLVE_HOST:
            return "serveur introuvable";
        case CURLE_COULDNT_CONNECT:
            return "connexion au serveur impossible";
        case CURLE_PARTIAL_FILE:
            return "transfert interrompu avant la fin du fichier";
        case CURLE_HTTP_RETURNED_ERROR:
            return "refusé par le serveur";
        case CURLE_WRITE_ERROR:
            return "écriture du fichier impossible";
        case CURLE_READ_ERROR:
            return "lecture impossible";
        case CURLE_OUT_OF_MEMORY:
            return "mémoire insuffisante";
        case CURLE_OPERATION_TIMEDOUT:
            return "délai dépassé";
        case CURLE_ABORTED_BY_CALLBACK:
            return "interrompu à la demande";
        case CURLE_TOO_MANY_REDIRECTS:
            return "trop de redirections";
        case CURLE_GOT_NOTHING:
            return "le serveur n'a rien répondu";
        case CURLE_SEND_ERROR:
            return "erreur d'envoi sur le réseau";
        case CURLE_RECV_ERROR:
            return "erreur de réception sur le réseau";
        case CURLE_SSL_CONNECT_ERROR:
            return "connexion sécurisée impossible";
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CACERT_BADFILE:
            return "certificat du serveur refusé";
        case CURLE_FILESIZE_EXCEEDED:
            return "fichier trop grand";
        case CURLE_BAD_CONTENT_ENCODING:
            return "contenu mal encodé";
        default:
            return "erreur de transfert " + std::to_string(code);
    }
}

namespace {

bool downloadFile(const char* url, const char* localPath, const DOWNLOAD_OPTIONS* options,
                  std::string& reason) {
    if (!url || !localPath || !*localPath) return false;
    const DOWNLOAD_OPTIONS defaults;
    const DOWNLOAD_OPTIONS& opt = options ? *options : defaults;
    ensureCurlReady();

    morvex::trace("\nInternetOpenUrl:[%s]", url);
    if (!DOWNLOAD_IsAllowedUrl(url)) {
        reason = "adresse refusée (HTTPS exigé, HTTP seulement vers la machine locale)";
        traceOpenFailure(reason);
        return false;
    }
    std::string expected;
    if (!opt.expectedSha256.empty()) {
        expected = normaliseDigest(opt.expectedSha256);
        if (expected.empty()) {
            reason = "empreinte SHA-256 invalide dans la liste des fichiers";
            morvex::trace("\nEmpreinte SHA-256 invalide [%s]", opt.expectedSha256.c_str());
            return false;
        }
    }

    morvex::Owned<CURL, curl_easy_cleanup> curl(curl_easy_init());
    Digest digest = expected.empty() ? Digest() : newSha256();
    if (!curl || (!expected.empty() && !digest)) {
        reason = "initialisation du client impossible";
        traceOpenFailure(reason);
        return false;
    }
    morvex::Owned<curl_slist, curl_slist_free_all> headers(
        curl_slist_append(nullptr, "Cache-Control: no-cache"));
    if (headers) curl_slist_append(headers.get(), "Pragma: no-cache");

    Transfer t;
    t.curl = curl.get();
    t.localPath = localPath;
    t.digest = digest.get();
    t.stop = opt.stop;
    char errorText[CURL_ERROR_SIZE] = "";

    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, url);
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "https");
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(c, CURLOPT_USERAGENT, DOWNLOAD_AGENT);
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, opt.connectTimeoutSeconds);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, opt.stallTimeoutSeconds);
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(c, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, onProgress);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &t);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);

    const CURLcode rc = curl_easy_perform(c);
    if (rc == CURLE_OK && t.fd >= 0) {
        const bool installed = install(t, expected);
        reason = t.reason;
        return installed;
    }

    if (t.refused) {
        reason = "refusé par le serveur : " + t.statusLine;
        traceOpenFailure(t.statusLine);
    } else if (t.fileFailed || t.writeFailed) {
        reason = t.reason;  // already traced where it happened
    } else if (!t.opened) {
        reason = DOWNLOAD_CurlErrorText(rc);
        traceOpenFailure(errorText[0] ? errorText : curl_easy_strerror(rc));
    } else {
        reason = DOWNLOAD_CurlErrorText(rc);
        morvex::trace("\nErreur : %s", reason.c_str());
    }
    return false;
}

}  // namespace

bool DOWNLOAD_File(const char* url, const char* localPath, const DOWNLOAD_OPTIONS* options,
                   std::string* reason) {
    std::string why;
    const bool ok = downloadFile(url, localPath, options, why);
    if (reason) *reason = ok ? std::string() : why.empty() ? "échec du téléchargement" : why;
    return ok;
}
