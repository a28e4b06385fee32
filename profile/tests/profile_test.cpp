// The profile's figures against Python's over real and generated files, the HTML report in a
// real browser, and a profile stopped on request.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <regex>
#include <sstream>
#include <string>

#include "filedesc/filedesc.h"
#include "profile/profile.h"
#include "profile/profilereport.h"

namespace fs = std::filesystem;

namespace {

struct CommandRun {
    int status = -1;
    std::string out;
};

// Runs a shell command line (every argument quoted by the caller), its standard output kept.
CommandRun run(const std::string& command) {
    CommandRun r;
    FILE* p = popen(command.c_str(), "r");
    if (p == nullptr) return r;
    std::array<char, 65536> buffer{};
    size_t n = 0;
    while ((n = fread(buffer.data(), 1, buffer.size(), p)) > 0) r.out.append(buffer.data(), n);
    const int status = pclose(p);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

size_t countOf(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

class TempDir {
public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "profile-XXXXXX").string();
        path_ = mkdtemp(pattern.data()) != nullptr ? fs::path(pattern) : fs::path();
        // The programs run here keep their settings in it.
        if (!path_.empty()) setenv("MORVEX_CONFIG_DIR", (path_ / "config").c_str(), 1);
    }
    ~TempDir() {
        std::error_code ignored;
        if (!path_.empty()) fs::remove_all(path_, ignored);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

const std::string kSource = MORVEX_SOURCE_DIR_PATH;

class ProfileAgainstPython : public ::testing::TestWithParam<const char*> {};

TEST_P(ProfileAgainstPython, GivesTheFiguresPythonComputes) {
    TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    const CommandRun r = run("/usr/bin/python3 '" + kSource + "/profile/tests/crosscheck.py' '" +
                      MORVEXCLI_PATH + "' '" + dir.path().string() + "' " + GetParam() + " 2>&1");
    EXPECT_EQ(r.status, 0) << r.out;
}

INSTANTIATE_TEST_SUITE_P(Files, ProfileAgainstPython,
                         ::testing::Values("debian", "ubuntu", "generated"));

// A description of the file the report test profiles: a text column whose values try to end
// the report's markup, a number and a date column.
const char* kHostileFyk =
    "BEGIN MorvexFylatek\r\n\tFILEVERSION=1.4\r\n\tBEGIN File\r\n\t\tINDFINDELIGNE=\\n\r\n"
    "\t\tTABLENAME=<script>alert(1)</script>\r\n\t\tTYPESTRUCTFILE=2\r\n"
    "\t\tFIRSTLINEISHEADER=1\r\n\t\tFIELDDELIMITER=;\r\n"
    "\t\tBEGIN Column\r\n\t\t\tPOSITION=0\r\n\t\t\tNAME=nom</h2><img src=x onerror=alert(2)>\r\n"
    "\t\t\tLARGEUR=40\r\n\t\t\tTYPE_CIBLE=5\r\n\t\t\tFMT_CIBLE=40\r\n\t\tEND Column\r\n"
    "\t\tBEGIN Column\r\n\t\t\tPOSITION=1\r\n\t\t\tNAME=montant\r\n\t\t\tLARGEUR=12\r\n"
    "\t\t\tTYPE_CIBLE=1\r\n\t\t\tFMT_CIBLE=10,2\r\n\t\tEND Column\r\n"
    "\t\tBEGIN Column\r\n\t\t\tPOSITION=2\r\n\t\t\tNAME=jour\r\n\t\t\tLARGEUR=10\r\n"
    "\t\t\tTYPE_CIBLE=2\r\n\t\t\tFMT_CIBLE=jj/mm/aaaa\r\n\t\tEND Column\r\n"
    "\t\tBEGIN Column\r\n\t\t\tPOSITION=3\r\n\t\t\tNAME=vide\r\n\t\t\tLARGEUR=10\r\n"
    "\t\t\tTYPE_CIBLE=0\r\n\t\t\tFMT_CIBLE=10\r\n\t\tEND Column\r\n"
    "\tEND File\r\nEND MorvexFylatek";

void writeHostileFiles(const fs::path& dir, int rows) {
    std::ofstream(dir / "hostile.fyk", std::ios::binary) << kHostileFyk;
    std::ofstream data(dir / "hostile.txt", std::ios::binary);
    data << "nom;montant;jour;vide\n";
    const char* names[] = {"</td></tr></table><script>alert(3)</script>", "Zoé & \"Léa\"",
                           "<style>body{display:none}</style>", "\xff\xfe invalide",
                           "]]><!--", "ordinaire"};
    for (int i = 0; i < rows; ++i)
        data << names[i % 6] << ";" << (i * 37 % 1000) << "," << (i % 100) << ";" << std::setfill('0') << std::setw(2) << (1 + i % 28)
             << "/" << std::setw(2) << (1 + i % 12) << "/" << (1990 + i % 30) << ";\n";
    data << "ordinaire;pas un nombre;31/02/2020;\n";
}

// The report opened by headless Chromium: no console error, no script, one section and one
// chart per column, the hostile texts shown as text.
TEST(ProfileReport, LoadsInChromiumWithoutErrorsAndShowsOneChartPerColumn) {
    TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    writeHostileFiles(dir.path(), 500);
    const fs::path report = dir.path() / "rapport.html";
    const std::string q = "'";
    const CommandRun made = run(std::string(MORVEXCLI_PATH) + " --log " + q +
                         (dir.path() / "cli.log").string() + q + " profile " + q +
                         (dir.path() / "hostile.fyk").string() + q + " --data " + q +
                         (dir.path() / "hostile.txt").string() + q + " --html " + q +
                         report.string() + q + " 2>&1");
    ASSERT_EQ(made.status, 0) << made.out;
    const std::string html = readAll(report);
    EXPECT_EQ(countOf(html, "<script"), 0u);
    EXPECT_EQ(countOf(html, "<img"), 0u);

    ASSERT_EQ(access("/usr/bin/chromium", X_OK), 0) << "chromium is absent (tools/install-deps.sh)";
    const fs::path profileDir = dir.path() / "chromium";
    const CommandRun browser =
        run("HOME=" + q + dir.path().string() + q +
            " /usr/bin/chromium --headless --disable-gpu --no-sandbox --no-first-run "
            "--disable-extensions --enable-logging=stderr --v=0 --user-data-dir=" + q +
            profileDir.string() + q + " --dump-dom " + q + "file://" + report.string() + q +
            " 2>" + q + (dir.path() / "console.txt").string() + q);
    ASSERT_EQ(browser.status, 0) << readAll(dir.path() / "console.txt");
    const std::string dom = browser.out;
    const std::string console = readAll(dir.path() / "console.txt");
    // Chromium writes the page's console messages as "CONSOLE(line)" lines.
    EXPECT_EQ(countOf(console, "CONSOLE"), 0u) << console;
    EXPECT_EQ(countOf(dom, "<section class=\"column\""), 4u) << dom.substr(0, 2000);
    EXPECT_EQ(countOf(dom, "<svg class=\"chart\""), 4u);
    EXPECT_EQ(countOf(dom, "<script"), 0u);
    EXPECT_NE(dom.find("&lt;script&gt;alert(3)&lt;/script&gt;"), std::string::npos);
    EXPECT_NE(dom.find("Profil des colonnes : &lt;script&gt;alert(1)&lt;/script&gt;"),
              std::string::npos);
    // The invalid bytes became replacement characters, the misfits their examples.
    EXPECT_NE(dom.find("\xEF\xBF\xBD\xEF\xBF\xBD invalide"), std::string::npos);
    EXPECT_NE(dom.find("31/02/2020"), std::string::npos);
    EXPECT_NE(dom.find("pas un nombre"), std::string::npos);
}

// The report never replaces the files it reports on: the data file read (given or the
// description's example file) and the description.
TEST(ProfileCommand, RefusesToWriteTheReportOverItsInputs) {
    TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    writeHostileFiles(dir.path(), 20);
    const std::string desc = (dir.path() / "hostile.fyk").string();
    const std::string data = (dir.path() / "hostile.txt").string();
    const std::string before = readAll(data);
    for (const std::string& target : {data, desc, (dir.path() / "." / "hostile.txt").string()}) {
        const CommandRun r = run(std::string(MORVEXCLI_PATH) + " --log '" +
                                 (dir.path() / "cli.log").string() + "' profile '" + desc +
                                 "' --data '" + data + "' --html '" + target + "' 2>&1");
        EXPECT_EQ(r.status, 1) << target << "\n" << r.out;
        EXPECT_NE(r.out.find("remplacer"), std::string::npos) << r.out;
    }
    EXPECT_EQ(readAll(data), before);
    EXPECT_NE(readAll(desc).find("BEGIN MorvexFylatek"), std::string::npos);
}

// The sample report shipped in examples/ is the one the program makes today.
TEST(ProfileReport, SampleInExamplesIsCurrent) {
    TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    const fs::path made = dir.path() / "clients-profil.html";
    const CommandRun r = run("cd '" + kSource + "/examples' && " + MORVEXCLI_PATH + " --log '" +
                             (dir.path() / "cli.log").string() +
                             "' profile clients.fyk --data clients.csv --html '" + made.string() +
                             "' 2>&1");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(readAll(made), readAll(kSource + "/examples/clients-profil.html"))
        << "examples/clients-profil.html: made again by `morvexcli profile clients.fyk --data "
           "clients.csv --html clients-profil.html` in examples/";
}

// A file of many columns: every column's tables start small, so that 3 000 columns of a few
// values each stay far below the memory of one varied column per column.
TEST(ProfileCompute, ManyColumnsStayInLittleMemory) {
    TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    constexpr int kColumns = 3000;
    std::string fyk =
        "BEGIN MorvexFylatek\r\n\tFILEVERSION=1.4\r\n\tBEGIN File\r\n\t\tINDFINDELIGNE=\\n\r\n"
        "\t\tTABLENAME=large\r\n\t\tTYPESTRUCTFILE=2\r\n\t\tFIRSTLINEISHEADER=0\r\n"
        "\t\tFIELDDELIMITER=;\r\n";
    for (int c = 0; c < kColumns; ++c)
        fyk += "\t\tBEGIN Column\r\n\t\t\tPOSITION=" + std::to_string(c) + "\r\n\t\t\tNAME=c" +
               std::to_string(c) + "\r\n\t\t\tLARGEUR=10\r\n\t\t\tTYPE_CIBLE=" +
               std::to_string(c % 2 == 0 ? 0 : 5) + "\r\n\t\t\tFMT_CIBLE=10\r\n\t\tEND Column\r\n";
    fyk += "\tEND File\r\nEND MorvexFylatek";
    std::ofstream(dir.path() / "large.fyk", std::ios::binary) << fyk;
    {
        std::ofstream data(dir.path() / "large.txt", std::ios::binary);
        for (int r = 0; r < 40; ++r) {
            for (int c = 0; c < kColumns; ++c) data << (c ? ";" : "") << (r * 7 + c) % 13;
            data << "\n";
        }
    }
    // The peak resident memory of morvexcli profile, in KiB, as its parent sees it.
    const std::string script =
        "import resource, subprocess, sys\n"
        "r = subprocess.run(sys.argv[1:], stdout=subprocess.DEVNULL)\n"
        "print(r.returncode, resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)\n";
    std::ofstream(dir.path() / "peak.py", std::ios::binary) << script;
    const CommandRun r = run("/usr/bin/python3 '" + (dir.path() / "peak.py").string() + "' " +
                             MORVEXCLI_PATH + " --log '" + (dir.path() / "cli.log").string() +
                             "' profile '" + (dir.path() / "large.fyk").string() + "' --data '" +
                             (dir.path() / "large.txt").string() + "'");
    int status = -1;
    long peakKiB = 0;
    ASSERT_EQ(sscanf(r.out.c_str(), "%d %ld", &status, &peakKiB), 2) << r.out;
    EXPECT_EQ(status, 0);
    // Under AddressSanitizer the program's shadow memory and freed-block quarantine count too:
    // the bound is four times larger there, still far under the 800 MB that tables allocated
    // whole for every column took.
#if defined(__SANITIZE_ADDRESS__)
    const long boundKiB = 4 * 64 * 1024;
#else
    const long boundKiB = 64 * 1024;
#endif
    EXPECT_LT(peakKiB, boundKiB) << "KiB at the peak for " << kColumns << " columns";
}

// A stop asked before the first row ends the profile as interrupted, counts kept so far.
TEST(ProfileCompute, StopsOnRequestAndSaysSo) {
    TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    writeHostileFiles(dir.path(), 50);
    std::string error;
    FileDesc* desc = FILEDESC_OpenFileDesc((dir.path() / "hostile.fyk").string().c_str(), &error);
    ASSERT_NE(desc, nullptr) << error;
    TASK* task = TASK_Create("profil", nullptr, nullptr);
    TASK_RequestStop(task);
    morvex::FileProfile profile;
    const std::string data = (dir.path() / "hostile.txt").string();
    EXPECT_FALSE(morvex::PROFILE_Compute(task, desc, data.c_str(), &profile));
    EXPECT_FALSE(profile.complete);
    EXPECT_EQ(profile.failure, "Tâche interrompue par l'utilisateur.");
    EXPECT_EQ(profile.rows, 0);
    TASK_Destroy(task);
    ASSERT_TRUE(morvex::PROFILE_Compute(nullptr, desc, data.c_str(), &profile));
    EXPECT_EQ(profile.rows, 51);
    ASSERT_EQ(profile.columns.size(), 4u);
    EXPECT_EQ(profile.columns[1].misfits, 1);
    EXPECT_EQ(profile.columns[2].misfits, 1);
    EXPECT_EQ(profile.columns[3].empty, 51);
    EXPECT_EQ(profile.columns[3].distinct, 0);
    FILEDESC_CloseFileDesc(desc);
}

}  // namespace
