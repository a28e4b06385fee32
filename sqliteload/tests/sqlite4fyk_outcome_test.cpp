// What a load tells of every row and of every failure: rows set aside for an unclosed quote,
// values over several lines, blank lines and undefined WINDOWS-1252 bytes counted exactly; a
// data file changed during the load, names SQLite would refuse and a locked database told with
// their cause; two loads into one database at once.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "datafile/datafile.h"
#include "foundation/appsettings.h"
#include "foundation/task.h"
#include "foundation/testing/files.h"
#include "foundation/trace.h"
#include "sqliteload/sqlite4fyk.h"
#include "sqliteload/tests/output_test_util.h"

namespace {

using outtest::Contains;
using outtest::MakeColumn;
using outtest::Rows;

// A task run in the calling thread: its events recorded, `onEvent` called on each.
struct RecordedTask {
    TASK task{};
    std::mutex lock;
    std::vector<std::pair<int, std::string>> events;
    std::function<void(int event, const std::string& message)> onEvent;

    RecordedTask() {
        task.eventCallback = &RecordedTask::record;
        task.runnerData = this;
    }
    static void record(TASK* t, int event, int, int, const char* message) {
        auto* self = static_cast<RecordedTask*>(t->runnerData);
        const std::string text = message ? message : "";
        {
            std::lock_guard<std::mutex> g(self->lock);
            self->events.emplace_back(event, text);
        }
        if (self->onEvent) self->onEvent(event, text);
    }
    bool told(const std::string& text) {
        std::lock_guard<std::mutex> g(lock);
        for (const auto& e : events)
            if (e.second == text) return true;
        return false;
    }
    std::string last() {
        std::lock_guard<std::mutex> g(lock);
        return events.empty() ? "" : events.back().second;
    }
};

class LoadOutcome : public outtest::SqliteTest {
protected:
    // A description of the table `table` with the columns `names` (texts), protected by '"'
    // and unquoted when `unquote`; its data file `file` holds `text`.
    FileDesc* describe(const char* table, const std::vector<const char*>& names,
                       const std::string& text, const char* file = "data.csv",
                       bool unquote = true, const char* encoding = "") {
        FileDesc* desc = FILEDESC_CreateFileDesc(table, nullptr, 2, "\\r\\n", ";");
        snprintf(desc->TableName, sizeof desc->TableName, "%s", table);
        desc->FirstLineIsHeader = 1;
        desc->BeginFromLine = 1;
        desc->Unquote = unquote ? 1 : 0;
        desc->QuoteChar = unquote ? '"' : '\0';
        snprintf(desc->Encoding, sizeof desc->Encoding, "%s", encoding);
        for (const char* name : names) {
            ColumnDesc c = MakeColumn(name, DATATYPE_VARIABLECHAR);
            c.protectedField = 1;
            c.DelimCharStart = c.DelimCharEnd = '"';
            FILEDESC_AjouterColonne(desc, &c);
        }
        free(desc->ExampleFilePath);
        desc->ExampleFilePath = strdup(dir.write(file, text).c_str());
        descs.push_back(desc);
        return desc;
    }
    void TearDown() override {
        for (FileDesc* d : descs) FILEDESC_CloseFileDesc(d);
        morvex::useAppSettings(nullptr);
        outtest::SqliteTest::TearDown();
    }
    SQLITE4FYK_LOADSTATS load(RecordedTask& t, FileDesc* desc, const std::string& db,
                              const SQLITE4FYK_LOADOPTIONS* options = nullptr, int batch = 1000) {
        SQLITE4FYK_LOADSTATS st{};
        morvex::TraceCapture quiet;
        SQLITE4FYK_LOADOPTIONS given = options ? *options : SQLITE4FYK_LOADOPTIONS{};
        given.dataPath = desc->ExampleFilePath ? desc->ExampleFilePath : "";
        SQLITE4FYK_LoadDataInDatabase(&t.task, desc, db.c_str(), batch, 1, &st, &given);
        return st;
    }
    std::vector<FileDesc*> descs;
};

// 100 000 rows, "<i>;"nom <i>";ville<i>", with row `broken` (1-based) missing its closing quote.
std::string hundredThousandRows(int broken) {
    std::string text = "id;nom;ville\r\n";
    for (int i = 1; i <= 100000; ++i) {
        text += std::to_string(i) + ";\"nom " + std::to_string(i) + (i == broken ? "" : "\"") +
                ";ville" + std::to_string(i) + "\r\n";
    }
    return text;
}

// The load reads the data file it is given, whatever the description names, and tells why it
// cannot read one: none given, or a description that says no layout.
TEST_F(LoadOutcome, ReadsTheDataFileOfItsOptionsAndTellsWhyItCannot) {
    FileDesc* desc = describe("T", {"id", "nom", "ville"},
                              "id;nom;ville\r\n1;a;b\r\n2;c;d\r\n3;e;f\r\n", "example.csv");
    const std::string other = dir.write("other.csv", "id;nom;ville\r\n9;z;y\r\n");
    const struct Case {
        const char* name;
        std::string dataPath;
        int layout;
        int stored;       // -1: the load fails
        std::string told;  // the failure as kept in the counts
    } cases[] = {
        {"another file than the example", other, STRUCTFILE_DELIMITED, 1, ""},
        {"no file given", "", STRUCTFILE_DELIMITED, -1,
         "Echec du chargement du fichier de données [].\nCause : le fichier n'existe pas ou ne "
         "s'ouvre pas"},
        {"a description without layout", other, STRUCTFILE_UNSET, -1,
         "Echec du chargement du fichier de données [" + other +
             "].\nCause : Type de fichier inconnu (0) : ni délimité, ni à largeur fixe."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        desc->TypeStructFile = c.layout;
        SQLITE4FYK_LOADOPTIONS options;
        options.dataPath = c.dataPath;
        RecordedTask t;
        SQLITE4FYK_LOADSTATS st{};
        {
            morvex::TraceCapture quiet;
            SQLITE4FYK_LoadDataInDatabase(&t.task, desc, dir.file("p.db").c_str(), 1000, 1, &st,
                                          &options);
        }
        if (c.stored >= 0) {
            EXPECT_EQ(st.status, SQLITE4FYK_LOAD_DONE) << st.failure;
            EXPECT_EQ(st.rowsStored, c.stored);
        } else {
            EXPECT_EQ(st.status, SQLITE4FYK_LOAD_FAILED);
            EXPECT_EQ(std::string(st.failure), c.told);
        }
    }
}

TEST_F(LoadOutcome, EveryRowIsStoredSetAsideOrToldAndTheCountsAreExact) {
    const struct Case {
        const char* name;
        std::string text;
        bool unquote;
        const char* encoding;
        int rows, stored, unclosed, multiLine, firstMultiLine, blank;
        std::vector<std::string> table;  // "id|nom|ville" in the file's order (empty: unchecked)
        std::string rejects;             // the rejects file (empty: unchecked)
    } cases[] = {
        {"an unclosed quote in the middle of 100 000 rows", hundredThousandRows(2), true, "",
         100000, 99999, 1, 0, 0, 0, {},
         "ligne,colonne,motif\n3,,\"champ protégé sans fin probable : il engloberait la ligne 4, "
         "qui est une ligne complète\"\n"},
        {"an unclosed quote on the last row", "id;nom;ville\r\n1;a;b\r\n2;\"c;d\r\n", true, "", 2,
         1, 1, 0, 0, 0, {"1|a|b"}, "ligne,colonne,motif\n3,,champ protégé jamais fermé\n"},
        {"a value over several lines stays one value",
         "id;nom;ville\r\n1;\"a\r\nb\";x\r\n2;\"c\";y\r\n3;\"d\r\n\r\ne\";\"f\r\ng\"\r\n", true, "",
         3, 3, 0, 3, 2, 0, {"1|a\r\nb|x", "2|c|y", "3|d\r\n\r\ne|f\r\ng"}, ""},
        {"blank lines at the start, in the middle and at the end",
         "id;nom;ville\r\n\r\n1;a;b\r\n\r\n\r\n2;c;d\r\n\r\n", false, "", 2, 2, 0, 0, 0, 4,
         {"1|a|b", "2|c|d"}, ""},
        {"the bytes WINDOWS-1252 leaves undefined",
         "id;nom;ville\r\n1;\x81\x8D;\x8F\x90\x9D\r\n2;\xE9;\r\n", false, "WINDOWS-1252", 2, 2, 0,
         0, 0, 0, {"1|\xC2\x81\xC2\x8D|\xC2\x8F\xC2\x90\xC2\x9D", "2|\xC3\xA9|"}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FileDesc* desc = describe("T", {"id", "nom", "ville"}, c.text, "data.csv", c.unquote,
                                  c.encoding);
        for (bool withRejects : {false, true}) {
            SCOPED_TRACE(withRejects ? "with a rejects file" : "without");
            SQLITE4FYK_LOADOPTIONS options;
            if (withRejects) options.rejectsPath = dir.file("rejects.csv");
            RecordedTask t;
            const SQLITE4FYK_LOADSTATS st = load(t, desc, dir.file("o.db"), &options);
            EXPECT_EQ(st.status, SQLITE4FYK_LOAD_DONE) << st.failure;
            EXPECT_EQ(st.rows, c.rows);
            EXPECT_EQ(st.rowsStored, c.stored);
            EXPECT_EQ(st.rowsSetAside, c.rows - c.stored);
            EXPECT_EQ(st.rowsUnclosedQuote, c.unclosed);
            EXPECT_EQ(st.rowsBadEncoding, 0);
            EXPECT_EQ(st.valuesMultiLine, c.multiLine);
            EXPECT_EQ(st.firstMultiLineLine, c.firstMultiLine);
            EXPECT_EQ(st.blankLines, c.blank);
            EXPECT_EQ(Rows(dir.file("o.db"), "SELECT count(*) FROM T"),
                      std::vector<std::string>{std::to_string(c.stored)});
            if (!c.table.empty()) {
                EXPECT_EQ(Rows(dir.file("o.db"), "SELECT id, nom, ville FROM T ORDER BY FileRowID"),
                          c.table);
            }
            if (withRejects && !c.rejects.empty()) {
                EXPECT_EQ(morvex::testing::readFile(options.rejectsPath), c.rejects);
            }
        }
    }
}

TEST_F(LoadOutcome, ADataFileChangedDuringTheLoadFailsItAndKeepsWhatWasThere) {
    for (bool cut : {false, true}) {
        SCOPED_TRACE(cut ? "cut" : "appended to");
        FileDesc* desc = describe("T", {"id", "nom"}, "id;nom\r\n1;avant\r\n");
        RecordedTask first;
        ASSERT_EQ(load(first, desc, dir.file("c.db")).status, SQLITE4FYK_LOAD_DONE);
        std::string text = "id;nom\r\n";
        for (int i = 0; text.size() < 3 * DATAFILE_BLOCK_SIZE; ++i)
            text += std::to_string(i) + ";nom " + std::to_string(i) + "\r\n";
        const std::string path = dir.write("data.csv", text);
        RecordedTask t;
        bool changed = false;
        // At the first progress report (after 1 000 rows) another program changes the file.
        t.onEvent = [&](int event, const std::string& message) {
            if (changed || event != TASK_EVENT_PROGRESS || !Contains(message, "lignes chargées"))
                return;
            changed = true;
            if (cut) {
                ASSERT_EQ(truncate(path.c_str(), DATAFILE_BLOCK_SIZE), 0);
            } else {
                FILE* out = fopen(path.c_str(), "ab");
                fputs("9;ajoutée\r\n", out);
                fclose(out);
            }
        };
        const SQLITE4FYK_LOADSTATS st = load(t, desc, dir.file("c.db"));
        ASSERT_TRUE(changed);
        EXPECT_EQ(st.status, SQLITE4FYK_LOAD_FAILED);
        EXPECT_EQ(st.fileChanged, 1);
        EXPECT_EQ(st.rowsStored, 0);
        const std::string message = "Echec du chargement du fichier de données [" + path +
                                    "].\nCause : le fichier a changé (taille ou date de "
                                    "modification) pendant la lecture";
        EXPECT_STREQ(st.failure, message.c_str());
        EXPECT_EQ(t.last(), message);
        EXPECT_EQ(t.events.back().first, TASK_EVENT_NOT_STARTED);
        EXPECT_EQ(Rows(dir.file("c.db"), "SELECT id, nom FROM T"),
                  std::vector<std::string>{"1|avant"});
    }
}

TEST_F(LoadOutcome, NamesSqliteWouldRefuseAreToldBeforeTheDatabaseIsOpened) {
    const struct {
        std::vector<const char*> names;
        const char* cause;
    } cases[] = {
        {{"ID", "nom", "id"},
         "noms de colonne en double ou vides : colonne 3 [id] : même nom que la colonne 1 [ID]"},
        {{"a", "", "b"}, "noms de colonne en double ou vides : colonne 2 sans nom"},
        {{"fileRowId", "x", "x"},
         "noms de colonne en double ou vides : colonne 1 [fileRowId] : même nom que le numéro "
         "de ligne FileRowID ; colonne 3 [x] : même nom que la colonne 2 [x]"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.cause);
        FileDesc* desc = describe("T", c.names, "a;b;c\r\n1;2;3\r\n");
        RecordedTask t;
        const SQLITE4FYK_LOADSTATS st = load(t, desc, dir.file("n.db"));
        EXPECT_EQ(st.status, SQLITE4FYK_LOAD_FAILED);
        const std::string message =
            std::string("Echec du chargement : la table [T] n'a pu être créée.\nCause : ") +
            c.cause;
        EXPECT_EQ(t.last(), message);
        EXPECT_STREQ(st.failure, message.c_str());
        EXPECT_FALSE(std::filesystem::exists(dir.file("n.db")));
    }
}

TEST_F(LoadOutcome, ALockedDatabaseIsWaitedForUpToTheSettingThenToldWithItsCause) {
    FileDesc* desc = describe("T", {"id", "nom"}, "id;nom\r\n1;a\r\n2;b\r\n");
    RecordedTask first;
    ASSERT_EQ(load(first, desc, dir.file("l.db")).status, SQLITE4FYK_LOAD_DONE);
    sqlite3* other = nullptr;
    ASSERT_EQ(gsqlite3.sqlite3_open(dir.file("l.db").c_str(), &other), SQLITE_OK);
    {
        // Another program writes for 300 ms: the load waits for it and says so.
        ASSERT_EQ(SQLITE4FYK_ExecuteSQL(other, "BEGIN IMMEDIATE; DELETE FROM T;", 0), 0);
        std::thread release([other] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            SQLITE4FYK_ExecuteSQL(other, "COMMIT;", 0);
        });
        RecordedTask t;
        const SQLITE4FYK_LOADSTATS st = load(t, desc, dir.file("l.db"));
        release.join();
        EXPECT_EQ(st.status, SQLITE4FYK_LOAD_DONE) << st.failure;
        EXPECT_EQ(st.rowsStored, 2);
        EXPECT_TRUE(t.told(SQLITE4FYK_LOCKED_WAIT_TEXT));
    }
    {
        // Held past the setting: the load fails after it, with SQLite's cause.
        APPSETTINGS settings{};
        settings.sqliteBusyTimeout = 200;
        morvex::useAppSettings(&settings);
        ASSERT_EQ(SQLITE4FYK_ExecuteSQL(other, "BEGIN IMMEDIATE;", 0), 0);
        RecordedTask t;
        const auto start = std::chrono::steady_clock::now();
        const SQLITE4FYK_LOADSTATS st = load(t, desc, dir.file("l.db"));
        const double waited =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        SQLITE4FYK_ExecuteSQL(other, "ROLLBACK;", 0);
        morvex::useAppSettings(nullptr);
        EXPECT_EQ(st.status, SQLITE4FYK_LOAD_FAILED);
        EXPECT_GE(waited, 0.19);
        EXPECT_LT(waited, 5.0);
        EXPECT_TRUE(Contains(st.failure, "database is locked")) << st.failure;
        EXPECT_TRUE(t.told(SQLITE4FYK_LOCKED_WAIT_TEXT));
    }
    gsqlite3.sqlite3_close(other);
    EXPECT_EQ(Rows(dir.file("l.db"), "SELECT group_concat(nom, '') FROM T"),
              std::vector<std::string>{"ab"});
}

TEST_F(LoadOutcome, TwoLoadsIntoOneDatabaseAtOnceBothSucceed) {
    std::string a = "id;nom\r\n", b = "code;libelle;x\r\n";
    for (int i = 0; i < 20000; ++i) {
        a += std::to_string(i) + ";a" + std::to_string(i) + "\r\n";
        b += std::to_string(i) + ";b" + std::to_string(i) + ";x\r\n";
    }
    FileDesc* first = describe("A", {"id", "nom"}, a, "a.csv");
    FileDesc* second = describe("B", {"code", "libelle", "x"}, b, "b.csv");
    for (int run = 0; run < 3; ++run) {
        SCOPED_TRACE(run);
        const std::string db = dir.file("both" + std::to_string(run) + ".db");
        RecordedTask ta, tb;
        SQLITE4FYK_LOADSTATS sa{}, sb{};
        {
            morvex::TraceCapture quiet;
            SQLITE4FYK_LOADOPTIONS oa, ob;
            oa.dataPath = first->ExampleFilePath;
            ob.dataPath = second->ExampleFilePath;
            std::thread one([&] {
                SQLITE4FYK_LoadDataInDatabase(&ta.task, first, db.c_str(), 1000, 1, &sa, &oa);
            });
            std::thread two([&] {
                SQLITE4FYK_LoadDataInDatabase(&tb.task, second, db.c_str(), 1000, 1, &sb, &ob);
            });
            one.join();
            two.join();
        }
        EXPECT_EQ(sa.status, SQLITE4FYK_LOAD_DONE) << sa.failure;
        EXPECT_EQ(sb.status, SQLITE4FYK_LOAD_DONE) << sb.failure;
        EXPECT_EQ(Rows(db, "SELECT (SELECT count(*) FROM A), (SELECT count(*) FROM B), "
                           "(SELECT count(*) FROM FylatekFileDesc)"),
                  std::vector<std::string>{"20000|20000|2"});
    }
}

}  // namespace
