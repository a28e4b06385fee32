#include "appcore/textimport.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "appcore/application.h"
#include "filedesc/analyse.h"
#include "filedesc/descdialect.h"
#include "filedesc/names.h"
#include "foundation/inputfile.h"
#include "foundation/owned.h"
#include "foundation/trace.h"
#include "foundation/uiport.h"
#include "foundation/utf8.h"

namespace {

constexpr const char* kCaption = "Chargement à partir d'une description";

using DescPtr = morvex::Owned<FileDesc, FILEDESC_CloseFileDesc>;

// Target type of each keyword of a TYPE cell (blanks removed, upper-cased).
const struct {
    const char* keyword;
    int type;
} kTypeKeywords[] = {
    {"CHAR", DATATYPE_FIXEDCHAR},     {"INTEGER", DATATYPE_INTEGER},
    {"INT", DATATYPE_INTEGER},        {"VARCHAR", DATATYPE_VARIABLECHAR},
    {"DECIMAL", DATATYPE_DECIMAL},    {"NUMERIC", DATATYPE_DECIMAL},
    {"TIMESTAMP", DATATYPE_DATETIME}, {"DATETIME", DATATYPE_DATETIME},
    {"DATE", DATATYPE_DATE},          {"BIT", DATATYPE_BOOLEAN},
    {"BOOLEAN", DATATYPE_BOOLEAN},
};

// Codes of the ZRT columns that are never loaded.
const char* const kZrtIgnored[] = {"COAD", "NUAD", "COETB", "COVERS", "ZTSUP"};

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string withoutBlanks(const char* text) {
    std::string out;
    for (const char* p = text; *p; ++p)
        if (!isBlank(*p)) out += *p;
    return out;
}

// A decimal number at the start of `text` (leading blanks and sign allowed), the way atoi
// reads it, clamped to the int range. *next is the first character not read (text itself when
// there is no number).
int leadingNumber(const char* text, const char** next) {
    char* end = nullptr;
    long long v = strtoll(text, &end, 10);
    *next = end;
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

// True when `width` is a width a line can hold (1 to the line-length limit).
bool widthFits(long long width) {
    return width >= 1 && width <= FILEDESC_GetNCarMaxReadWithoutNewLine();
}

// SIZE cell: the width, then the format of the type set so far on the line. False, with nothing
// set, when the cell gives a width outside 1..the line-length limit or a scale beyond it; a cell
// without a number gives no width (0).
bool applySize(const char* cell, ColumnDesc* column) {
    const char* rest = cell;
    const int width = leadingNumber(cell, &rest);
    if (rest != cell && !widthFits(width)) return false;
    if (column->typeCible.type == DATATYPE_DECIMAL && rest != cell && *rest == ',') {
        const char* after = rest + 1;
        int scale = leadingNumber(rest + 1, &after);
        if (after != rest + 1 && (scale < 0 || scale > FILEDESC_GetNCarMaxReadWithoutNewLine()))
            return false;
    }
    column->WidthInChars = width;
    TypeCible& t = column->typeCible;
    switch (t.type) {
        case DATATYPE_INTEGER:
            t.fmtEntier.taille = width;
            break;
        case DATATYPE_DECIMAL:
            if (rest == cell) break;  // no number at all: nothing read
            t.fmtDecimal.partieEntiere = width;
            if (*rest == ',') {
                const char* second = rest + 1;
                const char* after = second;
                int scale = leadingNumber(second, &after);
                if (after != second) t.fmtDecimal.partieDecimale = scale;
            }
            break;
        case DATATYPE_DATE:
        case DATATYPE_DATETIME:
            // Both types keep the layout in fmtDate.
            if (width == 8 || width == 10)
                morvex::utf8CopyCut(t.fmtDate, sizeof t.fmtDate, "aaaammjj");
            else if (width == 26)
                morvex::utf8CopyCut(t.fmtDate, sizeof t.fmtDate, "aaaa-mm-jj HH:MM:SS");
            break;
        case DATATYPE_FIXEDCHAR:
            t.fmtChaineFixe.taille = width;
            break;
        case DATATYPE_VARIABLECHAR:
            t.fmtChaineVar.tailleMax = width;
            break;
        default:
            break;
    }
    return true;
}

// Cuts a fixed-width line into cells by the layout widths. The first AnalyseColumn result that
// is not 0 (the line is abandoned or refused), else 0.
int readFixedLine(const FileDesc& layout, std::string_view line, ColumnDesc* column, int zrt) {
    morvex::trace("\nCharger Taille Fixe");
    size_t pos = 0;
    for (const ColumnOwner& owner : layout.columns) {
        const ColumnDesc* layoutColumn = owner.get();
        size_t width =
            layoutColumn->WidthInChars > 0 ? static_cast<size_t>(layoutColumn->WidthInChars) : 0;
        std::string cell(line.substr(std::min(pos, line.size()), width));
        pos += cell.size();
        if (int status = AnalyseColumn(layoutColumn, cell.c_str(), column, zrt)) return status;
    }
    return 0;
}

// A cell as a spreadsheet or a web page hands it over when rows are copied: non-breaking
// spaces are spaces, the blanks around the cell are not part of it, and a cell the spreadsheet
// put in double quotes (because of a quote inside) is read back without them.
std::string pastedCell(std::string_view raw) {
    std::string cell;
    cell.reserve(raw.size());
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\xC2' && i + 1 < raw.size() && raw[i + 1] == '\xA0') {
            cell += ' ';
            ++i;
        } else {
            cell += raw[i];
        }
    }
    size_t first = 0, last = cell.size();
    while (first < last && isBlank(cell[first])) ++first;
    while (last > first && isBlank(cell[last - 1])) --last;
    cell = cell.substr(first, last - first);
    if (cell.size() >= 2 && cell.front() == '"' && cell.back() == '"') {
        std::string inner;
        for (size_t i = 1; i + 1 < cell.size(); ++i) {
            inner += cell[i];
            if (cell[i] == '"' && cell[i + 1] == '"' && i + 2 < cell.size()) ++i;
        }
        cell = inner;
    }
    return cell;
}

// Cuts a delimited line at the layout's separator: cell n goes with layout column n; cells past
// the last layout column are ignored, missing trailing cells leave their fields as they are.
// A separator always ends a cell; each cell is read as pastedCell gives it. Returns as
// readFixedLine does.
int readDelimitedLine(const FileDesc& layout, std::string_view line, ColumnDesc* column, int zrt) {
    const std::string separator = FILEDESC_DelimiterBytes(layout);
    size_t start = 0;
    for (const ColumnOwner& layoutColumn : layout.columns) {
        size_t end = separator.empty() ? std::string_view::npos : line.find(separator, start);
        std::string cell =
            pastedCell(line.substr(start, end == std::string_view::npos ? end : end - start));
        if (end != std::string_view::npos) {
            std::string rest(line.substr(end + separator.size()));
            morvex::trace("[:%c]/%s", separator[0], rest.c_str());
        }
        morvex::trace("[buffer=%s] : Analyse de la colonne", cell.c_str());
        if (int status = AnalyseColumn(layoutColumn.get(), cell.c_str(), column, zrt))
            return status;
        morvex::trace("\nRecuperation de la colonne suivante");
        if (end == std::string_view::npos) break;
        start = end + separator.size();
    }
    morvex::trace("\nEnregistrement de la colonne");
    return 0;
}

// The width the ZRT rules give column `c` (`last`: it ends the description), computed wide.
long long zrtWidth(const ColumnDesc& c, bool last) {
    const TypeCible& t = c.typeCible;
    long long width = c.WidthInChars;
    if (t.type == DATATYPE_DECIMAL) {
        const long long p = t.fmtDecimal.partieEntiere, s = t.fmtDecimal.partieDecimale;
        if (c.code[0] == 'D' && s == 0 && p == 8) return 10;
        if (s != 0) return p + s + 2;
        return width + (last ? 2 : 1);
    }
    if (t.type == DATATYPE_DATE && width == 8) return 10;
    return width;
}

// Why the ZRT rules cannot be applied to `desc`: the first column they would give a width
// outside 1..the line-length limit; "" when they can.
std::string zrtWidthProblem(const FileDesc& desc) {
    for (const ColumnOwner& c : desc.columns) {
        const long long width = zrtWidth(*c, c == desc.columns.back());
        if (width != c->WidthInChars && !widthFits(width))
            return "Colonne " + std::string(c->code) +
                   " : les règles ZRT lui donneraient une largeur de " + std::to_string(width) +
                   " caractères, hors des limites 1 à " +
                   std::to_string(FILEDESC_GetNCarMaxReadWithoutNewLine()) + ".";
    }
    return std::string();
}

// Tells why nothing was imported.
void refuseImport(const std::string& why) {
    morvex::uiPort().messageBox(kCaption, why + " Rien n'a été importé.", morvex::UiButtons::Ok,
                                morvex::UiIcon::Error);
}

// A name (`name`) or a description longer than its field, on line `line`.
std::string textTooLong(int line, bool name) {
    return "Ligne " + std::to_string(line) +
           (name ? " : le nom de colonne dépasse " + morvex::byteCountText(COLUMN_CODE_MAX)
                 : " : la description dépasse " + morvex::byteCountText(COLUMN_DESCRIPTION_MAX)) +
           ".";
}

// Why `columns` cannot join `target`: too many columns, or two names that would be the same
// name in a table. Empty when they can.
std::string importRefusal(const FileDesc& target, const std::vector<ColumnDesc>& columns) {
    const size_t count = target.columns.size() + columns.size();
    if (count > static_cast<size_t>(FILEDESC_MAX_COLUMNS))
        return "La description aurait " + std::to_string(count) + " colonnes, " +
               std::to_string(FILEDESC_MAX_COLUMNS) + " au plus.";
    std::vector<const char*> all;
    for (const ColumnOwner& c : target.columns) all.push_back(c->code);
    for (const ColumnDesc& c : columns) all.push_back(c.code);
    const std::string names = morvex::duplicateColumnNames(all);
    if (names.empty()) return {};
    return "Des colonnes auraient le même nom : " + names + ".";
}

}  // namespace

int AnalyseColumn(const ColumnDesc* layoutColumn, const char* cell, ColumnDesc* column, int) {
    if (!layoutColumn || !column) return 1;
    if (!cell) cell = "";
    const char* code = layoutColumn->code;
    if (strcmp(code, "NAME") == 0) {
        const std::string name = withoutBlanks(cell);
        if (name.size() > COLUMN_CODE_MAX) return 3;
        morvex::utf8CopyCut(column->code, sizeof column->code, name.c_str());
    } else if (strcmp(code, "DESCRIPTION") == 0) {
        if (strlen(cell) > COLUMN_DESCRIPTION_MAX) return 4;
        morvex::utf8CopyCut(column->Description, sizeof column->Description, cell);
    } else if (strcmp(code, "TYPE") == 0) {
        std::string word = withoutBlanks(cell);
        for (char& c : word)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        for (const auto& k : kTypeKeywords)
            if (word == k.keyword) column->typeCible.type = k.type;
    } else if (strcmp(code, "SIZE") == 0) {
        if (!applySize(cell, column)) return 2;
    }
    return 0;
}

int AppliquerCorrectionsZRT(FileDesc* desc) {
    if (!desc) return 1;
    const std::string problem = zrtWidthProblem(*desc);
    if (!problem.empty()) {
        morvex::uiPort().messageBox(kCaption, problem + " Les règles ZRT ne sont pas appliquées.",
                                    morvex::UiButtons::Ok, morvex::UiIcon::Error);
        return 1;
    }
    for (const ColumnOwner& owner : desc->columns) {
        ColumnDesc* c = owner.get();
        morvex::trace("\nAnalyse [%s]", c->code);
        for (const char* ignored : kZrtIgnored)
            if (strcmp(c->code, ignored) == 0) c->IgnoreColumn = 1;
        TypeCible& t = c->typeCible;
        // The widths were checked above: they fit an int.
        const int width = static_cast<int>(zrtWidth(*c, owner == desc->columns.back()));
        if (t.type == DATATYPE_DECIMAL) {
            const int p = t.fmtDecimal.partieEntiere, s = t.fmtDecimal.partieDecimale;
            if (c->code[0] == 'D' && s == 0 && p == 8) {
                t.type = DATATYPE_DATE;
                morvex::utf8CopyCut(t.fmtDate, sizeof t.fmtDate, "aaaammjj");
            } else if (s == 0) {
                t.type = DATATYPE_INTEGER;
                t.fmtEntier.taille = p;
            }
        }
        c->WidthInChars = width;
    }
    // Widths changed: the positions follow them.
    desc->isModified = 1;
    FILEDESC_UpdatePositions(desc);
    return 0;
}

int TXTDESC_Import(FileDesc* target, const char* text, size_t length, const char* layoutPath,
                   int applyZrt) {
    if (!target || !layoutPath || (!text && length)) return 1;
    DescPtr layout(
        FILEDESC_CreateFileDesc("Importation", nullptr, STRUCTFILE_DELIMITED, "\\r\\n", "\\t"));
    std::string error;
    if (!layout || FILEDESC_LoadFromFile(layout.get(), layoutPath, &error) != 0) {
        std::string text = "Erreur de chargement du fichier de format pour la description.";
        if (!error.empty()) text += "\n" + error;
        morvex::uiPort().messageBox(kCaption, text, morvex::UiButtons::Ok, morvex::UiIcon::Error);
        return 1;
    }
    if (length > TXTDESC_TEXT_MAX) {
        refuseImport("Le texte à importer dépasse la taille permise (" +
                     morvex::byteCountText(TXTDESC_TEXT_MAX) + ").");
        return 1;
    }
    const bool fixed = layout->TypeStructFile == STRUCTFILE_FIXED;
    const std::string_view all(text ? text : "", length);
    // Every line is read before any column is added: a refused line leaves `target` as it was.
    std::vector<ColumnDesc> columns;
    size_t start = 0;
    for (int lineNumber = 0; start < all.size(); ++lineNumber) {
        size_t end = all.find('\n', start);
        std::string_view line =
            all.substr(start, end == std::string_view::npos ? end : end - start);
        start = end == std::string_view::npos ? all.size() : end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);

        if (line.size() >= static_cast<size_t>(TXTDESC_LINE_MAX)) {
            line = line.substr(0, TXTDESC_LINE_MAX);
            morvex::uiPort().messageBox("Aperçu des résultats",
                                        "Attention! Une ligne trop longue a été tronquée.",
                                        morvex::UiButtons::Ok, morvex::UiIcon::Warning);
        }
        if (line.empty()) continue;
        if (lineNumber == 0 && layout->FirstLineIsHeader) continue;

        ColumnDesc column;
        memset(&column, 0, sizeof column);
        int status = fixed ? readFixedLine(*layout, line, &column, applyZrt)
                           : readDelimitedLine(*layout, line, &column, applyZrt);
        if (status == 2) {
            morvex::uiPort().messageBox(
                kCaption,
                "Ligne " + std::to_string(lineNumber + 1) +
                    " : la taille est refusée, une largeur de 1 à " +
                    std::to_string(FILEDESC_GetNCarMaxReadWithoutNewLine()) +
                    " caractères est attendue. Rien n'a été importé.",
                morvex::UiButtons::Ok, morvex::UiIcon::Error);
            return 1;
        }
        if (status == 3 || status == 4) {
            refuseImport(textTooLong(lineNumber + 1, status == 3));
            return 1;
        }
        if (status == 0) {
            const std::string refusal = FILEDESC_NameRefusal("de la colonne", column.code);
            if (!refusal.empty()) {
                morvex::uiPort().messageBox(kCaption,
                                            "Ligne " + std::to_string(lineNumber + 1) + " : " +
                                                refusal + " Rien n'a été importé.",
                                            morvex::UiButtons::Ok, morvex::UiIcon::Error);
                return 1;
            }
            columns.push_back(column);
        }
    }
    const std::string refusal = importRefusal(*target, columns);
    if (!refusal.empty()) {
        refuseImport(refusal);
        return 1;
    }

    const int wasModified = target->isModified;
    size_t added = 0;
    for (const ColumnDesc& column : columns) {
        if (FILEDESC_AppendColumn(target, &column) != 0) break;
        FILEDESC_ValidateColumn(target->columns.back().get());
        ++added;
    }
    FILEDESC_UpdatePositions(target);
    if (applyZrt) {
        const std::string problem = zrtWidthProblem(*target);
        if (!problem.empty()) {
            // Take the new columns back off.
            target->columns.resize(target->columns.size() - added);
            FILEDESC_UpdatePositions(target);
            target->isModified = wasModified;
            morvex::uiPort().messageBox(kCaption, problem + " Rien n'a été importé.",
                                        morvex::UiButtons::Ok, morvex::UiIcon::Error);
            return 1;
        }
        morvex::trace("\nApplication des règles ZRT");
        AppliquerCorrectionsZRT(target);
    }
    return 0;
}

int ChargerDescription(const char* text, const char* layoutPath, int applyZrt) {
    FileDesc* current = gcontexte.currentFile;
    if (!current) return 1;
    int result = TXTDESC_Import(current, text, text ? strlen(text) : 0, layoutPath, applyZrt);
    morvex::uiPort().refresh(morvex::UiRefresh::ColumnList);
    morvex::uiPort().refresh(morvex::UiRefresh::ResultView);
    return result;
}
