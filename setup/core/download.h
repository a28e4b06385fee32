// DOWNLOAD: fetches one file from the update server into a local file, over HTTPS with the
// server's certificate checked (plain HTTP only towards this machine's loopback address).
//
// The body goes to a temporary file beside the local path; the local file is replaced by it only
// once the transfer is complete (and its SHA-256 matches when one is expected), so a failed
// download leaves an existing file as it was. Every transfer has a connection timeout and ends
// when no byte arrives for a while, so that a silent server never hangs the caller.
#pragma once

#include <atomic>
#include <string>

// Limits and checks of one download.
struct DOWNLOAD_OPTIONS {
    long connectTimeoutSeconds = 20;  // time allowed to reach the server and get its answer
    long stallTimeoutSeconds = 30;    // a transfer that receives nothing for this long fails
    std::string expectedSha256;       // 64 hexadecimal digits, or empty when not checked
    const std::atomic<bool>* stop = nullptr;  // when set and true, the transfer is abandoned
};

// The agent name the client gives the server.
extern const char* const DOWNLOAD_AGENT;

// Downloads `url` to `localPath` (replacing the file when it exists), with the traces of the
// update program. True when the whole body was received and installed; false on any failure,
// the previous file then being untouched. Any thread may call it; options may be nullptr.
// `reason` (when not null) receives why it failed, in French words ("délai dépassé", "disque
// plein", "empreinte SHA-256 différente", "refusé par le serveur : HTTP/1.1 404 Not Found"...).
bool DOWNLOAD_File(const char* url, const char* localPath, const DOWNLOAD_OPTIONS* options,
                   std::string* reason = nullptr);

// The French words for a libcurl result code (CURLcode), as a failed transfer tells it:
// "délai dépassé" for a timeout, "transfert interrompu avant la fin du fichier"...; "erreur de
// transfert <n>" for a code without words of its own.
std::string DOWNLOAD_CurlErrorText(int code);

// True when `url` may be fetched: an https address, or an http one whose host is a loopback
// address ("localhost", 127.x.x.x, [::1]).
bool DOWNLOAD_IsAllowedUrl(const char* url);

// The SHA-256 of the file at `path` in lower-case hexadecimal, or an empty text when it cannot
// be read.
std::string DOWNLOAD_FileSha256(const char* path);
