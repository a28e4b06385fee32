#include "appcore/fileassoc.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>
#include <vector>

#include "foundation/datadir.h"
#include "foundation/inputfile.h"
#include "foundation/registry.h"
#include "foundation/trace.h"
#include "foundation/uiport.h"

namespace fs = std::filesystem;

namespace {

// Formats a message with one or two texts (printf rules, "%s" placeholders).
std::string format(const char* pattern, const std::string& a, const std::string& b = "") {
    std::vector<char> buffer(strlen(pattern) + a.size() + b.size() + 16);
    snprintf(buffer.data(), buffer.size(), pattern, a.c_str(), b.c_str());
    return buffer.data();
}

void warn(const EXTENSION_ASSOC& assoc, const std::string& text) {
    morvex::uiPort().messageBox(assoc.caption, text, morvex::UiButtons::Ok, morvex::UiIcon::Warning);
}

// True when `program` is an executable file in one of the PATH folders.
bool inPath(const char* program) {
    const char* path = getenv("PATH");
    if (!path) return false;
    std::stringstream folders(path);
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        if (folder.empty()) continue;
        std::string candidate = folder + "/" + program;
        if (access(candidate.c_str(), X_OK) == 0) return true;
    }
    return false;
}

// Runs a shell command and returns its standard output; *status receives its exit status.
std::string run(const std::string& command, int* status) {
    std::string out;
    FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
    if (!pipe) {
        *status = -1;
        return out;
    }
    char buffer[256];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    int rc = pclose(pipe);
    *status = (rc != -1 && WIFEXITED(rc)) ? WEXITSTATUS(rc) : -1;
    while (!out.empty() && isspace(static_cast<unsigned char>(out.back()))) out.pop_back();
    return out;
}

// `text` as one shell word.
std::string shellQuote(const std::string& text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// The XML text escapes of a text.
std::string xmlEscape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

// The desktop entry's Exec line for an open command: "%1" becomes the field code "%f", and a
// program path holding blanks is quoted.
std::string execLine(const std::string& command) {
    std::string exec = command;
    size_t at = exec.rfind(" %1");
    std::string program = at == std::string::npos ? exec : exec.substr(0, at);
    if (program.find(' ') != std::string::npos) program = "\"" + program + "\"";
    return program + " %f";
}

// The MIME types already listed in the desktop entry at `path`.
std::vector<std::string> listedMimeTypes(const std::string& path) {
    std::vector<std::string> types;
    std::string text;
    if (!morvex::readInputFile(path.c_str(), 1 << 20, text, nullptr)) return types;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("MimeType=", 0) != 0) continue;
        std::stringstream list(line.substr(9));
        std::string type;
        while (std::getline(list, type, ';'))
            if (!type.empty()) types.push_back(type);
    }
    return types;
}

}  // namespace

namespace morvex {

std::string fileAssocDataDirectory(int scope) {
    if (scope == FILEASSOC_SCOPE_MACHINE) return "/usr/local/share";
    const char* xdg = getenv("XDG_DATA_HOME");
    std::string dir;
    if (xdg && xdg[0] == '/') {
        dir = xdg;
    } else {
        const char* home = getenv("HOME");
        dir = std::string(home ? home : "") + "/.local/share";
    }
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir;
}

std::string fileAssocMimeType(const std::string& extension) {
    std::string name = extension;
    if (!name.empty() && name[0] == '.') name.erase(0, 1);
    for (char& c : name) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return "application/x-morvex-fylatek-" + name;
}

bool fileAssocInstalledWithData(const std::string& dataDir) {
    if (dataDir.empty()) return false;
    std::error_code ec;
    return fs::is_regular_file(fs::path(dataDir) / ".." / "applications" / FILEASSOC_DESKTOP_FILE,
                               ec);
}

bool fileAssocInstalledWithProgram() {
    return fileAssocInstalledWithData(dataDirectory());
}

}  // namespace morvex

bool enregistrerExtension(void*, const EXTENSION_ASSOC* assoc, int scope) {
    if (!assoc) return false;
    const EXTENSION_ASSOC& a = *assoc;
    const std::string data = morvex::fileAssocDataDirectory(scope);
    const std::string mime = morvex::fileAssocMimeType(a.extension);
    std::string ext = a.extension;
    if (!ext.empty() && ext[0] == '.') ext.erase(0, 1);

    // 1. The folders that hold the type and the program's entry.
    std::error_code ec;
    const fs::path packages = fs::path(data) / "mime" / "packages";
    const fs::path applications = fs::path(data) / "applications";
    fs::create_directories(packages, ec);
    if (!ec) fs::create_directories(applications, ec);
    if (ec) {
        warn(a, format("Erreur d'accès à la base de registre (.xxx) pour enregistrer l'extension "
                       "'%s'",
                       a.extension));
        return false;
    }

    // 2. Another program already opens this type: ask before taking it over.
    const bool haveXdgMime = inPath("xdg-mime");
    if (haveXdgMime) {
        int status = 0;
        std::string current = run("xdg-mime query default " + shellQuote(mime), &status);
        morvex::trace("\n[enregistrerExtension] xdg-mime query default %s -> [%s]", mime.c_str(),
                      current.c_str());
        if (status == 0 && !current.empty() && current != morvex::FILEASSOC_DESKTOP_FILE) {
            morvex::UiAnswer answer = morvex::uiPort().messageBox(
                a.caption,
                format("Une extension '%s' a déjà été enregistrée avec une référence "
                       "différente\nfaut-il la remplacer ?",
                       a.extension),
                morvex::UiButtons::YesNo, morvex::UiIcon::Question);
            if (answer != morvex::UiAnswer::Yes) {
                warn(a, format("L'extension '%s' ne sera pas enregistrée\nSarvello est en "
                               "concurrence avec une autre ptApplication",
                               a.extension));
                return false;
            }
        }
    } else {
        morvex::trace("\n[enregistrerExtension] xdg-mime absent : type par défaut non défini");
    }

    // 3. The type itself: a shared-mime-info package for the extension.
    const std::string iconName = "application-x-morvex-fylatek-" + ext;
    {
        std::ostringstream xml;
        xml << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            << "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
            << "  <mime-type type=\"" << xmlEscape(mime) << "\">\n"
            << "    <comment>" << xmlEscape(a.typeName) << "</comment>\n"
            << "    <icon name=\"" << iconName << "\"/>\n"
            << "    <glob pattern=\"*." << xmlEscape(ext) << "\"/>\n"
            << "  </mime-type>\n"
            << "</mime-info>\n";
        std::string package = (packages / ("morvex-fylatek-" + ext + ".xml")).string();
        if (!morvex::writeFileAtomically(package, xml.str())) {
            warn(a, format("Impossible d'enregistrer le type de fichier '%s'\nassocié à '%s'",
                           a.typeName, a.extension));
            return false;
        }
    }

    // 4. Its icon.
    if (!a.iconPath.empty() && fs::exists(a.iconPath, ec)) {
        fs::path icons = fs::path(data) / "icons" / "hicolor" / "scalable" / "mimetypes";
        fs::create_directories(icons, ec);
        if (!ec)
            fs::copy_file(a.iconPath, icons / (iconName + fs::path(a.iconPath).extension().string()),
                          fs::copy_options::overwrite_existing, ec);
        if (ec) {
            warn(a, format("Erreur d'accès à la base de registre\npour l'association d'une icone "
                           "à '%s'",
                           a.extension));
            return false;
        }
    }

    // 5. The program's desktop entry, listing every type it opens.
    const std::string entry = (applications / morvex::FILEASSOC_DESKTOP_FILE).string();
    std::vector<std::string> types = listedMimeTypes(entry);
    bool listed = false;
    for (const auto& t : types) listed = listed || t == mime;
    if (!listed) types.push_back(mime);
    std::ostringstream desktop;
    desktop << "[Desktop Entry]\nType=Application\nName=Morvex Fylatek\n"
            << "GenericName=Importation de fichiers plats\n"
            << "Comment=Décrire, inspecter et charger des fichiers plats\n"
            << "Exec=" << execLine(a.command) << "\nTerminal=false\nCategories=Development;\n";
    const std::string icon = morvex::dataPath(std::string(DATADIR_ICONS) + "/morvex.svg");
    if (!icon.empty()) desktop << "Icon=" << icon << "\n";
    desktop << "MimeType=";
    for (const auto& t : types) desktop << t << ';';
    desktop << "\n";
    if (!morvex::writeFileAtomically(entry, desktop.str())) {
        warn(a, format("Erreur d'accès à la base de registre (shell)\npour l'association d'un "
                       "exécutable à '%s'",
                       a.extension));
        return false;
    }

    // 6. Make the program the type's default application.
    int status = 0;
    if (inPath("update-mime-database"))
        run("update-mime-database " + shellQuote((fs::path(data) / "mime").string()), &status);
    if (haveXdgMime) {
        run(std::string("xdg-mime default ") + morvex::FILEASSOC_DESKTOP_FILE + " " + shellQuote(mime),
            &status);
        if (status != 0) {
            warn(a, format("Erreur d'accès à la base de registre (command)\npour l'association "
                           "d'un exécutable à '%s'",
                           a.extension));
            return false;
        }
    }
    morvex::trace("\n[enregistrerExtension] '%s' associée à [%s]", a.extension.c_str(),
                  mime.c_str());
    return true;
}
