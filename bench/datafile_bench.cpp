// Reads a whole data file through a description and prints the rows, values and rows per
// second on standard output (used by bench/datafile.sh).
//     datafile_bench DESCRIPTION.fyk DATAFILE
//     datafile_bench --make-description OUTPUT.fyk   (writes bench/delimited.fyk)
#include <chrono>
#include <cstdio>
#include <cstring>

#include "datafile/datafile.h"
#include "filedesc/descdialect.h"
#include "filedesc/filedesc.h"
#include "foundation/trace.h"

namespace {

// Writes the description of the file that bench/gen_delimited.py generates.
int makeDescription(const char* path) {
    FileDesc* desc =
        FILEDESC_CreateFileDesc("delimited", nullptr, STRUCTFILE_DELIMITED, "\\r\\n", ";");
    if (!desc) return 1;
    snprintf(desc->TableName, sizeof desc->TableName, "operations");
    desc->FirstLineIsHeader = 1;
    desc->BeginFromLine = 1;
    struct Spec {
        const char* code;
        int type;
        int width;
        bool quoted;
    };
    const Spec specs[] = {
        {"code", DATATYPE_INTEGER, 10, false},
        {"nom", DATATYPE_VARIABLECHAR, 60, true},
        {"libelle", DATATYPE_VARIABLECHAR, 100, true},
        {"montant", DATATYPE_DECIMAL, 15, false},
        {"quantite", DATATYPE_INTEGER, 6, false},
        {"date_operation", DATATYPE_DATE, 10, false},
        {"commentaire", DATATYPE_VARIABLECHAR, 200, true},
    };
    for (const Spec& spec : specs) {
        ColumnDesc col;
        memset(&col, 0, sizeof col);
        snprintf(col.code, sizeof col.code, "%s", spec.code);
        col.WidthInChars = spec.width;
        col.typeCible.type = spec.type;
        col.typeCible.fmtEntier.taille = spec.width;
        col.typeCible.fmtDecimal = {12, 2};
        snprintf(col.typeCible.fmtDate, sizeof col.typeCible.fmtDate, "jj/mm/aaaa");
        col.typeCible.fmtChaineVar.tailleMax = spec.width;
        col.protectedField = spec.quoted ? 1 : 0;
        col.DelimCharStart = spec.quoted ? '"' : 0;
        col.DelimCharEnd = spec.quoted ? '"' : 0;
        FILEDESC_AjouterColonne(desc, &col);
    }
    int rc = FILEDESC_SaveToFile(desc, path);
    FILEDESC_CloseFileDesc(desc);
    return rc;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && strcmp(argv[1], "--make-description") == 0) {
        FILE* sink = fopen("/dev/null", "w");
        if (sink) morvex::traceSetStream(sink);
        return makeDescription(argv[2]);
    }
    if (argc != 3) {
        fprintf(stderr, "usage: datafile_bench DESCRIPTION.fyk DATAFILE\n");
        return 2;
    }
    FILE* sink = fopen("/dev/null", "w");
    if (sink) morvex::traceSetStream(sink);
    FileDesc* desc = FILEDESC_OpenFileDesc(argv[1]);
    if (!desc) {
        fprintf(stderr, "cannot load %s\n", argv[1]);
        return 1;
    }
    auto start = std::chrono::steady_clock::now();
    DATAFILE_DIALECT dialect;
    if (const std::string refusal = FILEDESC_MakeDialect(desc, dialect); !refusal.empty()) {
        fprintf(stderr, "%s\n", refusal.c_str());
        FILEDESC_CloseFileDesc(desc);
        return 1;
    }
    DATAFILE* reader = DATAFILE_NewIterator(dialect, argv[2], 10000, 0);
    if (!reader || DATAFILE_Init(reader) != 0) {
        fprintf(stderr, "cannot read %s\n", argv[2]);
        return 1;
    }
    long rows = 0, values = 0, bytes = 0;
    while (LDCG* row = DATAFILE_ReadNext(reader)) {
        ++rows;
        values += row->count;
        for (LDCG_ELT* elt = row->first; elt; elt = elt->next)
            bytes += static_cast<DATACOLUMN*>(elt->lParam1)->length;
        LDCG_Destroy(row, LDCG_KEEP_ROOT, LDCG_RELEASE_BOTH);
    }
    double read = DATAFILE_GetReadBytes(reader);
    DATAFILE_DestroyIterator(reader);
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    printf(
        "rows=%ld values=%ld valueBytes=%ld fileBytes=%.0f seconds=%.3f rows_per_s=%.0f "
        "MB_per_s=%.1f\n",
        rows, values, bytes, read, seconds, rows / seconds, read / seconds / 1e6);
    FILEDESC_CloseFileDesc(desc);
    morvex::traceSetStream(nullptr);
    if (sink) fclose(sink);
    return 0;
}
