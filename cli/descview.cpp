#include "cli/descview.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "cli/cliutil.h"
#include "filedesc/descdialect.h"
#include "filedesc/descprops.h"
#include "filedesc/filedesc.h"

using nlohmann::json;

namespace morvex {
namespace {

// The record an element of a description's list stands for: a reference or an owner.
template <typename T>
T* recordOf(T* p) {
    return p;
}
template <typename T, typename D>
T* recordOf(const std::unique_ptr<T, D>& p) {
    return p.get();
}

// Calls fn(record) for every element of a list, in order (read only).
template <typename T, typename List, typename Fn>
void eachOf(const List& list, Fn fn) {
    for (const auto& item : list) fn(static_cast<T*>(recordOf(item)));
}

json textOrNull(const char* text) { return text ? json(text) : json(nullptr); }

json statsToJson(const COL_TYPE_STATISTICS& s) {
    return json{
        {"isFirst", s.isFirst},
        {"countIntegersZeroPrefixed", s.countIntegersZeroPrefixed},
        {"countIntegersNonZeroPrefixed", s.countIntegersNonZeroPrefixed},
        {"countFixedStrings", s.countFixedStrings},
        {"countVariableStrings", s.countVariableStrings},
        {"countDecimals", s.countDecimals},
        {"countDecimalsWithPoint", s.countDecimalsWithPoint},
        {"countDecimalsWithComma", s.countDecimalsWithComma},
        {"countDecimalsWithPointSignPostfix", s.countDecimalsWithPointSignPostfix},
        {"countDecimalsWithCommaSignPostfix", s.countDecimalsWithCommaSignPostfix},
        {"countDates", s.countDates},
        {"countDatetimes", s.countDatetimes},
        {"minLength", s.minLength},
        {"maxLength", s.maxLength},
        {"minLengthForIntegerPart", s.minLengthForIntegerPart},
        {"minLengthForDecimalPart", s.minLengthForDecimalPart},
        {"maxLengthForIntegerPart", s.maxLengthForIntegerPart},
        {"maxLengthForDecimalPart", s.maxLengthForDecimalPart},
        {"lengthIntegerPart", s.lengthIntegerPart},
        {"lengthDecimalPart", s.lengthDecimalPart},
        {"decimalSeparator", charText(s.decimalSeparator)},
        {"dateFormat", s.dateFormat},
        {"datetimeFormat", s.datetimeFormat},
    };
}

json typeCibleToJson(const TypeCible& t) {
    return json{
        {"type", t.type},
        {"fmtEntier", {{"taille", t.fmtEntier.taille}}},
        {"fmtDecimal",
         {{"partieEntiere", t.fmtDecimal.partieEntiere},
          {"partieDecimale", t.fmtDecimal.partieDecimale}}},
        {"fmtDate", t.fmtDate},
        {"fmtDateTime", t.fmtDateTime},
        {"fmtChaineFixe", {{"taille", t.fmtChaineFixe.taille}}},
        {"fmtChaineVar", {{"tailleMax", t.fmtChaineVar.tailleMax}}},
    };
}

json columnToJson(const ColumnDesc& c) {
    json j = json::object();
    for (const ColumnProperty& p : columnProperties()) {
        if (!p.jsonKey) continue;
        switch (p.kind) {
            case ColumnKind::Text:
                j[p.jsonKey] = columnText(c, p);
                break;
            case ColumnKind::Number:
                j[p.jsonKey] = columnNumber(c, p);
                break;
            case ColumnKind::Character:
                j[p.jsonKey] = charText(c.*p.character);
                break;
        }
    }
    // What is no property of its own: the message of the last check, the type with every
    // format, the statistics of the last analysis.
    j["message"] = textOrNull(c.message);
    j["typeCible"] = typeCibleToJson(c.typeCible);
    if (c.stats) j["stats"] = statsToJson(*c.stats);
    return j;
}

json indexToJson(const IndexDesc& index) {
    json codes = json::array();
    eachOf<ColumnDesc>(index.columns, [&](ColumnDesc* c) { codes.push_back(c ? c->code : ""); });
    return json{{"name", index.name}, {"columns", codes}};
}

// The message of a column on one line (its own line breaks become " / ").
std::string oneLine(const char* message) {
    std::string out;
    if (!message) return out;
    for (const char* p = message; *p; ++p) {
        if (*p == '\n') {
            if (p[1]) out += " / ";
        } else if (*p != '\r') {
            out += *p;
        }
    }
    return out;
}

std::string keyText(const IndexDesc& index) {
    std::string out = index.name;
    std::string codes;
    eachOf<ColumnDesc>(index.columns, [&](ColumnDesc* c) {
        if (!codes.empty()) codes += ", ";
        codes += c ? c->code : "";
    });
    if (!codes.empty() || !out.empty()) out += " (" + codes + ")";
    return out;
}

// A property as JSON: a number, a text, or null for an owned text there is none of.
json propertyToJson(const FileDesc& d, const DescProperty& p) {
    switch (p.kind) {
        case PropertyKind::Number:
            return d.*p.number;
        case PropertyKind::OwnedText:
        case PropertyKind::Path:
            return textOrNull(d.*p.owned);
        default:
            return propertyFixedText(d, p);
    }
}

}  // namespace

json descriptionToJson(const FileDesc& d) {
    json j = json::object();
    for (const DescProperty& p : descriptionProperties()) j[p.jsonKey] = propertyToJson(d, p);
    // The converted end of line and delimiter, and the legacy protecting character, are shown
    // as the record holds them; they are no property of their own.
    j["EndOfLineChars"] = FILEDESC_LineEndBytes(d);
    j["FieldDelimiterChars"] = FILEDESC_DelimiterBytes(d);
    j["fieldProtector"] = charText(d.fieldProtector);
    json columns = json::array();
    eachOf<ColumnDesc>(d.columns, [&](ColumnDesc* c) {
        if (c) columns.push_back(columnToJson(*c));
    });
    j["columns"] = columns;
    j["primaryKey"] = indexToJson(d.primaryKey);
    json indexes = json::array();
    eachOf<IndexDesc>(d.indexes, [&](IndexDesc* i) {
        if (i) indexes.push_back(indexToJson(*i));
    });
    j["indexes"] = indexes;
    json templates = json::array();
    if (d.processes)
        eachOf<PROCESSTASK>(d.processes->tasks, [&](PROCESSTASK* t) {
            if (t) templates.push_back(t->templatePath ? t->templatePath : "");
        });
    j["templates"] = templates;
    return j;
}

std::string dumpJson(const json& j) {
    return j.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

std::string descriptionToTable(const FileDesc& d) {
    std::string out;
    auto prop = [&](const char* label, const std::string& value) {
        out += padRight(label, 18) + ": " + value + "\n";
    };
    auto text = [](const char* s) { return std::string(s ? s : ""); };

    prop("Projet", d.ProjectName);
    prop("Identifiant", d.FileDescUID);
    prop("Fichier", text(d.FileDescPath));
    prop("Description", oneLine(d.Description));
    prop("Base", d.DatabaseName);
    prop("Schéma", d.SchemaName);
    prop("Table", d.TableName);
    const char* structure = d.TypeStructFile == 1   ? "largeur fixe"
                            : d.TypeStructFile == 2 ? "délimitée"
                                                    : "non définie";
    prop("Structure", std::to_string(d.TypeStructFile) + " (" + structure + ")");
    prop("Fin de ligne", d.EndOfLine);
    prop("Délimiteur", d.FieldDelimiter);
    prop("Ligne fixe", std::to_string(d.LenFixedLine));
    prop("Ligne d'en-tête", d.FirstLineIsHeader ? "oui" : "non");
    prop("Lignes", "de " + std::to_string(d.BeginFromLine) + " à " + std::to_string(d.EndToLine));
    prop("Fichier exemple", text(d.ExampleFilePath));
    prop("Base SQLite", text(d.DatabaseFilePath));
    prop("Clé primaire", keyText(d.primaryKey));
    eachOf<IndexDesc>(d.indexes, [&](IndexDesc* i) {
        if (i) prop("Index", keyText(*i));
    });
    if (d.processes)
        eachOf<PROCESSTASK>(d.processes->tasks, [&](PROCESSTASK* t) {
            if (t) prop("Template", text(t->templatePath));
        });
    prop("Colonnes", std::to_string(d.columns.size()));

    // Column lines, aligned on the widest value of each column of the table.
    std::vector<std::vector<std::string>> rows;
    rows.push_back({"Pos", "Début", "Fin", "Code", "Largeur", "Type", "Format", "Drapeaux",
                    "Message"});
    eachOf<ColumnDesc>(d.columns, [&](ColumnDesc* c) {
        if (!c) return;
        std::string flags;
        flags += c->IgnoreColumn ? 'I' : '-';
        flags += c->FieldCannotBeNull ? 'O' : '-';
        flags += c->protectedField ? 'P' : '-';
        rows.push_back({std::to_string(c->Position), std::to_string(c->StartPosition),
                        std::to_string(c->EndPosition), c->code, std::to_string(c->WidthInChars),
                        typeName(c->typeCible), typeFormat(c->typeCible), flags,
                        oneLine(c->message)});
    });
    std::vector<size_t> widths(rows[0].size(), 0);
    for (const auto& r : rows)
        for (size_t i = 0; i < r.size(); ++i) widths[i] = std::max(widths[i], displayWidth(r[i]));
    const bool numeric[] = {true, true, true, false, true, false, false, false, false};
    out += "\n";
    for (const auto& r : rows) {
        std::string line;
        for (size_t i = 0; i < r.size(); ++i) {
            if (i) line += "  ";
            bool last = i + 1 == r.size();
            line += numeric[i] ? padLeft(r[i], widths[i]) : last ? r[i] : padRight(r[i], widths[i]);
        }
        while (!line.empty() && line.back() == ' ') line.pop_back();
        out += line + "\n";
    }
    out += "\nDrapeaux : I = colonne ignorée, O = valeur obligatoire, P = champ protégé\n";
    return out;
}

}  // namespace morvex
