// The load modes and keys on SQLite, over the bundled example description (its primary key ID,
// its mandatory ID and NOM, its two indexes): each mode on a missing table, on a table an
// earlier load made and on a table another program made; the keys' refusals of a duplicate
// key and of a missing mandatory value, written with their reason into the rejects file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/trace.h"
#include "sqliteload/sqlite4fyk.h"
#include "sqliteload/tests/output_test_util.h"

namespace {

using outtest::Contains;
using outtest::Rows;

std::string sourceDir() {
    const char* env = getenv("MORVEX_SOURCE_DIR");
    return env && *env ? env : MORVEX_SOURCE_DIR_PATH;
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class LoadModes : public outtest::SqliteTest {
protected:
    void SetUp() override {
        outtest::SqliteTest::SetUp();
        desc = FILEDESC_OpenFileDesc((sourceDir() + "/examples/clients.fyk").c_str());
        ASSERT_NE(desc, nullptr);
        FILEDESC_SetExampleFilePath(desc, (sourceDir() + "/examples/clients.csv").c_str());
    }
    void TearDown() override {
        FILEDESC_CloseFileDesc(desc);
        outtest::SqliteTest::TearDown();
    }
    // Loads the description into `db` under `mode` (and `keys`); the stats.
    SQLITE4FYK_LOADSTATS load(const std::string& db, int mode, bool keys = false,
                              const std::string& rejects = "") {
        SQLITE4FYK_LOADOPTIONS options;
        options.dataPath = desc->ExampleFilePath;
        options.mode = mode;
        options.keys = keys;
        options.rejectsPath = rejects;
        TASK task{};
        SQLITE4FYK_LOADSTATS st{};
        morvex::TraceCapture quiet;
        SQLITE4FYK_LoadDataInDatabase(&task, desc, db.c_str(), 1000, 1, &st, &options);
        return st;
    }
    void exec(const std::string& db, const std::string& sql) {
        sqlite3* h = nullptr;
        ASSERT_EQ(gsqlite3.sqlite3_open(db.c_str(), &h), SQLITE_OK);
        EXPECT_EQ(gsqlite3.sqlite3_exec(h, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
            << gsqlite3.sqlite3_errmsg(h);
        gsqlite3.sqlite3_close(h);
    }
    FileDesc* desc = nullptr;
};

// The example's table as another program would have made it: the same columns, one row.
const char* kForeignTwin =
    "CREATE TABLE \"CLIENTS\" (FileRowID int, \"ID\" int, \"NOM\" varchar(10), \"PRENOM\" "
    "varchar(12), \"NAISSANCE\" datetime, \"VILLE\" varchar(11), \"SOLDE\" decimal(7, 2), "
    "\"MAJ\" datetime); INSERT INTO \"CLIENTS\" (\"ID\") VALUES (99);";

TEST_F(LoadModes, EachModeOnAMissingALoadedAndAForeignTable) {
    enum State { MISSING, LOADED, FOREIGN_TWIN, FOREIGN_OTHER };
    const struct Case {
        int mode;
        State state;
        std::string refusal;  // empty: the load is done
        int rowsAfter;        // rows in CLIENTS afterwards (-1: no table)
        int stored = 6;       // rows the load stored
    } cases[] = {
        {LOADMODE_DEFAULT, MISSING, "", 6},
        {LOADMODE_DEFAULT, LOADED, "", 6},
        {LOADMODE_DEFAULT, FOREIGN_TWIN,
         "la table [CLIENTS] existe et n'a pas été chargée depuis une description : elle n'est "
         "remplacée qu'avec --mode replace.",
         1},
        {LOADMODE_REPLACE, MISSING, "", 6},
        {LOADMODE_REPLACE, LOADED, "", 6},
        {LOADMODE_REPLACE, FOREIGN_OTHER, "", 6},
        {LOADMODE_CREATE, MISSING, "", 6},
        {LOADMODE_CREATE, LOADED, "la table [CLIENTS] existe déjà", 6},
        {LOADMODE_CREATE, FOREIGN_OTHER, "la table [CLIENTS] existe déjà", 1},
        {LOADMODE_APPEND, MISSING, "la table [CLIENTS] n'existe pas", -1},
        // The earlier load made the table with the keys: the same rows again are refused.
        {LOADMODE_APPEND, LOADED, "", 6, 0},
        {LOADMODE_APPEND, FOREIGN_TWIN, "", 7},
        {LOADMODE_APPEND, FOREIGN_OTHER,
         "la colonne 2 de la table [CLIENTS] est [nom], la description attend [ID].", 1},
        {LOADMODE_UPSERT, MISSING, "", 6},
        {LOADMODE_UPSERT, LOADED, "", 6},
        {LOADMODE_UPSERT, FOREIGN_TWIN, "ON CONFLICT clause does not match", 1},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(LOADMODE_Name(c.mode)) + " case " + std::to_string(n));
        const std::string db = dir.file("modes" + std::to_string(n++) + ".db");
        // A table of another program beside: no mode ever touches it.
        exec(db, "CREATE TABLE autre (v int); INSERT INTO autre VALUES (1);");
        if (c.state == LOADED) {
            ASSERT_EQ(load(db, LOADMODE_DEFAULT, true).status, 0);
        }
        if (c.state == FOREIGN_TWIN) exec(db, kForeignTwin);
        if (c.state == FOREIGN_OTHER) {
            exec(db, "CREATE TABLE \"CLIENTS\" (FileRowID int, nom text); "
                     "INSERT INTO \"CLIENTS\" VALUES (1, 'x');");
        }
        const SQLITE4FYK_LOADSTATS st = load(db, c.mode);
        if (c.refusal.empty()) {
            EXPECT_EQ(st.status, SQLITE4FYK_LOAD_DONE) << st.failure;
            EXPECT_EQ(st.rowsStored, c.stored);
        } else {
            EXPECT_EQ(st.status, SQLITE4FYK_LOAD_FAILED);
            EXPECT_TRUE(Contains(st.failure, c.refusal));
        }
        const auto count = Rows(db, "SELECT count(*) FROM sqlite_master WHERE name = 'CLIENTS'");
        if (c.rowsAfter < 0) {
            EXPECT_EQ(count, std::vector<std::string>{"0"});
        } else {
            EXPECT_EQ(Rows(db, "SELECT count(*) FROM \"CLIENTS\""),
                      std::vector<std::string>{std::to_string(c.rowsAfter)});
        }
        EXPECT_EQ(Rows(db, "SELECT v FROM autre"), std::vector<std::string>{"1"});
    }
}

TEST_F(LoadModes, UpsertReplacesTheRowsOfTheSameKey) {
    const std::string db = dir.file("upsert.db");
    ASSERT_EQ(load(db, LOADMODE_DEFAULT, true).status, 0);
    exec(db, "UPDATE \"CLIENTS\" SET \"VILLE\" = 'Nulle part'; "
             "INSERT INTO \"CLIENTS\" (\"ID\", \"NOM\", \"VILLE\") VALUES (100, 'GARDE', 'Nulle part');");
    ASSERT_EQ(load(db, LOADMODE_UPSERT).status, 0);
    EXPECT_EQ(Rows(db, "SELECT count(*), sum(\"VILLE\" = 'Nulle part') FROM \"CLIENTS\""),
              std::vector<std::string>{"7|1"});
}

TEST_F(LoadModes, KeysRefuseADuplicateKeyAndAMissingMandatoryValueWithTheirReason) {
    FILEDESC_SetExampleFilePath(
        desc, dir.write("clients.csv",
                        "ID;NOM;PRENOM;NAISSANCE;VILLE;SOLDE;MAJ\r\n"
                        "1;\"DUPONT\";\"Jean\";12/03/1975;\"Paris\";1250,50;2014-05-06 05:52:00\r\n"
                        "1;\"DOUBLE\";\"Jean\";12/03/1975;\"Paris\";1,00;2014-05-06 05:52:00\r\n"
                        ";\"SANSID\";\"Ana\";01/01/1982;\"Lyon\";980,00;2014-05-07 10:00:00\r\n"
                        "2;\"MARTIN\";\"Sophie\";01/01/1982;\"Lyon\";980,00;\r\n")
                  .c_str());
    const std::string db = dir.file("keys.db");
    const std::string rejects = dir.file("rejets.csv");
    const SQLITE4FYK_LOADSTATS st = load(db, LOADMODE_CREATE, true, rejects);
    ASSERT_EQ(st.status, SQLITE4FYK_LOAD_DONE) << st.failure;
    EXPECT_EQ(st.rows, 4);
    EXPECT_EQ(st.rowsStored, 2);
    EXPECT_EQ(st.rowsRejected, 2);
    EXPECT_EQ(Rows(db, "SELECT \"ID\", \"NOM\" FROM \"CLIENTS\" ORDER BY 1"),
              (std::vector<std::string>{"1|DUPONT", "2|MARTIN"}));
    EXPECT_EQ(readAll(rejects),
              "ligne,colonne,motif\n"
              "3,,UNIQUE constraint failed: CLIENTS.ID\n"
              "4,,NOT NULL constraint failed: CLIENTS.ID\n");
    // The indexes of the description are there.
    EXPECT_EQ(Rows(db, "SELECT name FROM sqlite_master WHERE type = 'index' AND tbl_name = "
                       "'CLIENTS' AND sql IS NOT NULL ORDER BY 1"),
              (std::vector<std::string>{"IX_CLIENTS_NOM", "IX_CLIENTS_VILLE"}));
}

}  // namespace
