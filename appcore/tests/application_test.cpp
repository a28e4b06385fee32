#include "appcore/application.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <utility>

#include "appcore/foldersettings.h"
#include "foundation/registry.h"
#include "foundation/trace.h"
#include "foundation/uiport.h"
#include "foundation/testing/files.h"

namespace fs = std::filesystem;

namespace {

const char kDefaultTrace[] =
    "\n[APPLICATION_LoadRegister] logsDirectory non renseigné : valeur par défaut définie.";

using morvex::testing::readFile;

void writeAll(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out << text;
}

// Records every message box instead of showing it.
class RecordingPort : public morvex::HeadlessUiPort {
public:
    morvex::UiAnswer messageBox(const std::string& caption, const std::string& text,
                                morvex::UiButtons, morvex::UiIcon) override {
        boxes.push_back(caption + " | " + text);
        return morvex::UiAnswer::Ok;
    }
    std::vector<std::string> boxes;
};

int hookCalls = 0;
void* hookWindow = nullptr;
void recordFirstRun(void* window) {
    ++hookCalls;
    hookWindow = window;
}

// Every test gets its own settings folder (MORVEX_CONFIG_DIR), temporary folder (TMPDIR) and
// state folder (XDG_STATE_HOME, not created: the default logs folder is made with its parents).
class Application : public testing::Test {
protected:
    void SetUp() override {
        static int counter = 0;
        dir_ = fs::path(testing::TempDir()) /
               ("application_test_" + std::to_string(getpid()) + "_" + std::to_string(++counter));
        fs::remove_all(dir_);
        fs::create_directories(dir_ / "tmp");
        setenv("MORVEX_CONFIG_DIR", dir_.c_str(), 1);
        const char* tmp = getenv("TMPDIR");
        hadTmp_ = tmp != nullptr;
        if (tmp) savedTmp_ = tmp;
        setenv("TMPDIR", (dir_ / "tmp/").c_str(), 1);  // with a trailing "/" on purpose
        const char* state = getenv("XDG_STATE_HOME");
        hadState_ = state != nullptr;
        if (state) savedState_ = state;
        setenv("XDG_STATE_HOME", (dir_ / "state").c_str(), 1);
        morvex::setUiPort(&port_);
        hookCalls = 0;
        hookWindow = nullptr;
        APPLICATION_SetFirstRunHook(recordFirstRun);
        ctx_ = std::make_unique<CONTEXTE>();
        memset(ctx_.get(), 0, sizeof(CONTEXTE));
    }
    void TearDown() override {
        APPLICATION_SetFirstRunHook(nullptr);
        morvex::setUiPort(nullptr);
        REG_fermerAcces();
        unsetenv("MORVEX_CONFIG_DIR");
        if (hadTmp_)
            setenv("TMPDIR", savedTmp_.c_str(), 1);
        else
            unsetenv("TMPDIR");
        if (hadState_)
            setenv("XDG_STATE_HOME", savedState_.c_str(), 1);
        else
            unsetenv("XDG_STATE_HOME");
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    fs::path file() const { return dir_ / "MorvexFylatek.ini"; }
    // The default logs folder under the test's XDG_STATE_HOME.
    std::string logsDir() const { return (dir_ / "state" / "MorvexFylatek").string(); }
    // Writes the settings section with the given lines.
    void writeSettings(const std::string& lines) {
        writeAll(file(), "[Software\\MorvexFylatek]\n" + lines);
    }

    fs::path dir_;
    bool hadTmp_ = false;
    std::string savedTmp_;
    bool hadState_ = false;
    std::string savedState_;
    RecordingPort port_;
    std::unique_ptr<CONTEXTE> ctx_;
};

}  // namespace

TEST_F(Application, FirstRunWritesTheTwentyValuesAndReadsThemBack) {
    int window = 0;
    morvex::TraceCapture trace;
    EXPECT_EQ(APPLICATION_LoadRegister(&window, ctx_.get()), 0);
    EXPECT_EQ(hookCalls, 1);
    EXPECT_EQ(hookWindow, &window);

    std::regex expected(
        "\\[Software\\\\MorvexFylatek\\]\n"
        "Version=1\\.4\nBuild=5697\n"
        "DateCompilation=[A-Z][a-z]{2} [ 1-3][0-9] [0-9]{4}\n"
        "HeureCompilation=[0-2][0-9]:[0-5][0-9]:[0-6][0-9]\n"
        "PremiereUtilisation=1\nShowHelpFrame=1\nShowResultView=1\n"
        "FileAnalyseMaxRows=1000\nnCarMaxReadWithoutNewLine=5000\nsqliteBatchSize=1000\n"
        "FormatLibrary=\nTemplateLibrary=\nGenTargetDirectory=\nBinariesDirectory=\n"
        "ToolsDirectory=\nLibrariesDirectory=\nDictionnariesDirectory=\nDatabasesDirectory=\n"
        "LogsDirectory=\nScriptsDirectory=\n");
    std::string text = readFile(file());
    EXPECT_TRUE(std::regex_match(text, expected)) << text;

    EXPECT_EQ(ctx_->showHelpFrame, 1);
    EXPECT_EQ(ctx_->showResultView, 1);
    EXPECT_EQ(ctx_->fileAnalyseMaxRows, 1000u);
    EXPECT_EQ(ctx_->nCarMaxReadWithoutNewLine, 5000u);
    EXPECT_EQ(ctx_->sqliteBatchSize, 1000u);
    EXPECT_STREQ(ctx_->formatLibrary, "");
    EXPECT_STREQ(ctx_->scriptsDirectory, "");
    EXPECT_EQ(ctx_->logsDirectory, logsDir());
    EXPECT_EQ(trace.text(), kDefaultTrace);
    EXPECT_TRUE(port_.boxes.empty());

    // A later start only reads.
    EXPECT_EQ(APPLICATION_LoadRegister(&window, ctx_.get()), 0);
    EXPECT_EQ(hookCalls, 1);
    EXPECT_EQ(readFile(file()), text);
}

TEST_F(Application, NumbersFollowAtoiAndFallBackToTheirDefaults) {
    struct Case {
        const char* text;
        unsigned int rows;   // FileAnalyseMaxRows (default 1000)
        unsigned int chars;  // nCarMaxReadWithoutNewLine (default 5000)
        int showHelpFrame;   // no default
    };
    const Case cases[] = {
        {"0", 1000, 5000, 0},
        {"abc", 1000, 5000, 0},
        {"", 1000, 5000, 0},
        {"250", 250, 250, 250},
        {" 42abc", 42, 42, 42},
        {"1", 1, 1, 1},
        {"-5", 1000, 5000, -5},  // a negative limit is no limit: default
        {"99999999999", 2147483647u, 2147483647u, 2147483647},
    };
    for (const Case& c : cases) {
        std::string v = c.text;
        writeSettings("ShowHelpFrame=" + v + "\nFileAnalyseMaxRows=" + v +
                      "\nnCarMaxReadWithoutNewLine=" + v + "\nsqliteBatchSize=" + v +
                      "\nLogsDirectory=/logs\n");
        memset(ctx_.get(), 0, sizeof(CONTEXTE));
        ASSERT_EQ(APPLICATION_LoadRegister(nullptr, ctx_.get()), 0);
        EXPECT_EQ(ctx_->fileAnalyseMaxRows, c.rows) << c.text;
        EXPECT_EQ(ctx_->sqliteBatchSize, c.rows) << c.text;
        EXPECT_EQ(ctx_->nCarMaxReadWithoutNewLine, c.chars) << c.text;
        EXPECT_EQ(ctx_->showHelpFrame, c.showHelpFrame) << c.text;
        EXPECT_EQ(ctx_->showResultView, 1) << c.text;  // missing: the previews are shown
    }
    EXPECT_EQ(hookCalls, 0);
}

TEST_F(Application, EmptyLogsDirectoryMeansAPrivateStateFolderWithATraceLine) {
    writeSettings("LogsDirectory=\n");
    morvex::TraceCapture trace;
    ASSERT_EQ(APPLICATION_LoadRegister(nullptr, ctx_.get()), 0);
    EXPECT_EQ(trace.text(), kDefaultTrace);
    EXPECT_EQ(ctx_->logsDirectory, logsDir());
    struct stat st;
    ASSERT_EQ(stat(logsDir().c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(morvex::logFilePath(*ctx_), logsDir() + "/MorvexFylatek.log");
    EXPECT_EQ(morvex::memoryReportPath(*ctx_), logsDir() + "/MorvexFylatek.AllocMem.txt");

    trace.clear();
    writeSettings("LogsDirectory=/var/log/morvex\n");
    memset(ctx_.get(), 0, sizeof(CONTEXTE));
    ASSERT_EQ(APPLICATION_LoadRegister(nullptr, ctx_.get()), 0);
    EXPECT_EQ(trace.text(), "");
    EXPECT_STREQ(ctx_->logsDirectory, "/var/log/morvex");
}

TEST_F(Application, LogAndReportPathsJoinWithOneSlash) {
    struct Case {
        const char* directory;
        std::string log;
    };
    const Case cases[] = {
        {"/var/log", "/var/log/MorvexFylatek.log"},
        {"/var/log//", "/var/log/MorvexFylatek.log"},
        {"/", "/MorvexFylatek.log"},
        {"relative dir", "relative dir/MorvexFylatek.log"},
        {"", logsDir() + "/MorvexFylatek.log"},
    };
    for (const Case& c : cases) {
        strcpy(ctx_->logsDirectory, c.directory);
        EXPECT_EQ(morvex::logFilePath(*ctx_), c.log) << c.directory;
    }
    strcpy(ctx_->logsDirectory, "/l");
    EXPECT_EQ(morvex::memoryReportPath(*ctx_), "/l/MorvexFylatek.AllocMem.txt");
}

TEST_F(Application, UpdateThenLoadGivesBackEveryDirectoryAndLimit) {
    writeAll(file(), "[Other]\nkeep=me\n\n[Software\\MorvexFylatek]\nVersion=1.4\nForeign=x\n");
    strcpy(ctx_->formatLibrary, "/data/formats");
    strcpy(ctx_->templateLibrary, "/data/tpl=templates");
    strcpy(ctx_->genTargetDirectory, " /data/gen with blanks ");
    strcpy(ctx_->toolsDirectory, "C:\\Outils\\");
    strcpy(ctx_->binariesDirectory, "/opt/morvex/bin");
    strcpy(ctx_->librariesDirectory, "/data/[libs];");
    strcpy(ctx_->dictionnariesDirectory, "/data/dictionnaires é");
    strcpy(ctx_->databasesDirectory, "/data/bases%0A");
    strcpy(ctx_->logsDirectory, "/var/log/morvex");
    strcpy(ctx_->scriptsDirectory, "/data/scripts");
    ctx_->fileAnalyseMaxRows = 77;
    ctx_->nCarMaxReadWithoutNewLine = 88;
    ctx_->sqliteBatchSize = 99;
    CONTEXTE saved = *ctx_;
    ASSERT_EQ(APPLICATION_UpdateRegister(nullptr, ctx_.get()), 0);
    EXPECT_TRUE(port_.boxes.empty());

    memset(ctx_.get(), 0, sizeof(CONTEXTE));
    ASSERT_EQ(APPLICATION_LoadRegister(nullptr, ctx_.get()), 0);
    for (auto field :
         {&CONTEXTE::formatLibrary, &CONTEXTE::templateLibrary, &CONTEXTE::genTargetDirectory,
          &CONTEXTE::toolsDirectory, &CONTEXTE::binariesDirectory, &CONTEXTE::librariesDirectory,
          &CONTEXTE::dictionnariesDirectory, &CONTEXTE::databasesDirectory,
          &CONTEXTE::logsDirectory, &CONTEXTE::scriptsDirectory})
        EXPECT_STREQ((*ctx_).*field, saved.*field);
    EXPECT_EQ(ctx_->fileAnalyseMaxRows, 77u);
    EXPECT_EQ(ctx_->nCarMaxReadWithoutNewLine, 88u);
    EXPECT_EQ(ctx_->sqliteBatchSize, 99u);

    // The saved order, and the values this program does not know, are kept.
    std::string text = readFile(file());
    EXPECT_EQ(text.find("[Other]\nkeep=me\n"), 0u);
    EXPECT_NE(text.find("Version=1.4\nForeign=x\nFormatLibrary=/data/formats\n"
                        "TemplateLibrary=/data/tpl=templates\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("ScriptsDirectory=/data/scripts\nFileAnalyseMaxRows=77\n"
                        "nCarMaxReadWithoutNewLine=88\nsqliteBatchSize=99\n"),
              std::string::npos)
        << text;
}

TEST_F(Application, SavingBeforeTheFirstReadStillReadsBackAsDefaults) {
    // The Options dialog applied at first run saves a context that holds only its three fields.
    strcpy(ctx_->formatLibrary, "/f");
    strcpy(ctx_->templateLibrary, "/t");
    strcpy(ctx_->genTargetDirectory, "/g");
    ASSERT_EQ(APPLICATION_UpdateRegister(nullptr, ctx_.get()), 0);
    std::string text = readFile(file());
    EXPECT_NE(text.find("FileAnalyseMaxRows=0\nnCarMaxReadWithoutNewLine=0\nsqliteBatchSize=0\n"),
              std::string::npos);
    EXPECT_NE(text.find("LogsDirectory=\n"), std::string::npos);

    memset(ctx_.get(), 0, sizeof(CONTEXTE));
    ASSERT_EQ(APPLICATION_LoadRegister(nullptr, ctx_.get()), 0);
    EXPECT_EQ(hookCalls, 0);  // the key already existed
    EXPECT_STREQ(ctx_->formatLibrary, "/f");
    EXPECT_EQ(ctx_->fileAnalyseMaxRows, 1000u);
    EXPECT_EQ(ctx_->nCarMaxReadWithoutNewLine, 5000u);
    EXPECT_EQ(ctx_->sqliteBatchSize, 1000u);
    EXPECT_EQ(ctx_->logsDirectory, logsDir());
}

TEST_F(Application, LongDirectoriesAreCutToTheFieldWithoutSplittingACharacter) {
    std::string ascii(300, 'a');
    std::string accented = std::string(259, 'b') + "é/rest";  // é straddles the 260th byte
    writeSettings("FormatLibrary=" + ascii + "\nTemplateLibrary=" + accented +
                  "\nLogsDirectory=" + ascii + "\n");
    ASSERT_EQ(APPLICATION_LoadRegister(nullptr, ctx_.get()), 0);
    EXPECT_EQ(std::string(ctx_->formatLibrary), std::string(260, 'a'));
    EXPECT_EQ(std::string(ctx_->templateLibrary), std::string(259, 'b'));
    EXPECT_EQ(strlen(ctx_->logsDirectory), 260u);

    // A field a caller left unterminated is saved without reading past it.
    memset(ctx_->scriptsDirectory, 's', sizeof ctx_->scriptsDirectory);
    ASSERT_EQ(APPLICATION_UpdateRegister(nullptr, ctx_.get()), 0);
    memset(ctx_.get(), 0, sizeof(CONTEXTE));
    ASSERT_EQ(APPLICATION_LoadRegister(nullptr, ctx_.get()), 0);
    EXPECT_EQ(std::string(ctx_->scriptsDirectory), std::string(260, 's'));
}

TEST_F(Application, MissingArgumentsGiveTheFailureValues) {
    EXPECT_EQ(APPLICATION_LoadRegister(nullptr, nullptr), -1);
    EXPECT_EQ(APPLICATION_UpdateRegister(nullptr, nullptr), 1);
    EXPECT_EQ(RegistreInsertStrValue(nullptr, "x", "y"), 1);
    EXPECT_EQ(APPLICATION_InitContext(nullptr, nullptr), 1);
    APPLICATION_ReleaseContext(nullptr);
    EXPECT_FALSE(fs::exists(file()));
}

TEST_F(Application, UnwritableSettingsAreReportedAndTheLimitsStillGetDefaults) {
    writeAll(dir_ / "plainfile", "x");
    setenv("MORVEX_CONFIG_DIR", (dir_ / "plainfile" / "cfg").c_str(), 1);
    morvex::TraceCapture trace;
    EXPECT_EQ(APPLICATION_LoadRegister(nullptr, ctx_.get()), 0);
    EXPECT_EQ(port_.boxes,
              std::vector<std::string>{
                  "Morvex Fylatek : Erreur Grave | Could not create the registry key."});
    EXPECT_EQ(hookCalls, 0);
    EXPECT_EQ(ctx_->fileAnalyseMaxRows, 1000u);
    EXPECT_EQ(ctx_->nCarMaxReadWithoutNewLine, 5000u);
    EXPECT_EQ(ctx_->sqliteBatchSize, 1000u);
    EXPECT_EQ(ctx_->logsDirectory, logsDir());
    EXPECT_EQ(trace.text(), kDefaultTrace);

    port_.boxes.clear();
    EXPECT_EQ(APPLICATION_UpdateRegister(nullptr, ctx_.get()), -1);
    EXPECT_EQ(port_.boxes,
              std::vector<std::string>{
                  "Software\\MorvexFylatek : Erreur Grave | Could not open the registry."});

    trace.clear();
    EXPECT_FALSE(APPLICATION_InitRegister(nullptr));
    EXPECT_EQ(trace.text(), "\nErreur à l'ouverture du registre");
}

TEST_F(Application, SettingsThatCannotBeOpenedForReadingGiveMinusOne) {
    writeSettings("FileAnalyseMaxRows=10\n");
    // Another part of the program holds the one process-wide key.
    ASSERT_EQ(REG_ouvrirAcces("Elsewhere", REG_KEY_READ, nullptr), 1);
    EXPECT_EQ(APPLICATION_LoadRegister(nullptr, ctx_.get()), -1);
    EXPECT_EQ(port_.boxes, std::vector<std::string>{
                               "Morvex Fylatek : Erreur Grave | Could not open the registry."});
    EXPECT_EQ(ctx_->fileAnalyseMaxRows, 1000u);
    REG_fermerAcces();
    EXPECT_EQ(APPLICATION_LoadRegister(nullptr, ctx_.get()), 0);
    EXPECT_EQ(ctx_->fileAnalyseMaxRows, 10u);
}

TEST_F(Application, TheLockWaitOfALoadComesFromTheSettingsWithTenSecondsByDefault) {
    for (const auto& [text, expected] :
         {std::pair<std::string, unsigned>{"sqliteBusyTimeout=2500\n", 2500u},
          {"sqliteBusyTimeout=0\n", 10000u},
          {"", 10000u}}) {
        writeSettings(text + "LogsDirectory=/logs\n");
        memset(ctx_.get(), 0, sizeof(CONTEXTE));
        ASSERT_EQ(APPLICATION_LoadRegister(nullptr, ctx_.get()), 0);
        EXPECT_EQ(ctx_->sqliteBusyTimeout, expected) << text;
    }
}

TEST_F(Application, InitContextPreparesTheContextAndReleaseClosesOpenDescriptions) {
    writeSettings("sqliteBatchSize=500\n");
    int window = 0;
    ASSERT_EQ(APPLICATION_InitContext(&window, &gcontexte), 0);
    EXPECT_EQ(gcontexte.hwndMain, &window);
    EXPECT_EQ(gcontexte.helpFrameTop, 30);
    EXPECT_EQ(gcontexte.helpFrameWidth, 190);
    ASSERT_NE(gcontexte.openFiles, nullptr);
    EXPECT_EQ(LDCG_Count(gcontexte.openFiles), 0);
    ASSERT_NE(gcontexte.processes, nullptr);
    EXPECT_EQ(gcontexte.currentFile, nullptr);
    EXPECT_EQ(gcontexte.sqliteBatchSize, 500u);

    FileDesc* desc = FILEDESC_CreateFileDesc("Nouveau", nullptr, 2, "\\r\\n", ";");
    ASSERT_NE(desc, nullptr);
    LDCG_Add(gcontexte.openFiles, desc, nullptr);
    gcontexte.currentFile = desc;
    APPLICATION_ReleaseContext(&gcontexte);
    EXPECT_EQ(gcontexte.openFiles, nullptr);
    EXPECT_EQ(gcontexte.processes, nullptr);
    EXPECT_EQ(gcontexte.currentFile, nullptr);
}

TEST_F(Application, HiddenPreviewsStayHiddenAtTheNextStartAndShownIsTheDefault) {
    writeSettings("LogsDirectory=/logs\n");
    ASSERT_EQ(APPLICATION_LoadRegister(nullptr, ctx_.get()), 0);
    EXPECT_EQ(ctx_->showResultView, 1);
    EXPECT_EQ(APPLICATION_SaveShowResultView(ctx_.get(), 0), 0);
    // Saving the other settings (the Options sheet, the exit) leaves the choice as it is.
    ASSERT_EQ(APPLICATION_UpdateRegister(nullptr, ctx_.get()), 0);
    memset(ctx_.get(), 0, sizeof(CONTEXTE));
    ASSERT_EQ(APPLICATION_LoadRegister(nullptr, ctx_.get()), 0);
    EXPECT_EQ(ctx_->showResultView, 0);
    EXPECT_EQ(APPLICATION_SaveShowResultView(ctx_.get(), 1), 0);
    memset(ctx_.get(), 0, sizeof(CONTEXTE));
    ASSERT_EQ(APPLICATION_LoadRegister(nullptr, ctx_.get()), 0);
    EXPECT_EQ(ctx_->showResultView, 1);
}

TEST_F(Application, TheOptionsListEveryFolderTheProgramsReadWithWhatAnEmptyOneStandsFor) {
    strcpy(ctx_->databasesDirectory, "/srv/bases");
    const std::vector<APPLICATION_FOLDER> folders = APPLICATION_Folders(ctx_.get());
    std::vector<std::string> labels;
    for (const APPLICATION_FOLDER& f : folders) {
        labels.push_back(f.label);
        EXPECT_FALSE(f.effective.empty()) << f.label;
    }
    EXPECT_EQ(labels, (std::vector<std::string>{
                          "Formats : ", "Templates : ", "Bibliothèques :", "Fichiers générés :",
                          "Bases de données :", "Dictionnaires :", "Journaux :"}));
    EXPECT_EQ(folders[4].value, ctx_->databasesDirectory);
    EXPECT_STREQ(folders[4].value, "/srv/bases");
    EXPECT_EQ(folders[1].value, ctx_->templateLibrary);
    EXPECT_EQ(folders[2].value, ctx_->librariesDirectory);
    EXPECT_EQ(folders[6].effective, morvex::traceDefaultDirectory());
    EXPECT_EQ(APPLICATION_Folders(nullptr).size(), 0u);
}
