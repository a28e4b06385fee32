// Shared set-up of the template tests: a temporary folder with the logs and libraries
// directories, a scripted UI port, and a small description built in memory.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "filedesc/filedesc.h"
#include "foundation/appsettings.h"
#include "foundation/testing/files.h"
#include "foundation/testing/tempdir.h"
#include "foundation/testing/textassert.h"
#include "foundation/trace.h"
#include "foundation/uiport_testing.h"
#include "template/template.h"

namespace tpltest {

using morvex::testing::readFile;

using morvex::testing::Contains;
using morvex::testing::StartsWith;

// One column to add to a test description.
struct Col {
    const char* code;
    int type;
    int a = 0;  // width / length / integer digits
    int b = 0;  // decimal digits
};

// The outcome of one generation.
struct Generated {
    int rc;            // TEMPLATE_Generate's result
    std::string path;  // the output path
    std::string text;  // the output file's content
};

class TemplateTest : public ::testing::Test {
protected:
    void SetUp() override {
        FILEDESC_Initialize();
        morvex::setUiPort(&port_);
        // The folders the templates read: the logs and the libraries in the test's folder.
        settings_ = APPSETTINGS{};
        morvex::useAppSettings(&settings_);
        snprintf(settings_.logsDirectory, sizeof settings_.logsDirectory, "%s",
                 dir_.path().c_str());
        snprintf(settings_.librariesDirectory, sizeof settings_.librariesDirectory, "%s/lib",
                 dir_.path().c_str());
        std::string lib = dir_.path() + "/lib";
        mkdir(lib.c_str(), 0777);
        out_ = dir_.path() + "/out";
        mkdir(out_.c_str(), 0777);
        TEMPLATE_SetExecPolicy(TEMPLATE_EXEC_ASK);
        TEMPLATE_SetDetailedTrace(true);
        TEMPLATE_SetInstructionLimit(0);
    }
    void TearDown() override {
        if (desc_) FILEDESC_CloseFileDesc(desc_);
        morvex::setUiPort(nullptr);
        morvex::useAppSettings(nullptr);
    }

    // A delimited description "Clients" (table CLIENT, database BASE, ';' delimiter) with
    // `cols`.
    FileDesc* describe(const std::vector<Col>& cols, const char* delimiter = ";") {
        if (desc_) FILEDESC_CloseFileDesc(desc_);
        desc_ = FILEDESC_CreateFileDesc("Clients", nullptr, STRUCTFILE_DELIMITED, "\\n", delimiter);
        strcpy(desc_->TableName, "CLIENT");
        strcpy(desc_->DatabaseName, "BASE");
        strcpy(desc_->SchemaName, "dbo");
        for (const Col& c : cols) {
            ColumnDesc col{};
            snprintf(col.code, sizeof col.code, "%s", c.code);
            col.WidthInChars = 10;
            col.typeCible.type = c.type;
            col.typeCible.fmtEntier.taille = c.a;
            col.typeCible.fmtDecimal.partieEntiere = c.a;
            col.typeCible.fmtDecimal.partieDecimale = c.b;
            col.typeCible.fmtChaineFixe.taille = c.a;
            col.typeCible.fmtChaineVar.tailleMax = c.a;
            FILEDESC_AjouterColonne(desc_, &col);
        }
        return desc_;
    }

    // Writes `text` as the template `name` and generates it for the current description.
    Generated generate(const std::string& text, const std::string& name = "t.tpl") {
        if (!desc_) describe({{"ID", DATATYPE_INTEGER, 9}});
        std::string tpl = dir_.write(name, text);
        char out[1024] = "";
        Generated g;
        g.rc = TEMPLATE_Generate(desc_, tpl.c_str(), out_.c_str(), out, sizeof out);
        g.path = out;
        g.text = g.path.empty() ? "" : readFile(g.path);
        return g;
    }

    // Every panel text joined, and the colour of the run holding `text`.
    std::string panel() { return port_.panelText(); }
    unsigned colourOf(const std::string& text) {
        for (const auto& r : port_.panel)
            if (r.text.find(text) != std::string::npos) return r.value;
        return 0xFFFFFFFF;
    }

    morvex::testing::TempDir dir_{"tpltest"};
    std::string out_;
    FileDesc* desc_ = nullptr;
    morvex::ScriptedUiPort port_;
    APPSETTINGS settings_{};  // the settings the templates read, named in SetUp
    morvex::TraceCapture trace_;
};

}  // namespace tpltest
