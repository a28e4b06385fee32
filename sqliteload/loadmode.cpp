// The load modes' decisions and the comparison of an existing table's columns.
#include "sqliteload/loadmode.h"

#include <algorithm>

#include "foundation/mystrings.h"

using morvex::Format;

namespace {

bool sameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

}  // namespace

int LOADMODE_Parse(const std::string& name) {
    if (name == "replace") return LOADMODE_REPLACE;
    if (name == "create") return LOADMODE_CREATE;
    if (name == "append") return LOADMODE_APPEND;
    if (name == "upsert") return LOADMODE_UPSERT;
    return -1;
}

const char* LOADMODE_Name(int mode) {
    switch (mode) {
        case LOADMODE_REPLACE:
            return "replace";
        case LOADMODE_CREATE:
            return "create";
        case LOADMODE_APPEND:
            return "append";
        case LOADMODE_UPSERT:
            return "upsert";
        default:
            return "";
    }
}

LOADMODE_DECISION LOADMODE_Decide(int mode, const std::string& table, bool exists, bool listed,
                                  bool hasPrimaryKey) {
    LOADMODE_DECISION d;
    const char* t = table.c_str();
    switch (mode) {
        case LOADMODE_REPLACE:
            d.action = exists ? LOADMODE_ACTION_DROP_CREATE : LOADMODE_ACTION_CREATE;
            break;
        case LOADMODE_CREATE:
            if (exists)
                d.refusal = Format("la table [%s] existe déjà (--mode create ne crée qu'une "
                                   "table absente ; --mode replace la remplace, --mode append "
                                   "la complète).",
                                   t);
            else
                d.action = LOADMODE_ACTION_CREATE;
            break;
        case LOADMODE_APPEND:
            if (!exists)
                d.refusal = Format("la table [%s] n'existe pas (--mode append complète une "
                                   "table existante ; --mode create la crée).",
                                   t);
            else
                d.action = LOADMODE_ACTION_USE_EXISTING;
            break;
        case LOADMODE_UPSERT:
            if (!hasPrimaryKey)
                d.refusal = Format("la description de la table [%s] n'a pas de clé primaire "
                                   "(--mode upsert remplace les lignes de même clé).",
                                   t);
            else
                d.action = exists ? LOADMODE_ACTION_USE_EXISTING : LOADMODE_ACTION_CREATE;
            break;
        default:
            if (exists && !listed)
                d.refusal = Format("la table [%s] existe et n'a pas été chargée depuis une "
                                   "description : elle n'est remplacée qu'avec --mode replace.",
                                   t);
            else
                d.action = exists ? LOADMODE_ACTION_DROP_CREATE : LOADMODE_ACTION_CREATE;
            break;
    }
    return d;
}

std::string LOADMODE_ColumnDifference(const std::string& table,
                                      const std::vector<LOADMODE_COLUMN>& expected,
                                      const std::vector<LOADMODE_COLUMN>& actual,
                                      bool (*sameType)(const std::string&, const std::string&)) {
    const size_t n = std::min(expected.size(), actual.size());
    for (size_t i = 0; i < n; ++i) {
        const LOADMODE_COLUMN& e = expected[i];
        const LOADMODE_COLUMN& a = actual[i];
        if (!sameName(e.name, a.name))
            return Format("la colonne %zu de la table [%s] est [%s], la description attend [%s].",
                          i + 1, table.c_str(), a.name.c_str(), e.name.c_str());
        if (sameType != nullptr && !sameType(e.type, a.type))
            return Format("la colonne %zu [%s] de la table [%s] est de type %s, la description "
                          "attend %s.",
                          i + 1, a.name.c_str(), table.c_str(), a.type.c_str(), e.type.c_str());
    }
    if (actual.size() < expected.size())
        return Format("la table [%s] n'a pas de colonne [%s] (colonne %zu de la description).",
                      table.c_str(), expected[n].name.c_str(), n + 1);
    if (actual.size() > expected.size())
        return Format("la colonne %zu [%s] de la table [%s] n'est pas dans la description.", n + 1,
                      actual[n].name.c_str(), table.c_str());
    return "";
}
