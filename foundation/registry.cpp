#include "foundation/registry.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>

#include "foundation/inputfile.h"
#include "foundation/trace.h"
#include "foundation/utf8.h"

namespace fs = std::filesystem;

namespace morvex {

const char* const kSettingsKeyPath = "Software\\MorvexFylatek";

namespace {

// A settings file larger than this is not ours: it is neither read nor overwritten.
constexpr size_t kMaxSettingsFileSize = 8u * 1024u * 1024u;

const char kHexDigits[] = "0123456789ABCDEF";

bool isHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return c - 'a' + 10;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

// True when `path` is `parent` itself or lies below it.
bool isSameOrBelow(std::string_view path, std::string_view parent) {
    if (path.size() < parent.size()) return false;
    if (!equalsNoCase(path.substr(0, parent.size()), parent)) return false;
    return path.size() == parent.size() || path[parent.size()] == '\\';
}

// Escapes what one line cannot carry; value names also escape what would end or hide the name.
std::string encodeText(std::string_view s, bool isName) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        bool escape = c == '\r' || c == '\n' || c == '\0';
        if (isBlank(c) && (i == 0 || i + 1 == s.size())) escape = true;
        // A "%" is escaped only where it would read back as an escape.
        if (c == '%' && i + 2 < s.size() && isHex(s[i + 1]) && isHex(s[i + 2])) escape = true;
        if (isName && (c == '=' || (i == 0 && (c == '[' || c == ';' || c == '#')))) escape = true;
        if (escape) {
            unsigned char u = static_cast<unsigned char>(c);
            out += '%';
            out += kHexDigits[u >> 4];
            out += kHexDigits[u & 0x0F];
        } else {
            out += c;
        }
    }
    return out;
}

std::string decodeText(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && isHex(s[i + 1]) && isHex(s[i + 2])) {
            out += static_cast<char>(hexValue(s[i + 1]) * 16 + hexValue(s[i + 2]));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

// A key path or value name is unusable when a line could not hold it.
bool isUsableKeyPath(std::string_view path) {
    if (trimBlanks(path).empty() || trimBlanks(path).size() != path.size()) return false;
    return path.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

// One line of the settings file.
struct IniLine {
    enum Kind { Section, Entry, Other };
    Kind kind;          // section header, "name=value" line, or anything else (kept as is)
    std::string text;   // the line as written (without its line end)
    std::string name;   // section name, or decoded value name
    std::string value;  // decoded value of an entry
};

// The settings file as a list of lines, each kept as it was unless changed.
class IniDocument {
public:
    enum class LoadResult { Loaded, Missing, Unreadable };

    LoadResult load(const std::string& path) {
        lines_.clear();
        std::error_code ec;
        fs::file_status st = fs::status(path, ec);
        if (ec || !fs::exists(st)) return LoadResult::Missing;
        std::string data;
        std::string error;
        if (!readInputFile(path.c_str(), kMaxSettingsFileSize, data, &error,
                           "Le fichier de paramètres")) {
            trace("\n[REG] %s Les paramètres ne sont ni lus ni écrits.", error.c_str());
            return LoadResult::Unreadable;
        }
        parse(data);
        return LoadResult::Loaded;
    }

    std::string serialize() const {
        std::string out;
        for (const IniLine& line : lines_) {
            out += line.text;
            out += '\n';
        }
        return out;
    }

    bool hasSection(std::string_view section) const {
        for (const IniLine& line : lines_)
            if (line.kind == IniLine::Section && equalsNoCase(line.name, section)) return true;
        return false;
    }

    // Appends an empty section unless it exists.
    void addSection(std::string_view section) {
        if (hasSection(section)) return;
        if (!lines_.empty() && !trimBlanks(lines_.back().text).empty())
            lines_.push_back({IniLine::Other, "", "", ""});
        lines_.push_back(
            {IniLine::Section, "[" + std::string(section) + "]", std::string(section), ""});
    }

    const IniLine* find(std::string_view section, std::string_view name) const {
        return const_cast<IniDocument*>(this)->find(section, name);
    }

    IniLine* find(std::string_view section, std::string_view name) {
        bool inSection = false;
        for (IniLine& line : lines_) {
            if (line.kind == IniLine::Section)
                inSection = equalsNoCase(line.name, section);
            else if (inSection && line.kind == IniLine::Entry && equalsNoCase(line.name, name))
                return &line;
        }
        return nullptr;
    }

    void set(std::string_view section, std::string_view name, std::string_view value) {
        addSection(section);
        if (IniLine* line = find(section, name)) {
            line->value = std::string(value);
            line->text = encodeText(line->name, true) + "=" + encodeText(value, false);
            return;
        }
        // Insert after the last entry of the section's first block (or right after its header).
        size_t insertAt = 0;
        bool inSection = false;
        for (size_t i = 0; i < lines_.size(); ++i) {
            const IniLine& line = lines_[i];
            if (line.kind == IniLine::Section) {
                if (inSection) break;
                inSection = equalsNoCase(line.name, section);
                if (inSection) insertAt = i + 1;
            } else if (inSection && line.kind == IniLine::Entry) {
                insertAt = i + 1;
            }
        }
        IniLine entry{IniLine::Entry, encodeText(name, true) + "=" + encodeText(value, false),
                      std::string(name), std::string(value)};
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt), std::move(entry));
    }

    bool remove(std::string_view section, std::string_view name) {
        bool inSection = false;
        for (size_t i = 0; i < lines_.size(); ++i) {
            const IniLine& line = lines_[i];
            if (line.kind == IniLine::Section) {
                inSection = equalsNoCase(line.name, section);
            } else if (inSection && line.kind == IniLine::Entry && equalsNoCase(line.name, name)) {
                lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i));
                return true;
            }
        }
        return false;
    }

    std::vector<std::string> names(std::string_view section) const {
        std::vector<std::string> out;
        bool inSection = false;
        for (const IniLine& line : lines_) {
            if (line.kind == IniLine::Section) {
                inSection = equalsNoCase(line.name, section);
            } else if (inSection && line.kind == IniLine::Entry) {
                bool seen = false;
                for (const std::string& n : out) seen = seen || equalsNoCase(n, line.name);
                if (!seen) out.push_back(line.name);
            }
        }
        return out;
    }

    std::vector<std::string> children(std::string_view section) const {
        std::vector<std::string> out;
        for (const IniLine& line : lines_) {
            if (line.kind != IniLine::Section) continue;
            std::string_view name = line.name;
            if (name.size() <= section.size() + 1 || !isSameOrBelow(name, section)) continue;
            std::string_view rest = name.substr(section.size() + 1);
            std::string child(rest.substr(0, rest.find('\\')));
            if (child.empty()) continue;
            bool seen = false;
            for (const std::string& c : out) seen = seen || equalsNoCase(c, child);
            if (!seen) out.push_back(child);
        }
        return out;
    }

    // Removes every block of `section` and of the sections below it.
    bool removeTree(std::string_view section) {
        bool removed = false;
        bool inTree = false;
        std::vector<IniLine> kept;
        for (IniLine& line : lines_) {
            if (line.kind == IniLine::Section) inTree = isSameOrBelow(line.name, section);
            if (inTree)
                removed = true;
            else
                kept.push_back(std::move(line));
        }
        lines_ = std::move(kept);
        return removed;
    }

    // A document holding only `section` and the sections below it.
    IniDocument extractTree(std::string_view section) const {
        IniDocument out;
        bool inTree = false;
        for (const IniLine& line : lines_) {
            if (line.kind == IniLine::Section) inTree = isSameOrBelow(line.name, section);
            if (inTree) out.lines_.push_back(line);
        }
        return out;
    }

private:
    void parse(const std::string& data) {
        size_t start = 0;
        // A byte order mark would hide the first section header.
        if (data.compare(0, 3, "\xEF\xBB\xBF") == 0) start = 3;
        while (start < data.size()) {
            size_t end = data.find('\n', start);
            if (end == std::string::npos) end = data.size();
            std::string text = data.substr(start, end - start);
            if (!text.empty() && text.back() == '\r') text.pop_back();
            lines_.push_back(parseLine(std::move(text)));
            start = end + 1;
        }
    }

    static IniLine parseLine(std::string text) {
        std::string_view t = trimBlanks(text);
        if (t.size() >= 2 && t.front() == '[' && t.back() == ']') {
            std::string name(trimBlanks(t.substr(1, t.size() - 2)));
            return {IniLine::Section, std::move(text), std::move(name), ""};
        }
        if (t.empty() || t.front() == ';' || t.front() == '#')
            return {IniLine::Other, std::move(text), "", ""};
        size_t eq = t.find('=');
        if (eq == std::string_view::npos) return {IniLine::Other, std::move(text), "", ""};
        std::string name = decodeText(trimBlanks(t.substr(0, eq)));
        std::string value = decodeText(trimBlanks(t.substr(eq + 1)));
        return {IniLine::Entry, std::move(text), std::move(name), std::move(value)};
    }

    std::vector<IniLine> lines_;
};

// Serialises every read-change-write of the settings file within this process.
std::mutex& fileLock() {
    static std::mutex lock;
    return lock;
}

// Loads the file, lets `change` edit it, and writes it back when `change` returns true.
// False when the file cannot be read, `change` refuses, or the write fails.
template <typename Change>
bool modifyFile(Change change) {
    std::lock_guard<std::mutex> guard(fileLock());
    std::string path = settingsFilePath();
    IniDocument doc;
    if (doc.load(path) == IniDocument::LoadResult::Unreadable) return false;
    if (!change(doc)) return false;
    return writeFileAtomically(path, doc.serialize());
}

// Loads the file for reading; a missing file reads as empty. False when it cannot be read.
bool readFile(IniDocument& doc) {
    std::lock_guard<std::mutex> guard(fileLock());
    return doc.load(settingsFilePath()) != IniDocument::LoadResult::Unreadable;
}

}  // namespace

std::string settingsEncodeValue(std::string_view value) {
    return encodeText(value, false);
}

std::string settingsDecodeValue(std::string_view text) {
    return decodeText(text);
}

std::string settingsFilePath() {
    const char* configDir = getenv("MORVEX_CONFIG_DIR");
    if (configDir && *configDir) return (fs::path(configDir) / "MorvexFylatek.ini").string();
    fs::path base;
    const char* xdg = getenv("XDG_CONFIG_HOME");
    if (xdg && *xdg == '/') {
        base = xdg;
    } else {
        const char* home = getenv("HOME");
        if (!home || !*home) {
            const passwd* user = getpwuid(getuid());
            home = user && user->pw_dir && *user->pw_dir ? user->pw_dir : ".";
        }
        base = fs::path(home) / ".config";
    }
    return (base / "MorvexFylatek" / "MorvexFylatek.ini").string();
}

bool writeFileAtomically(const std::string& path, const std::string& contents) {
    std::error_code ec;
    fs::path target(path);
    // Rewrite the file a symbolic link points to, not the link.
    if (fs::is_symlink(fs::symlink_status(target, ec))) {
        fs::path resolved = fs::weakly_canonical(target, ec);
        if (ec) return false;
        target = resolved;
    }
    fs::path folder = target.parent_path();
    if (!folder.empty()) {
        fs::create_directories(folder, ec);
        if (ec) return false;
    }
    std::string pattern = target.string() + ".XXXXXX";
    std::vector<char> tempName(pattern.begin(), pattern.end());
    tempName.push_back('\0');
    int fd = mkstemp(tempName.data());
    if (fd < 0) return false;
    bool ok = true;
    struct stat previous;
    if (stat(target.c_str(), &previous) == 0) fchmod(fd, previous.st_mode & 07777);
    const char* p = contents.data();
    size_t left = contents.size();
    while (ok && left > 0) {
        ssize_t written = write(fd, p, left);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            ok = false;
            break;
        }
        p += written;
        left -= static_cast<size_t>(written);
    }
    if (ok && fsync(fd) != 0) ok = false;
    if (close(fd) != 0) ok = false;
    if (ok && rename(tempName.data(), target.c_str()) != 0) ok = false;
    if (!ok) {
        unlink(tempName.data());
        return false;
    }
    int dirFd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (dirFd >= 0) {
        fsync(dirFd);
        close(dirFd);
    }
    return true;
}

std::unique_ptr<SettingsKey> SettingsKey::create(std::string_view keyPath, int access,
                                                 bool* created) {
    if (created) *created = false;
    if (!isUsableKeyPath(keyPath)) return nullptr;
    bool wasCreated = false;
    {
        std::lock_guard<std::mutex> guard(fileLock());
        std::string file = settingsFilePath();
        IniDocument doc;
        if (doc.load(file) == IniDocument::LoadResult::Unreadable) return nullptr;
        if (!doc.hasSection(keyPath)) {
            doc.addSection(keyPath);
            if (!writeFileAtomically(file, doc.serialize())) return nullptr;
            wasCreated = true;
        }
    }
    if (created) *created = wasCreated;
    return std::unique_ptr<SettingsKey>(new SettingsKey(std::string(keyPath), access));
}

std::unique_ptr<SettingsKey> SettingsKey::open(std::string_view keyPath, int access) {
    if (!exists(keyPath)) return nullptr;
    return std::unique_ptr<SettingsKey>(new SettingsKey(std::string(keyPath), access));
}

bool SettingsKey::exists(std::string_view keyPath) {
    if (!isUsableKeyPath(keyPath)) return false;
    IniDocument doc;
    return readFile(doc) && doc.hasSection(keyPath);
}

std::optional<std::string> SettingsKey::get(std::string_view name) const {
    if (!(access_ & REG_KEY_READ)) return std::nullopt;
    IniDocument doc;
    if (!readFile(doc)) return std::nullopt;
    const IniLine* line = doc.find(path_, name);
    if (!line) return std::nullopt;
    return line->value;
}

bool SettingsKey::set(std::string_view name, std::string_view value) const {
    if (!(access_ & REG_KEY_WRITE)) return false;
    return modifyFile([&](IniDocument& doc) {
        doc.set(path_, name, value);
        return true;
    });
}

bool SettingsKey::set(const std::vector<std::pair<std::string, std::string>>& values) const {
    if (!(access_ & REG_KEY_WRITE)) return false;
    return modifyFile([&](IniDocument& doc) {
        for (const auto& [name, value] : values) doc.set(path_, name, value);
        return true;
    });
}

bool SettingsKey::remove(std::string_view name) const {
    if (!(access_ & REG_KEY_WRITE)) return false;
    return modifyFile([&](IniDocument& doc) { return doc.remove(path_, name); });
}

std::vector<std::string> SettingsKey::valueNames() const {
    IniDocument doc;
    if (!(access_ & REG_KEY_READ) || !readFile(doc)) return {};
    return doc.names(path_);
}

std::vector<std::string> SettingsKey::subKeys() const {
    IniDocument doc;
    if (!(access_ & REG_KEY_READ) || !readFile(doc)) return {};
    return doc.children(path_);
}

bool SettingsKey::deleteSubKey(std::string_view name) const {
    if (!(access_ & REG_KEY_WRITE) || !isUsableKeyPath(name)) return false;
    std::string sub = path_ + "\\" + std::string(name);
    return modifyFile([&](IniDocument& doc) { return doc.removeTree(sub); });
}

bool SettingsKey::exportTo(const std::string& path) const {
    IniDocument doc;
    if (!readFile(doc)) return false;
    return writeFileAtomically(path, doc.extractTree(path_).serialize());
}

}  // namespace morvex

// ---- The process-wide open key ----

namespace {

// The key opened by REG_ouvrirAcces; user-interface thread only.
std::unique_ptr<morvex::SettingsKey>& openKey() {
    static std::unique_ptr<morvex::SettingsKey> key;
    return key;
}

// The value name of a call: a missing name is the key's unnamed value.
std::string_view valueName(const char* name) {
    return name ? std::string_view(name) : "";
}

const char kHex[] = "0123456789abcdef";

}  // namespace

int REG_ouvrirAcces(const char* sousCle, int acces, REG_CREATION_CALLBACK creation) {
    auto& key = openKey();
    if (key || !sousCle) return 0;
    std::string path = *sousCle ? std::string("Software\\") + sousCle : std::string("Software");
    bool created = false;
    key = morvex::SettingsKey::create(path, acces, &created);
    if (!key) return 0;
    if (created && creation) creation();
    return 1;
}

int REG_recupererChaine(const char* nomValeur, char* buffer, size_t taille) {
    if (!buffer || taille == 0) return 0;
    buffer[0] = '\0';
    auto& key = openKey();
    if (!key) return 0;
    std::optional<std::string> value = key->get(valueName(nomValeur));
    if (!value) return 0;
    morvex::utf8CopyCut(buffer, taille, std::string_view(*value));
    return 1;
}

int REG_preserverChaine(const char* nomValeur, const char* valeur) {
    auto& key = openKey();
    if (!key) return 0;
    return key->set(valueName(nomValeur), valeur ? valeur : "") ? 1 : 0;
}

int REG_preserverDWORD(const char* nomValeur, uint32_t valeur) {
    auto& key = openKey();
    if (!key) return 0;
    return key->set(valueName(nomValeur), std::to_string(valeur)) ? 1 : 0;
}

int REG_recupererDWORD(const char* nomValeur, uint32_t* valeur) {
    auto& key = openKey();
    if (!key || !valeur) return 0;
    std::optional<std::string> text = key->get(valueName(nomValeur));
    if (!text || text->empty() || text->size() > 10) return 0;
    unsigned long long n = 0;
    for (char c : *text) {
        if (c < '0' || c > '9') return 0;
        n = n * 10 + static_cast<unsigned>(c - '0');
    }
    if (n > UINT32_MAX) return 0;
    *valeur = static_cast<uint32_t>(n);
    return 1;
}

int REG_preserverMultiCh(const char* nomValeur, const char* multi) {
    auto& key = openKey();
    if (!key || !multi) return 0;
    std::string joined;
    for (const char* p = multi; *p; p += strlen(p) + 1) {
        if (p != multi) joined += '\0';
        joined += p;
    }
    return key->set(valueName(nomValeur), joined) ? 1 : 0;
}

int REG_recupererMultiCh(const char* nomValeur, char* buffer, size_t taille) {
    auto& key = openKey();
    if (!key || !buffer || taille < 2) return 0;
    std::optional<std::string> value = key->get(valueName(nomValeur));
    if (!value) return 0;
    // Each text ends with a NUL, and the list with one more (an empty list is one NUL pair).
    size_t needed = value->size() + 2;
    if (needed > taille) return 0;
    memcpy(buffer, value->data(), value->size());
    buffer[value->size()] = '\0';
    buffer[value->size() + 1] = '\0';
    return 1;
}

int REG_preserverBlocBin(const char* nomValeur, const void* donnees, size_t taille) {
    auto& key = openKey();
    if (!key || (!donnees && taille > 0)) return 0;
    const unsigned char* bytes = static_cast<const unsigned char*>(donnees);
    std::string hex;
    hex.reserve(taille * 2);
    for (size_t i = 0; i < taille; ++i) {
        hex += kHex[bytes[i] >> 4];
        hex += kHex[bytes[i] & 0x0F];
    }
    return key->set(valueName(nomValeur), hex) ? 1 : 0;
}

int REG_recupererBlocBin(const char* nomValeur, void* buffer, size_t* taille) {
    auto& key = openKey();
    if (!key || !taille) return 0;
    std::optional<std::string> hex = key->get(valueName(nomValeur));
    if (!hex || hex->size() % 2 != 0) return 0;
    std::string bytes;
    for (size_t i = 0; i < hex->size(); i += 2) {
        const char* hi = strchr(kHex, tolower(static_cast<unsigned char>((*hex)[i])));
        const char* lo = strchr(kHex, tolower(static_cast<unsigned char>((*hex)[i + 1])));
        if (!(*hex)[i] || !(*hex)[i + 1] || !hi || !lo) return 0;
        bytes += static_cast<char>((hi - kHex) * 16 + (lo - kHex));
    }
    if (bytes.size() > *taille || (!buffer && !bytes.empty())) {
        *taille = bytes.size();
        return 0;
    }
    if (!bytes.empty()) memcpy(buffer, bytes.data(), bytes.size());
    *taille = bytes.size();
    return 1;
}

int REG_supprimerSousCle(const char* sousCle) {
    auto& key = openKey();
    if (!key || !sousCle) return 0;
    return key->deleteSubKey(sousCle) ? 1 : 0;
}

int REG_trouverCle(char* nom, int index, size_t taille) {
    auto& key = openKey();
    if (!key || !nom || taille == 0 || index < 0) return 0;
    nom[0] = '\0';
    std::vector<std::string> children = key->subKeys();
    if (static_cast<size_t>(index) >= children.size()) return 0;
    const std::string& name = children[static_cast<size_t>(index)];
    if (name.size() + 1 > taille) return 0;
    memcpy(nom, name.c_str(), name.size() + 1);
    return 1;
}

int REG_sauverCles() {
    auto& key = openKey();
    if (!key) return 0;
    std::error_code ec;
    fs::path program = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return 0;
    return key->exportTo((program.parent_path() / "controles").string()) ? 1 : 0;
}

int REG_fermerAcces() {
    auto& key = openKey();
    if (!key) return 0;
    key.reset();
    return 1;
}
