// The rejects file of a reading.
#include "datafile/rejects.h"

#include <cstdlib>

#include "foundation/csv.h"

DATAFILE_REJECTS* DATAFILE_OpenRejects(const char* path, bool withFile) {
    if (!path) return nullptr;
    FILE* f = fopen(path, "wb");
    if (!f) return nullptr;
    auto* rejects = static_cast<DATAFILE_REJECTS*>(calloc(1, sizeof(DATAFILE_REJECTS)));
    if (!rejects) {
        fclose(f);
        return nullptr;
    }
    rejects->file = f;
    rejects->lastLine = -1;
    rejects->withFile = withFile ? 1 : 0;
    fputs(withFile ? "fichier,ligne,colonne,motif\n" : "ligne,colonne,motif\n", f);
    return rejects;
}

void DATAFILE_AddReject(DATAFILE_REJECTS* rejects, int line, const std::string& column,
                        const std::string& reason, const std::string& file) {
    if (!rejects) return;
    if (line != rejects->lastLine) ++rejects->rows;
    rejects->lastLine = line;
    std::string text;
    if (rejects->withFile) {
        morvex::csvAppendCell(text, file, ',');
        text += ',';
    }
    text += std::to_string(line) + ",";
    morvex::csvAppendCell(text, column, ',');
    text += ',';
    morvex::csvAppendCell(text, reason, ',');
    text += '\n';
    fwrite(text.data(), 1, text.size(), rejects->file);
}

int DATAFILE_CloseRejects(DATAFILE_REJECTS* rejects) {
    if (!rejects) return 0;
    const bool failed = ferror(rejects->file) != 0;
    const bool closeFailed = fclose(rejects->file) != 0;
    free(rejects);
    return failed || closeFailed ? 1 : 0;
}

std::string DATAFILE_RowProblem(DATAFILE* reader, int values) {
    if (!reader) return {};
    if (reader->rowEncodingError)
        return "séquence d'octets invalide pour l'encodage " + reader->dialect.encoding;
    if (reader->rowUnclosedQuote && reader->rowSwallowedLine)
        return "champ protégé sans fin probable : il engloberait la ligne " +
               std::to_string(reader->rowSwallowedLine) + ", qui est une ligne complète";
    if (reader->rowUnclosedQuote) return "champ protégé jamais fermé";
    if (reader->lineTooLong)
        return "ligne de plus de " + std::to_string(reader->nCarMaxReadWithoutNewLine) +
               " caractères, coupée";
    const int columns = static_cast<int>(reader->dialect.columns.size());
    if (values != columns)
        return std::to_string(values) + " valeur(s) au lieu de " + std::to_string(columns);
    return {};
}
