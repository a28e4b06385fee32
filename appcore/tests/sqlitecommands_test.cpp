#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "appcore/application.h"
#include "appcore/sqlitecommands.h"
#include "foundation/trace.h"
#include "sqliteload/sqlite4fyk.h"
#include "sqliteload/tests/output_test_util.h"

namespace fs = std::filesystem;

namespace {

using outtest::Contains;

class SqliteCommands : public outtest::SqliteTest {
protected:
    void SetUp() override {
        SqliteTest::SetUp();
        saved = gcontexte;
        snprintf(gcontexte.databasesDirectory, sizeof gcontexte.databasesDirectory, "%s",
                 dir.path().c_str());
        gcontexte.sqliteBatchSize = 2;
        desc = FILEDESC_CreateFileDesc("Ventes 2024/Q1: a*b", nullptr, 2, "\\r\\n", ";");
        desc->ExampleFilePath = strdup(dir.write("data.csv", "1;a\r\n2;b\r\n3;c\r\n").c_str());
        for (const char* code : {"ID", "NOM"}) {
            ColumnDesc c = outtest::MakeColumn(code, DATATYPE_VARIABLECHAR);
            FILEDESC_AjouterColonne(desc, &c);
        }
    }
    void TearDown() override {
        FILEDESC_CloseFileDesc(desc);
        gcontexte = saved;
        SqliteTest::TearDown();
    }

    // The row count of the table "datafile" of the database file `db`.
    std::string count(const std::string& db) {
        const auto rows = outtest::Rows(db, "SELECT count(*) FROM datafile");
        return rows.empty() ? "" : rows[0];
    }

    FileDesc* desc = nullptr;
    CONTEXTE saved{};
};

TEST_F(SqliteCommands, ProposesTheProjectNameAsAFileAndNamesAnUnnamedTable) {
    const std::string chosen = dir.file("ventes.db");
    port.fileAnswers.push_back(chosen);
    morvex::TraceCapture capture;
    EXPECT_EQ(FYK_SendDataToSQLiteWithFilePrompt(nullptr, desc), 0);
    EXPECT_EQ(port.prompts,
              (std::vector<std::string>{"Exporter les données vers le fichier SQLite ..."}));
    EXPECT_STREQ(desc->TableName, "datafile");
    EXPECT_STREQ(desc->DatabaseFilePath, chosen.c_str());
    EXPECT_EQ(count(chosen), "3");
    const std::string trace = capture.text();
    EXPECT_TRUE(Contains(trace, "\nFile does NOT exists : " + chosen));
    EXPECT_TRUE(Contains(trace, "\n[FYK_SendDataToSQLite] : Appel"));
    EXPECT_TRUE(Contains(trace, "\n[FYK_SendDataToSQLite] : Termine"));
    EXPECT_EQ(port.events.back().event, TASK_EVENT_FINISHED);
}

TEST_F(SqliteCommands, BlanksTheCharactersAFileNameCannotHold) {
    // The port accepts the proposed path once its answers are exhausted.
    EXPECT_EQ(FYK_SendDataToSQLiteWithFilePrompt(nullptr, desc), 0);
    const std::string expected = dir.file("Ventes 2024 Q1  a b.db");
    EXPECT_STREQ(desc->DatabaseFilePath, expected.c_str());
    EXPECT_TRUE(fs::exists(expected));
}

TEST_F(SqliteCommands, AsksBeforeReplacingAFileAndAsksAgainOnNo) {
    const std::string existing = dir.file("old.db");
    std::ofstream(existing) << "";
    port.fileAnswers = {existing, existing};
    port.answers = {morvex::UiAnswer::No, morvex::UiAnswer::Yes};
    EXPECT_EQ(FYK_SendDataToSQLiteWithFilePrompt(nullptr, desc), 0);
    EXPECT_EQ(port.prompts.size(), 2u);
    ASSERT_EQ(port.messages.size(), 2u);
    EXPECT_EQ(port.messages[0],
              "Remplacer le fichier|Ce fichier existe déjà. Voulez-vous le remplacer ?");
    EXPECT_EQ(count(existing), "3");
}

TEST_F(SqliteCommands, CancellingThePromptOrTheQuestionLoadsNothing) {
    port.fileAnswers = {std::nullopt};
    EXPECT_EQ(FYK_SendDataToSQLiteWithFilePrompt(nullptr, desc), 0);
    const std::string existing = dir.file("old.db");
    std::ofstream(existing) << "";
    port.fileAnswers = {existing};
    port.answers = {morvex::UiAnswer::Cancel};
    EXPECT_EQ(FYK_SendDataToSQLiteWithFilePrompt(nullptr, desc), 0);
    EXPECT_EQ(port.taskRuns, 0);
    EXPECT_EQ(desc->DatabaseFilePath, nullptr);
    EXPECT_EQ(fs::file_size(existing), 0u);
}

TEST_F(SqliteCommands, LoadsIntoMemoryAndRefusesMissingArguments) {
    strcpy(desc->TableName, "V");
    EXPECT_EQ(FYK_SendDataToSQLite(nullptr, desc, ":memory:"), 0);
    EXPECT_STREQ(desc->DatabaseFilePath, ":memory:");
    EXPECT_EQ(port.events.back().event, TASK_EVENT_FINISHED);
    EXPECT_TRUE(Contains(port.events.back().message, "3 lignes chargées en "));
    EXPECT_EQ(FYK_SendDataToSQLite(nullptr, nullptr, ":memory:"), 1);
    EXPECT_EQ(FYK_SendDataToSQLite(nullptr, desc, nullptr), 1);
    EXPECT_EQ(FYK_SendDataToSQLiteWithFilePrompt(nullptr, nullptr), 1);
}

}  // namespace

TEST_F(SqliteCommands, WithoutADatabasesDirectoryTheDatabaseGoesBesideTheDescription) {
    gcontexte.databasesDirectory[0] = '\0';
    const std::string work = dir.file("travail");
    fs::create_directories(work);
    FILEDESC_SetFileName(desc, (work + "/ventes.fyk").c_str());
    SQLITE4FYK_LOADSTATS stats{};
    EXPECT_EQ(FYK_SendDataToSQLiteWithFilePrompt(nullptr, desc, &stats), 0);
    EXPECT_STREQ(desc->DatabaseFilePath, (work + "/Ventes 2024 Q1  a b.db").c_str());
    EXPECT_EQ(stats.status, SQLITE4FYK_LOAD_DONE);
    EXPECT_EQ(stats.rowsStored, 3);
}
