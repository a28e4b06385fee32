#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/core/application.h"
#include "filedesc/filedesc.h"
#include "foundation/trace.h"
#include "foundation/uiport_testing.h"
#include "output/sqlite3dll.h"
#include "output/sqlite4fyk.h"
#include "output/sqlquery.h"

namespace fs = std::filesystem;

namespace {

// Counts the rows of a table through the query run.
class CountSink : public SQLQUERY_SINK {
public:
    void status(int, const std::string&) override {}
    void columns(int, char**) override {}
    void row(int, char** values) override { value = values[0] != nullptr ? values[0] : ""; }
    std::string value;
};

class SqliteCommands : public ::testing::Test {
protected:
    void SetUp() override {
        FILEDESC_Initialize();
        morvex::setUiPort(&port);
        library = SQLITE3_LoadDLL(nullptr);
        ASSERT_NE(library, nullptr);
        dir = fs::temp_directory_path() /
              ("sqlitecommands_test_" + std::to_string(getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        saved = gcontexte;
        snprintf(gcontexte.databasesDirectory, sizeof gcontexte.databasesDirectory, "%s",
                 dir.string().c_str());
        gcontexte.sqliteBatchSize = 2;
        {
            std::ofstream out(dir / "data.csv", std::ios::binary);
            out << "1;a\r\n2;b\r\n3;c\r\n";
        }
        desc = FILEDESC_CreateFileDesc("Ventes 2024/Q1: a*b", nullptr, 2, "\\r\\n", ";");
        desc->ExampleFilePath = strdup((dir / "data.csv").string().c_str());
        for (const char* code : {"ID", "NOM"}) {
            ColumnDesc c{};
            strcpy(c.code, code);
            c.typeCible.type = DATATYPE_VARIABLECHAR;
            c.typeCible.fmtChaineVar.tailleMax = 10;
            FILEDESC_AjouterColonne(desc, &c);
        }
    }
    void TearDown() override {
        FILEDESC_CloseFileDesc(desc);
        SQLITE3_LibererDLL(library);
        gcontexte = saved;
        morvex::setUiPort(nullptr);
        fs::remove_all(dir);
    }

    std::string count(const std::string& db, const std::string& table) {
        CountSink sink;
        SQLQUERY_RUN run;
        SQLQUERY_Execute(&run, db.c_str(), ("SELECT count(*) FROM \"" + table + "\"").c_str(),
                         &sink);
        return sink.value;
    }

    morvex::ScriptedUiPort port;
    void* library = nullptr;
    fs::path dir;
    FileDesc* desc = nullptr;
    CONTEXTE saved{};
};

TEST_F(SqliteCommands, ProposesTheProjectNameAsAFileAndNamesAnUnnamedTable) {
    const std::string chosen = (dir / "ventes.db").string();
    port.fileAnswers.push_back(chosen);
    morvex::TraceCapture capture;
    EXPECT_EQ(FYK_SendDataToSQLiteWithFilePrompt(nullptr, desc), 0);
    EXPECT_EQ(port.prompts, (std::vector<std::string>{"Exporter les données vers le fichier SQLite ..."}));
    EXPECT_STREQ(desc->TableName, "datafile");
    EXPECT_STREQ(desc->DatabaseFilePath, chosen.c_str());
    EXPECT_EQ(count(chosen, "datafile"), "3");
    const std::string trace = capture.text();
    EXPECT_NE(trace.find("\nFile does NOT exists : " + chosen), std::string::npos);
    EXPECT_NE(trace.find("\n[FYK_SendDataToSQLite] : Appel"), std::string::npos);
    EXPECT_NE(trace.find("\n[FYK_SendDataToSQLite] : Termine"), std::string::npos);
    EXPECT_EQ(port.events.back().event, TASK_EVENT_FINISHED);
}

TEST_F(SqliteCommands, BlanksTheCharactersAFileNameCannotHold) {
    // The port accepts the proposed path once its answers are exhausted.
    EXPECT_EQ(FYK_SendDataToSQLiteWithFilePrompt(nullptr, desc), 0);
    const std::string expected = (dir / "Ventes 2024 Q1  a b.db").string();
    EXPECT_STREQ(desc->DatabaseFilePath, expected.c_str());
    EXPECT_TRUE(fs::exists(expected));
}

TEST_F(SqliteCommands, AsksBeforeReplacingAFileAndAsksAgainOnNo) {
    const std::string existing = (dir / "old.db").string();
    std::ofstream(existing) << "";
    port.fileAnswers = {existing, existing};
    port.answers = {morvex::UiAnswer::No, morvex::UiAnswer::Yes};
    EXPECT_EQ(FYK_SendDataToSQLiteWithFilePrompt(nullptr, desc), 0);
    EXPECT_EQ(port.prompts.size(), 2u);
    ASSERT_EQ(port.messages.size(), 2u);
    EXPECT_EQ(port.messages[0],
              "Remplacer le fichier|Ce fichier existe déjà. Voulez-vous le remplacer ?");
    EXPECT_EQ(count(existing, "datafile"), "3");
}

TEST_F(SqliteCommands, CancellingThePromptOrTheQuestionLoadsNothing) {
    port.fileAnswers = {std::nullopt};
    EXPECT_EQ(FYK_SendDataToSQLiteWithFilePrompt(nullptr, desc), 0);
    const std::string existing = (dir / "old.db").string();
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
    EXPECT_NE(port.events.back().message.find("3 lignes chargées en "), std::string::npos);
    EXPECT_EQ(FYK_SendDataToSQLite(nullptr, nullptr, ":memory:"), 1);
    EXPECT_EQ(FYK_SendDataToSQLite(nullptr, desc, nullptr), 1);
    EXPECT_EQ(FYK_SendDataToSQLiteWithFilePrompt(nullptr, nullptr), 1);
}

}  // namespace
