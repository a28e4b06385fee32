// What the programs make of a description's properties, frozen over a corpus of description
// files: the .fyk bytes written back, the catalogue rows of the SQLite load, `morvexcli show
// --json`, every template variable of the description and its columns, and the effects of the
// editor's property setter. Each output must equal its file under tests/golden/descprops/.
//
// To see what changed after a deliberate change of output, set MORVEX_GOLDEN_OUT to a folder:
// the outputs are written there too, to be compared with the golden files by hand.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "appcore/desceditor.h"
#include "cli/descview.h"
#include "filedesc/filedesc.h"
#include "foundation/appsettings.h"
#include "foundation/testing/files.h"
#include "foundation/testing/tempdir.h"
#include "foundation/uiport_testing.h"
#include "foundation/version.h"
#include "sqliteload/sqlite3dll.h"
#include "sqliteload/sqlite4fyk.h"
#include "template/template.h"

namespace fs = std::filesystem;

namespace {

std::string sourceDir() {
    const char* env = getenv("MORVEX_SOURCE_DIR");
    return env && *env ? env : MORVEX_SOURCE_DIR_PATH;
}

std::string goldenDir() {
    return sourceDir() + "/cli/tests/golden/descprops";
}

// The description files of the corpus, from the source tree: the bundled examples, the benchmark's
// and the reader's fuzzing seeds, and the ones written to give every property a value.
const char* const kCorpus[] = {
    "examples/clients.fyk",
    "examples/import/layout_fixed.fyk",
    "examples/import/layout_tab.fyk",
    "bench/delimited.fyk",
    "filedesc/fuzz/corpus/legacy.fyk",
    "filedesc/fuzz/corpus/valid.fyk",
    "filedesc/fuzz/corpus/quoted_names.fyk",
    "filedesc/fuzz/corpus/control_names.fyk",
    "filedesc/fuzz/corpus/truncated_index.fyk",
    "cli/tests/golden/descprops/corpus/every_property.fyk",
    "cli/tests/golden/descprops/corpus/escaped_texts.fyk",
    "cli/tests/golden/descprops/corpus/fixed_width.fyk",
};

// Every name a template may ask of a description.
const char* const kDescriptionVariables[] = {
    "database.name",
    "databasename",
    "table.name",
    "tablename",
    "formatfilepath",
    "datafilepath",
    "project.name",
    "projectname",
    "table.countcolumns",
    "file.endofline",
    "desc.projectname",
    "desc.tablename",
    "desc.schemaname",
    "desc.databasename",
    "desc.description",
    "desc.typestructfile",
    "typestructfile.fixed",
    "typestructfile.separated",
    "desc.firstlineisheader",
    "desc.beginfromline",
    "desc.endtoline",
    "desc.endofline",
    "desc.endofline.binary",
    "desc.separator.tab",
    "desc.separator.space",
    "desc.separator.semicolumn",
    "desc.separator.virgule",
    "desc.separator.pipe",
    "desc.separator.other",
    "desc.separator",
    "desc.fielddelimiter",
    "desc.fielddelimiter.binary",
    "desc.fieldprotector",
    "desc.fixedlinelength",
    "desc.examplefile",
    "desc.databasefile",
    "primary_key.name",
    // not variables today: asked so that one that appears is seen
    "desc.filedescuid",
    "desc.encoding",
    "desc.unquote",
    "desc.schema",
};

// Every name a template may ask of a column.
const char* const kColumnVariables[] = {
    "column.name",          "column.description",  "column.size",      "column.length",
    "column.precision",     "column.endseparator", "column.type",      "column.format",
    "column.sqltype",       "column.ignore",       "column.isnotnull", "column.position",
    "column.beginfrom",     "column.endto",        "column.islast",    "column.protectcarbegin",
    "column.protectcarend",
};

// A template that writes every variable, between brackets, one per line.
std::string variablesTemplate() {
    std::string t = "%templatetype MorvexFylatek.Template\n%targetfilename variables.txt\n";
    for (const char* v : kDescriptionVariables) t += std::string(v) + "=[{" + v + "}]\n";
    t += "%for_each_column\n%begin\n";
    for (const char* v : kColumnVariables) t += std::string(v) + "=[{" + v + "}]\n";
    t += "%end\n%for_each_pk_column\n%begin\n"
         "thispkcol.name=[{thispkcol.name}] thispkcol.islast=[{thispkcol.islast}]\n%end\n"
         "%for_each_index\n%begin\nthisindex.name=[{thisindex.name}]\n%for_each_idx_column\n"
         "%begin\nthisidxcol.name=[{thisidxcol.name}] thisidxcol.islast=[{thisidxcol.islast}]\n"
         "%end\n%end\n";
    return t;
}

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// Every row of `sql`, each value through quote(), joined by '|'.
std::string quotedRows(sqlite3* db, const std::string& table) {
    std::vector<std::string> names;
    sqlite3_stmt* stmt = nullptr;
    const std::string info = "PRAGMA table_info(" + table + ")";
    EXPECT_EQ(gsqlite3.sqlite3_prepare_v2(db, info.c_str(), -1, &stmt, nullptr), SQLITE_OK);
    while (stmt && gsqlite3.sqlite3_step(stmt) == SQLITE_ROW)
        names.push_back(reinterpret_cast<const char*>(gsqlite3.sqlite3_column_text(stmt, 1)));
    gsqlite3.sqlite3_finalize(stmt);
    std::string select, out;
    for (const std::string& n : names)
        select += (select.empty() ? "" : "||'|'||") + ("quote(\"" + n + "\")");
    out += "-- " + table + ": ";
    for (const std::string& n : names) out += n + (&n == &names.back() ? "\n" : "|");
    const std::string sql = "SELECT " + select + " FROM " + table + " ORDER BY rowid";
    stmt = nullptr;
    EXPECT_EQ(gsqlite3.sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr), SQLITE_OK)
        << gsqlite3.sqlite3_errmsg(db);
    while (stmt && gsqlite3.sqlite3_step(stmt) == SQLITE_ROW)
        out += reinterpret_cast<const char*>(gsqlite3.sqlite3_column_text(stmt, 0)) +
               std::string("\n");
    gsqlite3.sqlite3_finalize(stmt);
    return out;
}

class DescriptionGolden : public ::testing::Test {
protected:
    void SetUp() override {
        FILEDESC_Initialize();
        morvex::setUiPort(&port_);
        settings_ = APPSETTINGS{};
        morvex::useAppSettings(&settings_);
        snprintf(settings_.logsDirectory, sizeof settings_.logsDirectory, "%s",
                 dir_.path().c_str());
        snprintf(settings_.librariesDirectory, sizeof settings_.librariesDirectory, "%s",
                 (sourceDir() + "/templates/lib").c_str());
        library_ = SQLITE3_LoadDLL(nullptr);
        ASSERT_NE(library_, nullptr);
        fs::create_directories(dir_.file("out"));
        dir_.write("variables.tpl", variablesTemplate());
    }
    void TearDown() override {
        SQLITE3_LibererDLL(library_);
        morvex::useAppSettings(nullptr);
        morvex::setUiPort(nullptr);
    }

    // The description copied from the source tree into the test's folder and opened there;
    // nullptr with `error` set when it is refused. Its running number and, when the file had
    // none, its identifier are made the same on every run.
    FileDesc* open(const std::string& relative, std::string& error) {
        // One folder down, so that a path that climbs out of the description's folder stays in
        // the test's folder.
        fs::create_directories(dir_.file("desc"));
        const std::string copy = dir_.file("desc/" + fs::path(relative).filename().string());
        fs::copy_file(sourceDir() + "/" + relative, copy, fs::copy_options::overwrite_existing);
        FileDesc* desc = FILEDESC_OpenFileDesc(copy.c_str(), &error);
        if (!desc) return nullptr;
        desc->FileDescID = 1;
        std::string text = morvex::testing::readFile(copy);
        for (char& c : text) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        const size_t uid = text.find("filedescuid=");
        if (uid == std::string::npos || text[uid + 12] == '\r' || text[uid + 12] == '\n')
            snprintf(desc->FileDescUID, sizeof desc->FileDescUID, "NEW-UID");
        return desc;
    }

    // The bytes FILEDESC_SaveToFile writes for `desc`.
    std::string written(FileDesc* desc) {
        const std::string path = dir_.file("written.fyk");
        EXPECT_EQ(FILEDESC_SaveToFile(desc, path.c_str()), 0);
        return morvex::testing::readFile(path);
    }

    std::string catalogue(FileDesc* desc) {
        sqlite3* db = nullptr;
        EXPECT_EQ(gsqlite3.sqlite3_open(":memory:", &db), SQLITE_OK);
        EXPECT_EQ(SQLITE4FYK_SaveFileDescription(db, desc), 0);
        std::string out = quotedRows(db, "sqlite_master");
        out += quotedRows(db, SQLITE4FYK_FILEDESC_TABLE);
        out += quotedRows(db, SQLITE4FYK_FILEDESCCOLUMN_TABLE);
        gsqlite3.sqlite3_close(db);
        return out;
    }

    std::string variables(FileDesc* desc) {
        port_.panel.clear();
        char out[1024] = "";
        const int rc = TEMPLATE_Generate(desc, dir_.file("variables.tpl").c_str(),
                                         dir_.file("out").c_str(), out, sizeof out);
        return "rc=" + std::to_string(rc) + "\n" + morvex::testing::readFile(out) + "\n-- panel\n" +
               port_.panelText();
    }

    // Everything the corpus file `relative` gives, the test's folder written "{dir}" and the
    // build number "{build}".
    std::string outputs(const std::string& relative) {
        std::string error;
        FileDesc* desc = open(relative, error);
        std::string out;
        if (!desc) {
            out = "== refused\n" + error + "\n";
        } else {
            out += "== fyk\n" + written(desc) + "\n";
            out += "== json\n" + morvex::dumpJson(morvex::descriptionToJson(*desc));
            out += "== catalogue\n" + catalogue(desc);
            out += "== template\n" + variables(desc) + "\n";
            FILEDESC_CloseFileDesc(desc);
        }
        return replaceAll(replaceAll(out, dir_.path(), "{dir}"), "NBUILD=" MORVEX_BUILD,
                          "NBUILD={build}");
    }

    // Compares `actual` with the golden file `name`, writing it to MORVEX_GOLDEN_OUT when set.
    void expectGolden(const std::string& name, const std::string& actual) {
        if (const char* keep = getenv("MORVEX_GOLDEN_OUT"); keep && *keep) {
            fs::create_directories(keep);
            std::ofstream(std::string(keep) + "/" + name, std::ios::binary) << actual;
        }
        EXPECT_EQ(actual, morvex::testing::readFile(goldenDir() + "/" + name)) << name;
    }

    morvex::testing::TempDir dir_{"descprops"};
    morvex::ScriptedUiPort port_;
    APPSETTINGS settings_{};
    void* library_ = nullptr;
};

TEST_F(DescriptionGolden, EveryOutputOfTheCorpusStaysAsItWas) {
    for (const char* relative : kCorpus) {
        SCOPED_TRACE(relative);
        expectGolden(fs::path(relative).stem().string() + ".txt", outputs(relative));
    }
}

// The lines of `after` that `before` does not hold ("+ "), then those it lost ("- ").
std::string changedLines(const std::string& before, const std::string& after) {
    auto lines = [](const std::string& text) {
        std::multiset<std::string> out;
        std::istringstream in(text);
        for (std::string l; std::getline(in, l);) out.insert(l);
        return out;
    };
    const auto b = lines(before), a = lines(after);
    std::string out;
    for (const auto& l : a)
        if (!b.count(l)) out += "+ " + l + "\n";
    for (const auto& l : b)
        if (!a.count(l)) out += "- " + l + "\n";
    return out;
}

TEST_F(DescriptionGolden, EditorPropertySetterEffectsStayAsTheyWere) {
    // Each property with values it takes and values it refuses.
    const struct {
        const char* name;
        std::string value;
    } cases[] = {
        {"project", "Nouveau projet"},
        {"project", "a\x1b"},
        {"project", std::string(129, 'p')},
        {"table", "T2"},
        {"table", ""},
        {"table", "t\tab"},
        {"schema", "dbo"},
        {"database", "BASE"},
        {"database", std::string(64, 'b')},
        {"description", "ligne 1\r\nligne 2"},
        {"description", ""},
        {"example", "autre.csv"},
        {"example", ""},
        {"sqlite", "/var/x.db"},
        {"sqlite", ""},
        {"eol", "\\n"},
        {"eol", ""},
        {"eol", "\\r\\n"},
        {"delimiter", ";"},
        {"delimiter", ""},
        {"delimiter", "\\t"},
        {"header", "0"},
        {"header", "1"},
        {"header", "2"},
        {"header", "oui"},
        {"first-line", "5"},
        {"first-line", "0"},
        {"first-line", "x"},
        {"last-line", "0"},
        {"last-line", "99"},
        {"last-line", "-1"},
        {"fixed-length", "80"},
        {"fixed-length", "-3"},
        {"encoding", " utf-8 "},
        {"encoding", ""},
        {"encoding", std::string(32, 'e')},
        {"unquote", "0"},
        {"unquote", "1"},
        {"unquote", "'"},
        {"unquote", "10"},
        {"couleur", "bleu"},
    };
    std::string out = "names:";
    for (const std::string& name : DESCEDIT_PropertyNames()) out += " " + name;
    out += "\n";
    for (const char* relative : {"cli/tests/golden/descprops/corpus/every_property.fyk",
                                 "cli/tests/golden/descprops/corpus/fixed_width.fyk"}) {
        out += "#### " + fs::path(relative).filename().string() + "\n";
        for (const auto& c : cases) {
            std::string error;
            FileDesc* desc = open(relative, error);
            ASSERT_NE(desc, nullptr) << error;
            desc->isModified = 0;
            const std::string before =
                written(desc) + "\n" + morvex::dumpJson(morvex::descriptionToJson(*desc));
            const std::string refusal = DESCEDIT_SetProperty(desc, c.name, c.value);
            const int modified = desc->isModified;
            desc->isModified = 0;
            const std::string after =
                written(desc) + "\n" + morvex::dumpJson(morvex::descriptionToJson(*desc));
            out += "== " + std::string(c.name) + "=" + c.value + "\n";
            out += "refusal: " + refusal + "\nmodified: " + std::to_string(modified) +
                   "\nQuoteChar: " + std::to_string(static_cast<int>(desc->QuoteChar)) + "\n";
            out += changedLines(before, after);
            FILEDESC_CloseFileDesc(desc);
        }
    }
    expectGolden("editor.txt", replaceAll(replaceAll(out, dir_.path(), "{dir}"),
                                          "NBUILD=" MORVEX_BUILD, "NBUILD={build}"));
}

}  // namespace
