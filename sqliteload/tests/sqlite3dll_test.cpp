#include "sqliteload/sqlite3dll.h"

#include <gtest/gtest.h>

#include <string>

#include "foundation/uiport.h"
#include "foundation/uiport_testing.h"

namespace {

// Installs a scripted port for the duration of a test and restores the headless one after.
class Sqlite3Binding : public ::testing::Test {
protected:
    void SetUp() override { morvex::setUiPort(&port); }
    void TearDown() override { morvex::setUiPort(nullptr); }
    morvex::ScriptedUiPort port;
};

TEST_F(Sqlite3Binding, BindsTheSystemLibraryAndCallsThroughIt) {
    void* handle = SQLITE3_LoadDLL(nullptr);
    ASSERT_NE(handle, nullptr);
    EXPECT_TRUE(SQLITE3_IsBound());
    EXPECT_TRUE(port.messages.empty());
    EXPECT_EQ(std::string(gsqlite3.sqlite3_libversion()).substr(0, 2), "3.");
    sqlite3* db = nullptr;
    ASSERT_EQ(gsqlite3.sqlite3_open(":memory:", &db), SQLITE_OK);
    char* error = nullptr;
    EXPECT_EQ(gsqlite3.sqlite3_exec(db, "CREATE TABLE t(a); INSERT INTO t VALUES (1);", nullptr,
                                    nullptr, &error),
              SQLITE_OK);
    EXPECT_EQ(gsqlite3.sqlite3_exec(db, "SELECT nope FROM t", nullptr, nullptr, &error),
              SQLITE_ERROR);
    ASSERT_NE(error, nullptr);
    EXPECT_NE(std::string(error).find("nope"), std::string::npos);
    gsqlite3.sqlite3_free(error);
    EXPECT_EQ(gsqlite3.sqlite3_close(db), SQLITE_OK);
    EXPECT_EQ(SQLITE3_LibererDLL(handle), 0);
    EXPECT_FALSE(SQLITE3_IsBound());
    EXPECT_EQ(gsqlite3.sqlite3_open, nullptr);
}

TEST_F(Sqlite3Binding, RefusesALibraryWithoutCloseV2AndNamesIt) {
    morvex::UiError error;
    EXPECT_EQ(SQLITE3_LoadDLL(nullptr, SQLITE3_STUB_PATH, &error), nullptr);
    EXPECT_FALSE(SQLITE3_IsBound());
    EXPECT_TRUE(port.messages.empty());  // the caller shows what went wrong
    EXPECT_EQ(error.title + "|" + error.text,
              "SQLITE3_LoadDLL|Impossible de lier la procédure 'sqlite3_close_v2'");
}

TEST_F(Sqlite3Binding, ReportsALibraryThatCannotBeLoaded) {
    morvex::UiError error;
    EXPECT_EQ(SQLITE3_LoadDLL(nullptr, "/nonexistent/libsqlite3-absent.so", &error), nullptr);
    EXPECT_FALSE(SQLITE3_IsBound());
    EXPECT_TRUE(port.messages.empty());
    EXPECT_EQ(error.title + "|" + error.text,
              "ARC_chargerDLL|Impossible de charger la dll '/nonexistent/libsqlite3-absent.so'");
    morvex::showError(error);  // as a front end does
    ASSERT_EQ(port.messages.size(), 1u);
    EXPECT_EQ(port.messages[0], error.title + "|" + error.text);
}

TEST_F(Sqlite3Binding, AFailedLoadKeepsTheLibraryAlreadyBound) {
    void* handle = SQLITE3_LoadDLL(nullptr);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(SQLITE3_LoadDLL(nullptr, SQLITE3_STUB_PATH), nullptr);
    EXPECT_TRUE(SQLITE3_IsBound());
    EXPECT_NE(gsqlite3.sqlite3_close_v2, nullptr);
    SQLITE3_LibererDLL(handle);
    EXPECT_EQ(SQLITE3_LibererDLL(nullptr), 0);
}

}  // namespace
