// libFuzzer target: arbitrary bytes as a template, generated end to end (load, compile, link,
// execution) against a small description with a key, an index and an example data file.
// %execsystem is refused and the executed instructions are capped, so that every input ends.
// Build with -DMORVEX_FUZZ=ON (clang); run with template/fuzz/corpus as the seed corpus.
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

#include "filedesc/filedesc.h"
#include "foundation/appsettings.h"
#include "foundation/trace.h"
#include "foundation/uiport.h"
#include "template/template.h"

namespace {

// A port that answers everything at once and closes the descriptions a template opens.
class FuzzPort : public morvex::HeadlessUiPort {
public:
    void panelMessage(morvex::UiPanel, unsigned, const std::string&) override {}
    void openDescription(FileDesc* desc) override { FILEDESC_CloseFileDesc(desc); }
};

std::string gDir;  // scratch folder of this fuzzing process
FileDesc* gDesc = nullptr;

void write(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

FileDesc* makeDescription() {
    FileDesc* d = FILEDESC_CreateFileDesc("Fuzz", nullptr, STRUCTFILE_DELIMITED, "\\n", ";");
    strcpy(d->TableName, "T\"'] {desc.databasefile}");
    strcpy(d->ProjectName, "P\r\nGO\r\n\x01\x7f");
    FILEDESC_SetDescription(d, "ligne 1\r\nGO\r\n*/ DROP TABLE t; --{table.name}%F a,b:");
    d->FirstLineIsHeader = 1;
    d->ExampleFilePath = strdup((gDir + "/data.csv").c_str());
    const int types[] = {0, 1, 2, 5};
    // Names with quotes, brackets and shell text, and texts with control characters: what the
    // escaping forms ({name:sqlident}...) must make harmless.
    const char* names[] = {"ID", "MON\"TANT", "JOUR]'", "NOM $(x) `y` %F a:"};
    for (int i = 0; i < 4; ++i) {
        ColumnDesc c{};
        strcpy(c.code, names[i]);
        c.typeCible.type = types[i];
        c.typeCible.fmtDecimal = {10, 2};
        c.typeCible.fmtChaineVar.tailleMax = 20;
        FILEDESC_AjouterColonne(d, &c);
    }
    IndexDesc pk{};
    strcpy(pk.name, "PK");
    pk.columns.push_back(FILEDESC_SearchColumn(d, "ID"));
    FILEDESC_SetPrimaryKey(d, &pk);
    IndexDesc* ix = FILEDESC_CreateIndex("IX");
    ix->columns.push_back(FILEDESC_SearchColumn(d, names[3]));
    ix->columns.push_back(FILEDESC_SearchColumn(d, names[2]));
    FILEDESC_AddIndex(d, ix);
    return d;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    static FILE* sink = fopen("/dev/null", "w");
    if (sink) morvex::traceSetStream(sink);
    static FuzzPort port;
    morvex::setUiPort(&port);
    FILEDESC_Initialize();
    char templ[] = "/tmp/fuzz_template_XXXXXX";
    if (!mkdtemp(templ)) abort();
    gDir = templ;
    mkdir((gDir + "/lib").c_str(), 0777);
    mkdir((gDir + "/out").c_str(), 0777);
    write(gDir + "/data.csv", "ID;MONTANT;JOUR;NOM\n1;2,5;01/01/2001;a\n2;;;\"b;c\"\n");
    write(gDir + "/lib/l.tpl",
          "%templatetype MorvexFylatek.Library\n%function F a, b\n%begin\n"
          "%return {a}{b}\n%end\n");
    static APPSETTINGS settings{};
    morvex::useAppSettings(&settings);
    snprintf(settings.logsDirectory, sizeof settings.logsDirectory, "%s", gDir.c_str());
    snprintf(settings.librariesDirectory, sizeof settings.librariesDirectory, "%s/lib",
             gDir.c_str());
    gDesc = makeDescription();
    TEMPLATE_SetExecPolicy(TEMPLATE_EXEC_REFUSE);
    TEMPLATE_SetDetailedTrace(false);
    TEMPLATE_SetInstructionLimit(20000);
    atexit([] {
        FILEDESC_CloseFileDesc(gDesc);
        std::string cmd = "rm -rf '" + gDir + "'";
        if (system(cmd.c_str()) != 0) {
        }
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    // Output names stay inside the scratch folder.
    if (text.find("..") != std::string::npos) return 0;
    const std::string path = gDir + "/in.tpl";
    write(path, text);
    char out[1024] = "";
    TEMPLATE_Generate(gDesc, path.c_str(), (gDir + "/out").c_str(), out, sizeof out);
    return 0;
}
