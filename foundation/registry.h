// REG: the per-user settings store, a tree of keys holding named text values.
//
// On this platform the store is one INI-style file, settingsFilePath(): every key is a section
// named by its key path ("[Software\MorvexFylatek]", sub-keys separated by one backslash) and
// every value a line "name=value". Sections, values, comments and lines that this module does not
// understand (another program's values, a damaged file) are kept as they are when the file is
// rewritten. Every change rewrites the whole file atomically (a temporary file in the same folder,
// then a rename), so a crash never leaves a half-written file; the folder is created on the first
// write. Key paths and value names compare without regard to ASCII case.
//
// Values are arbitrary texts. They are written as they stand (backslashes, "=", "[", ";" and UTF-8
// included) except for a few bytes that the line format could not carry, which are written as
// "%" and two hexadecimal digits: carriage return, line feed, NUL, a blank (space or tab) at the
// start or the end, and a "%" that would otherwise read as such an escape. Value names also
// escape "=" and a leading "[", ";" or "#".
//
// The REG_* functions work on one process-wide open key (opened by REG_ouvrirAcces, closed by
// REG_fermerAcces) and belong to the user-interface thread. They return 1 on success and 0 on
// failure, like the system calls they stand for. Code that must not disturb that open key (the
// first-run check and the saving of the settings) opens a morvex::SettingsKey directly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Access rights of an opened key (they combine).
constexpr int REG_KEY_READ = 1;                                   // values may be read
constexpr int REG_KEY_WRITE = 2;                                  // values and sub-keys may change
constexpr int REG_KEY_ALL_ACCESS = REG_KEY_READ | REG_KEY_WRITE;  // both

// Called by REG_ouvrirAcces right after it created the key (the key is then open).
typedef void (*REG_CREATION_CALLBACK)();

// Creates or opens the key "Software\" + sousCle as the process-wide open key; when the key was
// newly created and a callback is given, calls it. 0 when a key is already open, when sousCle is
// missing or unusable (line breaks) or when the settings file cannot be read or written.
int REG_ouvrirAcces(const char* sousCle, int acces, REG_CREATION_CALLBACK creation);
// Copies the string value nomValeur of the open key into buffer (taille bytes, terminator
// included), cut at a character boundary when longer. 0 when no key is open, the value does not
// exist or the buffer is missing (the buffer then holds an empty text when it exists).
int REG_recupererChaine(const char* nomValeur, char* buffer, size_t taille);
// Writes a string value into the open key (which needs write access). 0 on failure.
int REG_preserverChaine(const char* nomValeur, const char* valeur);
// Writes a 32-bit value, stored as decimal text. 0 on failure.
int REG_preserverDWORD(const char* nomValeur, uint32_t valeur);
// Reads a 32-bit value written as decimal text. 0 when missing, not a number or out of range
// (*valeur is then left as it was).
int REG_recupererDWORD(const char* nomValeur, uint32_t* valeur);
// Writes a multi-string value: texts each followed by a NUL, the list ended by an empty text
// (a second NUL). 0 on failure.
int REG_preserverMultiCh(const char* nomValeur, const char* multi);
// Reads a multi-string value into buffer in the layout above (taille bytes). 0 when missing or
// when it does not fit (nothing useful is then in the buffer).
int REG_recupererMultiCh(const char* nomValeur, char* buffer, size_t taille);
// Writes taille bytes as a binary value (stored as hexadecimal text). 0 on failure.
int REG_preserverBlocBin(const char* nomValeur, const void* donnees, size_t taille);
// Reads a binary value into buffer; *taille gives its size and receives the size read. 0 when
// missing, not binary, or larger than the buffer (*taille then receives the size needed).
int REG_recupererBlocBin(const char* nomValeur, void* buffer, size_t* taille);
// Deletes the sub-key sousCle of the open key with all its own sub-keys. 0 on failure.
int REG_supprimerSousCle(const char* sousCle);
// Copies the name of the index-th (from 0) sub-key of the open key into nom (taille bytes).
// 0 when there is no such sub-key or the name does not fit.
int REG_trouverCle(char* nom, int index, size_t taille);
// Saves the open key with its sub-keys, in the settings file format, to the file "controles" in
// the program's folder. 0 on failure.
int REG_sauverCles();
// Closes the open key. 0 when no key was open.
int REG_fermerAcces();

namespace morvex {

// The settings file: "$MORVEX_CONFIG_DIR/MorvexFylatek.ini" when that variable is set and not
// empty, else "${XDG_CONFIG_HOME:-$HOME/.config}/MorvexFylatek/MorvexFylatek.ini".
std::string settingsFilePath();

// The key path of the program's settings, "Software\MorvexFylatek".
extern const char* const kSettingsKeyPath;

// The line-safe form of a value (see the header comment) and its reverse.
std::string settingsEncodeValue(std::string_view value);
std::string settingsDecodeValue(std::string_view text);

// One key of the settings store, opened directly (not the REG_* process-wide key). Each call
// reads the file afresh, and each change rewrites it, so two programs sharing the file see each
// other's values. Calls from several threads are serialised.
class SettingsKey {
public:
    // Creates the key when missing (writing the file), then opens it; *created (optional) tells
    // whether it was created. nullptr when the path is unusable or the file cannot be read or
    // written.
    static std::unique_ptr<SettingsKey> create(std::string_view keyPath, int access,
                                               bool* created = nullptr);
    // Opens an existing key; nullptr when it does not exist or the file cannot be read.
    static std::unique_ptr<SettingsKey> open(std::string_view keyPath, int access);
    // True when the key exists in the settings file (false also when it cannot be read).
    static bool exists(std::string_view keyPath);

    const std::string& path() const { return path_; }
    int access() const { return access_; }

    // The value, or nullopt when it does not exist, the key lacks read access or the file cannot
    // be read.
    std::optional<std::string> get(std::string_view name) const;
    // Writes one value (recreating the key if another program removed it). False on failure.
    bool set(std::string_view name, std::string_view value) const;
    // Writes several values in one rewrite of the file: all are saved or none. False on failure.
    bool set(const std::vector<std::pair<std::string, std::string>>& values) const;
    // Removes one value. False when it did not exist or on failure.
    bool remove(std::string_view name) const;
    // The names of the values, in file order.
    std::vector<std::string> valueNames() const;
    // The names of the direct sub-keys, in order of first appearance.
    std::vector<std::string> subKeys() const;
    // Deletes the sub-key `name` and everything below it. False when it did not exist or on
    // failure.
    bool deleteSubKey(std::string_view name) const;
    // Writes this key and its sub-keys, in the settings file format, to `path` (atomically).
    bool exportTo(const std::string& path) const;

private:
    SettingsKey(std::string path, int access) : path_(std::move(path)), access_(access) {}
    std::string path_;  // key path, such as "Software\MorvexFylatek"
    int access_;        // REG_KEY_* rights
};

// Writes `contents` to `path` through a temporary file in the same folder and a rename (creating
// the folder when missing; a symbolic link is followed, not replaced). False on failure, leaving
// the previous file and no temporary file behind.
bool writeFileAtomically(const std::string& path, const std::string& contents);

}  // namespace morvex
