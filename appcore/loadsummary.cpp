#include "appcore/loadsummary.h"

namespace {

// " de 'FILE'" after a line number when the load read several files, so that the line can be
// found; "" otherwise.
std::string inFile(const SQLITE4FYK_LOADSTATS& st, int file) {
    if (st.files.size() < 2 || file < 0 || static_cast<size_t>(file) >= st.files.size()) return "";
    return " de '" + st.files[file].name + "'";
}

}  // namespace

std::string LOAD_Summary(const SQLITE4FYK_LOADSTATS& st, const std::string& rejectsPath,
                         const std::string& misshapenHint) {
    std::string out = std::to_string(st.rows) +
                      " ligne(s) lue(s) : " + std::to_string(st.rowsStored) + " enregistrée(s), " +
                      std::to_string(st.rowsSetAside) + " écartée(s), " +
                      std::to_string(st.rowsRejected) + " rejetée(s) par la base.\n";
    if (st.rowsSetAside > 0) {
        std::string why;
        auto reason = [&why](int count, const char* text) {
            if (count == 0) return;
            why += (why.empty() ? "" : ", ") + std::to_string(count) + " " + text;
        };
        reason(st.rowsBadShape, "sans une valeur par colonne");
        reason(st.rowsBadValue, "avec une valeur non conforme à son type");
        reason(st.rowsBadEncoding, "avec une séquence invalide pour l'encodage");
        reason(st.rowsUnclosedQuote, "avec un champ protégé jamais fermé");
        reason(st.rowsTooLong, "trop longue(s), coupée(s) à la limite de caractères");
        out += "Lignes écartées : " + why;
        out += rejectsPath.empty() ? ".\n" : " ; listées dans '" + rejectsPath + "'.\n";
    }
    if (st.rowsMisshapedStored > 0) {
        out += std::to_string(st.rowsMisshapedStored) +
               " ligne(s) enregistrée(s) sans une valeur par colonne (valeurs manquantes nulles, "
               "valeurs en trop ignorées), la première à la ligne " +
               std::to_string(st.firstMisshapedLine) + inFile(st, st.firstMisshapedFile) +
               misshapenHint + ".\n";
    }
    if (st.valuesMultiLine > 0)
        out += std::to_string(st.valuesMultiLine) +
               " valeur(s) sur plusieurs lignes, la première ligne " +
               std::to_string(st.firstMultiLineLine) + inFile(st, st.firstMultiLineFile) + ".\n";
    if (st.blankLines > 0)
        out += std::to_string(st.blankLines) + " ligne(s) vide(s) ignorée(s).\n";
    out += std::to_string(st.valuesNotTyped) +
           " valeur(s) conservée(s) telle(s) quelle(s) car non conforme(s) à leur type.\n";
    return out;
}

std::string LOAD_FilesSummary(const SQLITE4FYK_LOADSTATS& st) {
    if (st.files.size() < 2) return "";
    std::string out;
    for (const SQLITE4FYK_FILECOUNTS& f : st.files)
        out += "'" + f.name + "' : " + std::to_string(f.rows) + " ligne(s) lue(s) : " +
               std::to_string(f.rowsStored()) + " enregistrée(s), " +
               std::to_string(f.rowsSetAside) + " écartée(s), " +
               std::to_string(f.rowsRejected) + " rejetée(s) par la base.\n";
    return out;
}

std::string LOAD_Outcome(const SQLITE4FYK_LOADSTATS& st, const std::string& database,
                         const std::string& table) {
    const bool inMemory = database == ":memory:";
    if (st.status == SQLITE4FYK_LOAD_INTERRUPTED)
        return "Chargement arrêté : la base '" + database + "' est restée telle qu'elle était.\n";
    if (st.status != SQLITE4FYK_LOAD_DONE) {
        std::string out =
            "Le chargement a échoué : la base '" + database + "' est restée telle qu'elle était.\n";
        if (st.error[0]) out += std::string("Cause : ") + st.error + "\n";
        return out;
    }
    std::string out = inMemory ? "Table '" + table +
                                     "' chargée dans une base en mémoire, refermée à la fin du "
                                     "chargement.\n"
                               : "Table '" + table + "' de la base '" + database + "'.\n";
    return out + LOAD_Summary(st, std::string());
}
