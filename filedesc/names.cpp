// The rule that no name of a description holds a control character (names.h).
#include "filedesc/names.h"

#include <cstdio>

namespace {

// `name` with each control character written \r, \n, \t or \xNN: a one-line picture of it.
std::string shown(const char* name) {
    std::string out;
    for (const char* p = name; *p != '\0'; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (!FILEDESC_IsNameControl(c)) {
            out += *p;
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else {
            char hex[8];
            snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out;
}

}  // namespace

int FILEDESC_NameFault(const char* name) {
    if (name == nullptr) return -1;
    for (const char* p = name; *p != '\0'; ++p)
        if (FILEDESC_IsNameControl(static_cast<unsigned char>(*p)))
            return static_cast<int>(p - name);
    return -1;
}

std::string FILEDESC_ControlCharacterName(unsigned char c) {
    switch (c) {
        case '\r':
            return "un retour chariot (CR)";
        case '\n':
            return "un saut de ligne (LF)";
        case '\t':
            return "une tabulation";
        case '\0':
            return "un caractère nul";
        default: {
            char text[40];
            snprintf(text, sizeof text, "un caractère de contrôle 0x%02X", c);
            return text;
        }
    }
}

std::string FILEDESC_NameRefusal(const char* what, const char* name) {
    const int at = FILEDESC_NameFault(name);
    if (at < 0) return "";
    return std::string("Le nom ") + what + " « " + shown(name) + " » contient " +
           FILEDESC_ControlCharacterName(static_cast<unsigned char>(name[at])) +
           " : les noms ne peuvent pas contenir de caractère de contrôle.";
}

std::string FILEDESC_NamesRefusal(const FileDesc* desc) {
    if (desc == nullptr) return "";
    const struct {
        const char* what;
        const char* name;
    } own[] = {{"de la table", desc->TableName},
               {"du schéma", desc->SchemaName},
               {"de la base de données", desc->DatabaseName},
               {"du projet", desc->ProjectName},
               {"de la clé primaire", desc->primaryKey.name}};
    for (const auto& n : own) {
        std::string refusal = FILEDESC_NameRefusal(n.what, n.name);
        if (!refusal.empty()) return refusal;
    }
    for (const ColumnOwner& column : desc->columns) {
        std::string refusal = FILEDESC_NameRefusal("de la colonne", column->code);
        if (!refusal.empty()) return refusal;
    }
    for (const std::unique_ptr<IndexDesc>& index : desc->indexes) {
        std::string refusal = FILEDESC_NameRefusal("de l'index", index->name);
        if (!refusal.empty()) return refusal;
    }
    return "";
}

int FILEDESC_ScrubName(char* name) {
    int replaced = 0;
    for (char* p = name; p != nullptr && *p != '\0'; ++p) {
        if (FILEDESC_IsNameControl(static_cast<unsigned char>(*p))) {
            *p = '_';
            ++replaced;
        }
    }
    return replaced;
}
