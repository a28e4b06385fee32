// The SQL Server generation parameters: .prm files, the BCP format file, the BULK INSERT script
// and the update script.
#include <pwd.h>
#include <unistd.h>

#include <cctype>
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "filedesc/descdialect.h"
#include "filedesc/names.h"
#include "foundation/codequote.h"
#include "foundation/date.h"
#include "foundation/inputfile.h"
#include "foundation/mystrings.h"
#include "foundation/trace.h"
#include "foundation/uiport.h"
#include "foundation/version.h"
#include "mssql/mssql.h"
#include "mssql/mssql_text.h"

using morvex::mssql::OneLine;
using morvex::mssql::ScriptFile;

namespace {

// Web address of the maker, on the contact line of the script headers.
constexpr const char* kContactAddress = "https://morvex-fylatek.example.org/";
// Characters a header line of a description breaks after.
constexpr int kDescriptionLineLength = 60;
// Longest logged-on user name written.
constexpr size_t kUserNameMax = 63;

// Where each text slot of the record lies in a .prm file.
struct Slot {
    size_t offset;  // offset in the record and the file
    size_t size;    // bytes of the slot, terminator included
};
constexpr Slot kSlots[] = {
    {offsetof(MSSQL_PARAMS, nomBase), MSSQL_NAME_SLOT},
    {offsetof(MSSQL_PARAMS, nomTable), MSSQL_NAME_SLOT},
    {offsetof(MSSQL_PARAMS, fichierDonnees), MSSQL_PATH_SLOT},
    {offsetof(MSSQL_PARAMS, fichierFormat), MSSQL_PATH_SLOT},
    {offsetof(MSSQL_PARAMS, scriptBCP), MSSQL_PATH_SLOT},
    {offsetof(MSSQL_PARAMS, scriptMAJ), MSSQL_PATH_SLOT},
};

using morvex::Format;

// A text of `text` that cannot open or close the block comment it is written in.
std::string InComment(const char* text) {
    std::string out;
    for (const char* p = text != nullptr ? text : ""; *p != '\0'; ++p) {
        out += *p;
        if ((p[0] == '*' && p[1] == '/') || (p[0] == '/' && p[1] == '*')) out += ' ';
    }
    return out;
}

// Number of characters (UTF-8 code points) of a text.
size_t Characters(const std::string& text) {
    size_t n = 0;
    for (const unsigned char c : text) n += (c & 0xC0) != 0x80;
    return n;
}

// An identifier between brackets, its "]" doubled.
std::string Id(const char* name) {
    return morvex::quoteMssqlIdentifier(name != nullptr ? name : "");
}

// The name between brackets followed by blanks to 16 characters; a longer name is written in
// full.
std::string PaddedName(const char* name) {
    std::string out = Id(name);
    const size_t n = Characters(out);
    if (n < 16) out.append(16 - n, ' ');
    return out;
}

// True when `line` reads as the batch separator of the client tools: GO, in any case, alone
// or followed by a count, between blanks.
bool IsBatchSeparator(const std::string& line) {
    size_t b = line.find_first_not_of(" \t");
    if (b == std::string::npos || line.size() - b < 2) return false;
    if (tolower(static_cast<unsigned char>(line[b])) != 'g' ||
        tolower(static_cast<unsigned char>(line[b + 1])) != 'o')
        return false;
    for (size_t i = b + 2; i < line.size(); ++i)
        if (line[i] != ' ' && line[i] != '\t' && !isdigit(static_cast<unsigned char>(line[i])))
            return false;
    return line.size() == b + 2 || line[b + 2] == ' ' || line[b + 2] == '\t';
}

// `text` with each line that reads as a batch separator written after "-- ", so that a text
// put in a comment block cannot end the batch there.
std::string NoBatchSeparator(const std::string& text) {
    std::string out;
    size_t begin = 0;
    while (begin <= text.size()) {
        size_t end = text.find('\n', begin);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(begin, end - begin);
        if (IsBatchSeparator(line)) out += "-- ";
        out += line;
        if (end < text.size()) out += '\n';
        begin = end + 1;
    }
    return out;
}

// The description text, a line feed put before the first blank after every 60 characters; each
// line of the text starts with a blank, as the broken ones do.
std::string BrokenDescription(const char* text) {
    std::string out;
    int written = 0;
    for (const char* p = text != nullptr ? text : ""; *p != '\0'; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c == '\r' && p[1] == '\n') continue;  // a CR LF of the text is one line break
        if (c == '\n') {
            out += "\n ";
            written = 0;
            continue;
        }
        if (c < 0x20 && c != '\t') continue;  // no other control character in a script
        if (c == ' ' && written >= kDescriptionLineLength) {
            out += '\n';
            written = 0;
        }
        out += *p;
        written += (c & 0xC0) != 0x80;
    }
    return NoBatchSeparator(out);
}

// A terminator in the escape notation that bcp and BULK INSERT read ("\r\n", "\t", ...).
std::string EscapedTerminator(const char* chars) {
    std::string out;
    for (const char* p = chars != nullptr ? chars : ""; *p != '\0'; ++p) {
        switch (*p) {
            case '\r':
                out += "\\r";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '"':
                out += "\\\"";
                break;
            default:
                out += *p;
        }
    }
    return out;
}

// The text inside a T-SQL string literal: every single quote doubled.
std::string InLiteral(const std::string& text) {
    std::string out;
    for (const char c : text) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out;
}

// The row terminator of a BULK INSERT: a lone line feed must be given in hexadecimal, since
// "\n" there stands for CR LF.
std::string RowTerminator(const char* chars) {
    if (chars != nullptr && strcmp(chars, "\n") == 0) return "0x0a";
    return InLiteral(EscapedTerminator(chars));
}

// Keeps a warning for the caller to show; the generation goes on.
void Warn(MSSQL_TOLD* told, const std::string& text) {
    if (told) told->push_back({"Avertissement", text, morvex::UiIcon::Warning});
}

// The columns of a description, for a loop.
struct Columns {
    const std::vector<ColumnOwner>& list;
    struct Iterator {
        std::vector<ColumnOwner>::const_iterator at;
        ColumnDesc* operator*() const { return at->get(); }
        Iterator& operator++() {
            ++at;
            return *this;
        }
        bool operator!=(const Iterator& o) const { return at != o.at; }
    };
    Iterator begin() const { return {list.begin()}; }
    Iterator end() const { return {list.end()}; }
};

std::string Refusal(const MSSQL_PARAMS* params, const FileDesc* desc);

// Checks the arguments of a generation and opens its target; traces why it cannot.
bool Open(ScriptFile& file, const char* function, const MSSQL_PARAMS* params, FileDesc* desc,
          const char* path, MSSQL_TOLD* told) {
    if (params == nullptr || desc == nullptr || desc->columns.empty()) {
        morvex::trace("\n[%s] Aucune description de colonnes", function);
        return false;
    }
    if (const std::string refusal = Refusal(params, desc); !refusal.empty()) {
        morvex::trace("\n[%s] %s", function, refusal.c_str());
        if (told)
            told->push_back({"Erreur", refusal + "\nLe fichier n'est pas généré.",
                             morvex::UiIcon::Error});
        return false;
    }
    if (!file.open(path)) {
        morvex::trace("\n[%s] Impossible de créer le fichier [%s]", function, path);
        return false;
    }
    return true;
}

// The date and time of the program's build ("Feb 26 2015 21:17:28").
constexpr const char* kBuildDate = __DATE__ " " __TIME__;

// The comment block of a script as it is written now by the logged-on user.
std::string HeaderNow(const MSSQL_PARAMS* params, const FileDesc* desc) {
    char now[DATE_TEXT_SIZE] = "";
    DATE_GetDateTime(now, 0, sizeof now);
    return MSSQL_ScriptHeader(params, desc, now, MSSQL_LoggedOnUser());
}

// The drop of the table `table` (staging or typed) when it exists, under `heading`.
std::string DropIfExists(const char* heading, const std::string& table) {
    const std::string id = Id(table.c_str());
    return Format(
        "\n-- %s\nif exists (select * from dbo.sysobjects where id = object_id(%s)\n"
        "\t and OBJECTPROPERTY(id, N'IsUserTable') = 1)\ndrop table %s\nGO\n",
        heading, morvex::quoteMssqlString(id).c_str(), id.c_str());
}

// "use D" and the drop of the table `table` (staging or typed) when it exists.
std::string UseAndDrop(const MSSQL_PARAMS* p, const char* heading, const std::string& table) {
    return Format("\n-- Ouverture de la base de données\nuse %s\nGO\n", Id(p->nomBase).c_str()) +
           DropIfExists(heading, table);
}

// "[D]..[T]": the table T of the database D in the default schema.
std::string InBase(const char* base, const std::string& table) {
    return Id(base) + ".." + Id(table.c_str());
}

// The refusal of parameters or a description whose names or paths hold a control character
// (none could be written in a script without ending its line), "" when none does.
std::string Refusal(const MSSQL_PARAMS* params, const FileDesc* desc) {
    const struct {
        const char* what;
        const char* text;
    } slots[] = {{"de la base de données", params->nomBase},
                 {"de la table", params->nomTable},
                 {"du fichier de données", params->fichierDonnees},
                 {"du fichier de format", params->fichierFormat}};
    for (const auto& slot : slots) {
        std::string refusal = FILEDESC_NameRefusal(slot.what, slot.text);
        if (!refusal.empty()) return refusal;
    }
    return FILEDESC_NamesRefusal(desc);
}

// The end that every command shares: the file takes its target's name, or the failure is traced
// and the target left as it was.
int Finish(ScriptFile& file, const char* function, const char* path) {
    if (file.close()) return 0;
    morvex::trace("\n[%s] Erreur d'écriture du fichier [%s]", function, path);
    return 1;
}

}  // namespace

std::string MSSQL_LoggedOnUser() {
    std::string name;
    char buffer[4096];
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr &&
        found->pw_name != nullptr) {
        name = found->pw_name;
    } else if (const char* user = getenv("USER"); user != nullptr) {
        name = user;
    } else if (const char* logname = getenv("LOGNAME"); logname != nullptr) {
        name = logname;
    }
    if (name.size() > kUserNameMax) name.resize(kUserNameMax);
    return name;
}

std::string MSSQL_ScriptHeader(const MSSQL_PARAMS* params, const FileDesc* desc,
                               const std::string& generatedAt, const std::string& user) {
    const std::string stars(63, '*');
    const std::string rule = "+" + std::string(62, '-');
    std::string h = "/" + stars + "\n";
    h += " " + InComment(desc != nullptr ? desc->ProjectName : "") + "\n";
    h += " Script de chargement de la table " +
         InComment(params != nullptr ? params->nomTable : "") + " par BULK INSERT\n";
    h += " " + rule + "\n";
    h += " \n";
    h += " |Script généré par Morvex Fylatek - Tabulor\n";
    h += " \n";
    h += std::string(" |Contact : ") + kContactAddress + "\n";
    h += " |Distribution : Tabulor (Version 1.4)\n";
    h += " |Build : " MORVEX_BUILD "\n";
    h += std::string(" |Date de la version : ") + kBuildDate + "\n";
    h += " " + rule + "\n";
    h += " Généré le " + InComment(generatedAt.c_str()) + "\n";
    h += " Par : " + InComment(user.c_str()) + "\n";
    h += " " + std::string(63, '-') + "\n";
    h += " " + BrokenDescription(InComment(desc != nullptr ? desc->Description : "").c_str());
    h += "\n " + std::string(62, '*') + "/\n";
    return h;
}

int EnregistrerParametres(const MSSQL_PARAMS* params, const char* path) {
    if (params == nullptr || path == nullptr) return 1;
    unsigned char bytes[sizeof(MSSQL_PARAMS)] = {};
    const auto* from = reinterpret_cast<const char*>(params);
    for (const Slot& slot : kSlots) {
        memcpy(bytes + slot.offset, from + slot.offset, strnlen(from + slot.offset, slot.size - 1));
    }
    ScriptFile file;  // the previous file stays whole until the new one is
    if (!file.open(path)) {
        morvex::trace("\n[EnregistrerParametres] Impossible d'ouvrir le fichier [%s]", path);
        return 1;
    }
    file.buffer().append(reinterpret_cast<const char*>(bytes), sizeof bytes);
    if (!file.close()) {
        morvex::trace("\n[EnregistrerParametres] Erreur d'écriture du fichier [%s]", path);
        return 1;
    }
    return 0;
}

int ChargerParametres(MSSQL_PARAMS* params, const char* path) {
    if (params == nullptr || path == nullptr) return 1;
    std::string refusal;
    FILE* file = morvex::openInputFile(path, &refusal);
    if (file == nullptr) {
        morvex::trace("\n[ChargerParametres] Impossible d'ouvrir le fichier [%s]", path);
        morvex::trace("\n[ChargerParametres] %s", refusal.c_str());
        return 1;
    }
    char bytes[sizeof(MSSQL_PARAMS)] = {};
    const size_t read = fread(bytes, 1, sizeof bytes, file);
    fclose(file);
    auto* to = reinterpret_cast<char*>(params);
    for (const Slot& slot : kSlots) {
        if (slot.offset + slot.size > read) break;  // only the slots the file covers
        memcpy(to + slot.offset, bytes + slot.offset, slot.size);
        to[slot.offset + slot.size - 1] = '\0';
    }
    return 0;
}

int MSSQL_GenererFichierFormat(const MSSQL_PARAMS* params, FileDesc* desc, MSSQL_TOLD* told) {
    ScriptFile file;
    if (!Open(file, "MSSQL_GenererFichierFormat", params, desc,
              params != nullptr ? params->fichierFormat : nullptr, told)) {
        return 1;
    }
    try {
        const auto count = static_cast<int>(desc->columns.size());
        std::string text = Format("6.0\n%i\n", count);
        const std::string lastTerminator =
            "\"" + EscapedTerminator(FILEDESC_LineEndBytes(*desc).c_str()) + "\"";
        int i = 0;
        int serverColumn = 0;
        for (ColumnDesc* column : Columns{desc->columns}) {
            ++i;
            std::string terminator = i == count ? lastTerminator : "\"\"";
            if (terminator.size() < 8) terminator.append(8 - terminator.size(), ' ');
            const int server = column->IgnoreColumn ? 0 : ++serverColumn;
            text += Format("%.03i    SQLCHAR      0        %.03i        %s      %3i    %s\n", i,
                           column->WidthInChars, terminator.c_str(), server, column->code);
        }
        file.text(text);
    } catch (const std::bad_alloc&) {
        return 1;
    }
    return Finish(file, "MSSQL_GenererFichierFormat", params->fichierFormat);
}

int MSSQL_GenererFichierBCP(const MSSQL_PARAMS* params, FileDesc* desc, MSSQL_TOLD* told) {
    ScriptFile file;
    if (!Open(file, "MSSQL_GenererFichierBCP", params, desc,
              params != nullptr ? params->scriptBCP : nullptr, told)) {
        return 1;
    }
    try {
        const MSSQL_PARAMS& p = *params;
        const std::string staging = std::string("bcp_") + p.nomTable;
        const bool delimited = desc->TypeStructFile == STRUCTFILE_DELIMITED;
        std::string text = HeaderNow(params, desc);
        text += UseAndDrop(params, "Suppression de la table temporaire", staging);
        text += "\n-- Création de la table";
        text += "\nCREATE TABLE " + InBase(p.nomBase, staging) + "\n(\n";
        for (ColumnDesc* c : Columns{desc->columns}) {
            if (c->IgnoreColumn && !delimited) continue;
            text += "\t" + PaddedName(c->code) + "        ";
            text += Format("char(%i), -- %s\n", c->WidthInChars, OneLine(c->Description).c_str());
            if (c->WidthInChars < 1) {
                Warn(told,
                    Format("La largeur de la colonne '%s' (%s) est incorrecte (largeur = %i).\n "
                           "Le script va être généré mais ne pourra pas être exécuté par la base "
                           "de données.",
                           c->code, c->Description, c->WidthInChars));
            }
            if (c->IgnoreColumn) {
                Warn(told, Format(
                    "Attention : La colonne '%s' (%s) a été marquée comme devant être ignorée "
                    "lors de l'import.\nCependant, la commande utilisée dans le cas d'un fichier "
                    "délimité ne permet pas de gérer cette situation. La colonne sera donc quand "
                    "même importée. Si vous ne souhaitez réellement pas l'importer, vous devrez "
                    "passer par un fichier de format, également généré par Fylatek.",
                    c->code, c->Description));
            }
        }
        text += "\n)\nGO\n";
        text += "\n-- Commande de chargement du fichier";
        text += "\nBULK INSERT " + InBase(p.nomBase, staging) + "\nFROM " +
                morvex::quoteMssqlString(p.fichierDonnees) + "\nWITH\n    (";
        if (delimited) {
            text += Format(
                "\n       FIELDTERMINATOR='%s',\n       FIRSTROW=%i,\n       ROWTERMINATOR='%s'"
                "\n    )\nGO\n",
                InLiteral(EscapedTerminator(FILEDESC_DelimiterBytes(*desc).c_str())).c_str(),
                desc->BeginFromLine, RowTerminator(FILEDESC_LineEndBytes(*desc).c_str()).c_str());
        } else {
            text += "\n       FORMATFILE=" + morvex::quoteMssqlString(p.fichierFormat) +
                    "\n    )\nGO\n";
        }
        text += "\n-- Affichage des données";
        text += "\nSELECT *\nFROM " + InBase(p.nomBase, staging) + "\n";
        file.text(text);
    } catch (const std::bad_alloc&) {
        return 1;
    }
    return Finish(file, "MSSQL_GenererFichierBCP", params->scriptBCP);
}

int MSSQL_GenererScriptMAJ(const MSSQL_PARAMS* params, FileDesc* desc, MSSQL_TOLD* told) {
    ScriptFile file;
    if (!Open(file, "MSSQL_GenererScriptMAJ", params, desc,
              params != nullptr ? params->scriptMAJ : nullptr, told)) {
        return 1;
    }
    static const char* kSizeWarning =
        "Attention : La colonne '%s' (%s) de type '%s' a une taille invalide : %i.\nLes valeurs "
        "autorisées sont entre 1 et 255 (SQL Server < 2000) ou 1 et 8000 (SQL Server 2000 et "
        "suivants).\nLa génération va se poursuivre, mais le script ne sera pas correct.";
    try {
        const MSSQL_PARAMS& p = *params;
        const char* D = p.nomBase;
        const char* T = p.nomTable;
        int n = 0;
        for (ColumnDesc* c : Columns{desc->columns}) n += c->IgnoreColumn ? 0 : 1;

        std::string text = HeaderNow(params, desc);
        text += UseAndDrop(params, "Suppression de la table", T);
        text += "\n-- Création de la table";
        text += "\nCREATE TABLE " + InBase(D, T) + "\n(\n";
        for (ColumnDesc* c : Columns{desc->columns}) {
            if (c->IgnoreColumn) continue;
            const TypeCible& t = c->typeCible;
            text += "\t" + PaddedName(c->code) + "        ";
            switch (t.type) {
                case DATATYPE_INTEGER:
                    text += "int";
                    break;
                case DATATYPE_DECIMAL:
                    text += Format("decimal(%i, %i)",
                                   t.fmtDecimal.partieEntiere + t.fmtDecimal.partieDecimale,
                                   t.fmtDecimal.partieDecimale);
                    break;
                case DATATYPE_DATE:
                case DATATYPE_DATETIME:
                    text += "datetime";
                    break;
                case DATATYPE_FIXEDCHAR:
                    text += Format("char(%i)", t.fmtChaineFixe.taille);
                    if (t.fmtChaineFixe.taille < 1) {
                        Warn(told, Format(kSizeWarning, c->code, c->Description, "char",
                                    t.fmtChaineFixe.taille));
                    }
                    break;
                case DATATYPE_VARIABLECHAR:
                    text += Format("varchar(%i)", t.fmtChaineVar.tailleMax);
                    if (t.fmtChaineVar.tailleMax < 1 || t.fmtChaineVar.tailleMax > 255) {
                        Warn(told, Format(kSizeWarning, c->code, c->Description, "varchar",
                                    t.fmtChaineVar.tailleMax));
                    }
                    break;
                case DATATYPE_TEXT:
                    text += "text";  // a column needs a type to be created
                    break;
                case DATATYPE_BOOLEAN:
                    text += "bit";
                    break;
                default:
                    break;
            }
            text += Format(", -- %s\n", OneLine(c->Description).c_str());
        }
        text += "\n)\nGO\n";
        text += "\n-- Chargement des données avec conversion des formats";
        text += "\nINSERT INTO " + InBase(D, T) + " (";
        int k = 0;
        for (ColumnDesc* c : Columns{desc->columns}) {
            if (c->IgnoreColumn) continue;
            ++k;
            text += Format("\n\t%s%c -- %s", Id(c->code).c_str(), k < n ? ',' : ' ',
                           OneLine(c->Description).c_str());
        }
        text += "\n)";
        text += "\nSELECT ";
        k = 0;
        for (ColumnDesc* c : Columns{desc->columns}) {
            if (c->IgnoreColumn) continue;
            ++k;
            const TypeCible& t = c->typeCible;
            const std::string quoted = Id(c->code);
            const char* name = quoted.c_str();
            switch (t.type) {
                case DATATYPE_INTEGER:
                    text += Format("\n\tconvert(int, %s) as %s", name, name);
                    break;
                case DATATYPE_DECIMAL: {
                    const int whole = t.fmtDecimal.partieEntiere;
                    const int decimals = t.fmtDecimal.partieDecimale;
                    text += Format(
                        "\n\tconvert(decimal(%i, %i), substring(%s, %i, %i)+'.'+substring(%s, "
                        "%i, %i)) as %s",
                        whole + decimals, decimals, name, 1, whole, name, whole + 1, decimals,
                        name);
                    break;
                }
                case DATATYPE_DATE:
                case DATATYPE_DATETIME:
                    text += Format(
                        "\n\tcase when isdate(%s) = 1 then convert(datetime, %s) else NULL end %s",
                        name, name, name);
                    break;
                case DATATYPE_FIXEDCHAR:
                    text += Format("\n\tconvert(char(%i), %s) as %s", t.fmtChaineFixe.taille, name,
                                   name);
                    break;
                case DATATYPE_VARIABLECHAR:
                    text += Format("\n\tconvert(varchar(%i), %s) as %s", t.fmtChaineVar.tailleMax,
                                   name, name);
                    break;
                case DATATYPE_TEXT:  // every inserted column needs a value
                    text += Format("\n\tconvert(text, %s) as %s", name, name);
                    break;
                case DATATYPE_BOOLEAN:
                    text += Format("\n\tconvert(bit, %s) as %s", name, name);
                    break;
                default:
                    text += Format("\n\t%s", name);
                    break;
            }
            if (k < n) text += ",";
        }
        text += "\nFROM " + InBase(D, std::string("bcp_") + T) + "\nGO\n";
        text += "\n-- Affichage des données";
        text += "\nSELECT *\nFROM " + InBase(D, T);
        text += "\n" + DropIfExists("Suppression de la table temporaire", std::string("bcp_") + T);
        file.text(text);
    } catch (const std::bad_alloc&) {
        return 1;
    }
    return Finish(file, "MSSQL_GenererScriptMAJ", params->scriptMAJ);
}
