// libFuzzer target: imports arbitrary text as a table description through each of three layout
// descriptions, with and without the ZRT rules, then checks that the description it gives is
// saved and opened again with the same columns. Build with -DMORVEX_FUZZ=ON (clang).
//
// Input: 1 setting byte, then the text.
//   [0] bits 0-1: the layout (fixed widths; tab-delimited with a header line; ";"-delimited
//       with quoted cells); bit 2: the ZRT rules applied
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "appcore/textimport.h"
#include "filedesc/filedesc.h"
#include "foundation/trace.h"

namespace {

std::string gDir;                   // the scratch folder of this fuzzing process
std::vector<std::string> gLayouts;  // the layout descriptions, saved there

void check(bool ok) {
    if (!ok) abort();
}

struct LayoutColumn {
    const char* code;
    int width;
};

std::string saveLayout(const char* name, int structure, const char* delimiter, int header,
                       int quoted, const std::vector<LayoutColumn>& columns) {
    FileDesc* d = FILEDESC_CreateFileDesc(name, nullptr, structure, "\\n", delimiter);
    check(d != nullptr);
    d->FirstLineIsHeader = header;
    for (const LayoutColumn& c : columns) {
        ColumnDesc column{};
        strcpy(column.code, c.code);
        column.WidthInChars = c.width;
        column.typeCible.type = DATATYPE_VARIABLECHAR;
        if (quoted) {
            column.protectedField = 1;
            column.DelimCharStart = column.DelimCharEnd = '"';
        }
        check(FILEDESC_AjouterColonne(d, &column) == 0);
    }
    const std::string path = gDir + "/" + name + ".fyk";
    check(FILEDESC_SaveToFile(d, path.c_str()) == 0);
    FILEDESC_CloseFileDesc(d);
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static FILE* sink = fopen("/dev/null", "w");
    if (sink) morvex::traceSetStream(sink);
    FILEDESC_Initialize();
    char templ[] = "/tmp/fuzz_textimport_XXXXXX";
    if (!mkdtemp(templ)) abort();
    gDir = templ;
    atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(gDir, ignored);
    });
    gLayouts.push_back(saveLayout("fixed", STRUCTFILE_FIXED, ";", 0, 0,
                                  {{"NAME", 10}, {"TYPE", 10}, {"SIZE", 6}, {"DESCRIPTION", 30}}));
    gLayouts.push_back(saveLayout("tabs", STRUCTFILE_DELIMITED, "\\t", 1, 0,
                                  {{"NAME", 30}, {"DESCRIPTION", 60}, {"TYPE", 20}, {"SIZE", 8}}));
    gLayouts.push_back(saveLayout("quoted", STRUCTFILE_DELIMITED, ";", 0, 1,
                                  {{"SIZE", 8}, {"TYPE", 20}, {"NAME", 30}, {"DESCRIPTION", 60}}));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const std::string& layout = gLayouts[(data[0] & 3) % gLayouts.size()];
    const int zrt = (data[0] >> 2) & 1;
    const char* text = reinterpret_cast<const char*>(data) + 1;
    FileDesc* target = FILEDESC_CreateFileDesc("Cible", nullptr, STRUCTFILE_FIXED, "\\r\\n", ";");
    check(target != nullptr);
    const int result = TXTDESC_Import(target, text, size - 1, layout.c_str(), zrt);
    check(result == 0 || result == 1);
    const size_t columns = target->columns.size();
    if (result == 1) check(columns == 0);  // a refused import leaves the description as it was

    // What the import made is a description like any other: it is saved and read back whole.
    const std::string saved = gDir + "/imported.fyk";
    check(FILEDESC_SaveToFile(target, saved.c_str()) == 0);
    std::string error;
    FileDesc* reread = FILEDESC_OpenFileDesc(saved.c_str(), &error);
    if (!reread) {
        fprintf(stderr, "the imported description does not open again: %s\n", error.c_str());
        abort();
    }
    check(reread->columns.size() == columns);
    FILEDESC_CloseFileDesc(reread);
    FILEDESC_CloseFileDesc(target);
    return 0;
}
