#include "foundation/registry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "foundation/testing/files.h"
#include "foundation/trace.h"

namespace fs = std::filesystem;
using morvex::SettingsKey;

namespace {

using morvex::testing::readFile;

void writeAll(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out << text;
}

std::vector<std::string> folderEntries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Every test gets its own settings folder through MORVEX_CONFIG_DIR.
class Registry : public testing::Test {
protected:
    void SetUp() override {
        static int counter = 0;
        dir_ = fs::path(testing::TempDir()) /
               ("registry_test_" + std::to_string(getpid()) + "_" + std::to_string(++counter));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        setenv("MORVEX_CONFIG_DIR", dir_.c_str(), 1);
    }
    void TearDown() override {
        REG_fermerAcces();
        unsetenv("MORVEX_CONFIG_DIR");
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    fs::path file() const { return dir_ / "MorvexFylatek.ini"; }

    fs::path dir_;
};

int creationCalls = 0;
void countCreation() {
    ++creationCalls;
}
void writeDefaultInCallback() {
    REG_preserverChaine("Version", "1.4");
}

}  // namespace

TEST(SettingsFilePath, FollowsConfigDirThenXdgThenHome) {
    struct Case {
        const char* configDir;
        const char* xdg;
        const char* home;
        const char* expected;
    };
    const Case cases[] = {
        {"/opt/cfg", "/xdg", "/home/u", "/opt/cfg/MorvexFylatek.ini"},
        {"", "/xdg", "/home/u", "/xdg/MorvexFylatek/MorvexFylatek.ini"},
        {nullptr, "/xdg", "/home/u", "/xdg/MorvexFylatek/MorvexFylatek.ini"},
        {nullptr, nullptr, "/home/u", "/home/u/.config/MorvexFylatek/MorvexFylatek.ini"},
        {nullptr, "", "/home/u", "/home/u/.config/MorvexFylatek/MorvexFylatek.ini"},
        // A relative XDG_CONFIG_HOME is not valid and is ignored.
        {nullptr, "rel/dir", "/home/u", "/home/u/.config/MorvexFylatek/MorvexFylatek.ini"},
    };
    std::string savedHome = getenv("HOME") ? getenv("HOME") : "";
    std::string savedXdg = getenv("XDG_CONFIG_HOME") ? getenv("XDG_CONFIG_HOME") : "";
    bool hadXdg = getenv("XDG_CONFIG_HOME") != nullptr;
    for (const Case& c : cases) {
        auto put = [](const char* name, const char* value) {
            if (value)
                setenv(name, value, 1);
            else
                unsetenv(name);
        };
        put("MORVEX_CONFIG_DIR", c.configDir);
        put("XDG_CONFIG_HOME", c.xdg);
        put("HOME", c.home);
        EXPECT_EQ(morvex::settingsFilePath(), c.expected);
    }
    unsetenv("MORVEX_CONFIG_DIR");
    setenv("HOME", savedHome.c_str(), 1);
    if (hadXdg)
        setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
}

TEST_F(Registry, WritesOneSectionNamedByTheKeyPathWithPlainLines) {
    ASSERT_EQ(REG_ouvrirAcces("MorvexFylatek", REG_KEY_ALL_ACCESS, nullptr), 1);
    ASSERT_EQ(REG_preserverChaine("FormatLibrary", "C:\\Formats\\Banque"), 1);
    ASSERT_EQ(REG_preserverChaine("FileAnalyseMaxRows", "1000"), 1);
    EXPECT_EQ(
        readFile(file()),
        "[Software\\MorvexFylatek]\nFormatLibrary=C:\\Formats\\Banque\nFileAnalyseMaxRows=1000\n");
}

TEST_F(Registry, ValuesOfAnyTextSurviveTheFileUnchanged) {
    const std::string values[] = {
        "",
        "plain",
        "a=b=c",
        "C:\\dir\\sub\\",
        "\\\\server\\share",
        "[Software\\Other]",
        ";not a comment",
        "#nor this",
        "line1\nline2",
        "cr\r\nlf\r",
        "\n",
        "  leading blanks",
        "trailing blanks \t",
        " ",
        "inner  blanks\tand tab",
        "100%",
        "%",
        "%4",
        "%4G",
        "%0A literal escape",
        "%25",
        "%%0A%",
        "%i rows of %s",
        "UTF-8: éàç € 😀 日本",
        std::string("nul\0inside", 10),
        "\xff\xfe bytes",
    };
    auto key = SettingsKey::create("Software\\MorvexFylatek", REG_KEY_ALL_ACCESS);
    ASSERT_TRUE(key);
    for (size_t i = 0; i < std::size(values); ++i)
        ASSERT_TRUE(key->set("v" + std::to_string(i), values[i])) << i;
    // Each value took one line: a line break in a value did not create new entries.
    EXPECT_EQ(key->valueNames().size(), std::size(values));
    for (size_t i = 0; i < std::size(values); ++i) {
        auto read = key->get("v" + std::to_string(i));
        ASSERT_TRUE(read.has_value()) << i;
        EXPECT_EQ(*read, values[i]) << i;
        EXPECT_EQ(morvex::settingsDecodeValue(morvex::settingsEncodeValue(values[i])), values[i]);
    }
    // Backslashes, "=" and "%" that cannot be mistaken stay readable in the file.
    std::string text = readFile(file());
    EXPECT_NE(text.find("v3=C:\\dir\\sub\\\n"), std::string::npos);
    EXPECT_NE(text.find("v2=a=b=c\n"), std::string::npos);
    EXPECT_NE(text.find("v15=100%\n"), std::string::npos);
    EXPECT_NE(text.find("v8=line1%0Aline2\n"), std::string::npos);
}

TEST_F(Registry, ValueNamesOfAnyTextSurviveTheFile) {
    const std::string names[] = {"a=b",     "[bracket",    ";semi", "#hash",
                                 " blank ", "line\nbreak", "",      "Été"};
    auto key = SettingsKey::create("Software\\MorvexFylatek", REG_KEY_ALL_ACCESS);
    ASSERT_TRUE(key);
    for (const std::string& name : names) ASSERT_TRUE(key->set(name, "value of " + name));
    EXPECT_EQ(key->valueNames(), std::vector<std::string>(std::begin(names), std::end(names)));
    for (const std::string& name : names) EXPECT_EQ(key->get(name), "value of " + name);
}

TEST_F(Registry, RewritingKeepsOtherProgramsSectionsKeysAndComments) {
    writeAll(file(),
             "; written by hand\r\n"
             "[Other\\Program]\r\n"
             "Key = kept as written \r\n"
             "\r\n"
             "[Software\\MorvexFylatek]\r\n"
             "Foreign=1\r\n"
             "FormatLibrary=old\r\n"
             "\r\n"
             "[Tail]\r\n"
             "x=y\r\n");
    auto key = SettingsKey::create("Software\\MorvexFylatek", REG_KEY_ALL_ACCESS);
    ASSERT_TRUE(key);
    EXPECT_EQ(key->get("Foreign"), "1");
    ASSERT_TRUE(key->set("FormatLibrary", "/data/formats"));
    ASSERT_TRUE(key->set("TemplateLibrary", "/data/templates"));
    EXPECT_EQ(readFile(file()),
              "; written by hand\n"
              "[Other\\Program]\n"
              "Key = kept as written \n"
              "\n"
              "[Software\\MorvexFylatek]\n"
              "Foreign=1\n"
              "FormatLibrary=/data/formats\n"
              "TemplateLibrary=/data/templates\n"
              "\n"
              "[Tail]\n"
              "x=y\n");
    auto other = SettingsKey::open("Other\\Program", REG_KEY_READ);
    ASSERT_TRUE(other);
    EXPECT_EQ(other->get("key"), "kept as written");
}

TEST_F(Registry, KeyPathsAndValueNamesIgnoreAsciiCaseAndReadAccessRefusesWrites) {
    writeAll(file(), "[software\\morvexfylatek]\nformatlibrary=/f\n");
    ASSERT_EQ(REG_ouvrirAcces("MorvexFylatek", REG_KEY_READ, countCreation), 1);
    char buffer[32];
    EXPECT_EQ(REG_recupererChaine("FormatLibrary", buffer, sizeof buffer), 1);
    EXPECT_STREQ(buffer, "/f");
    EXPECT_EQ(REG_preserverChaine("x", "y"), 0);
    EXPECT_EQ(REG_recupererChaine("x", buffer, sizeof buffer), 0);
}

TEST_F(Registry, DamagedFileIsReadWithoutItsBadLinesAndKeptWhenRewritten) {
    const char raw[] =
        "\xEF\xBB\xBF[Software\\MorvexFylatek]\nno equals sign\n[unterminated\n"
        "\x01\x02\x00\xff\xfe=\n\n=nameless\nGood=yes\n\x00\x00\x00";
    std::string garbage(raw, sizeof raw - 1);
    writeAll(file(), garbage);
    ASSERT_EQ(REG_ouvrirAcces("MorvexFylatek", REG_KEY_ALL_ACCESS, nullptr), 1);
    char buffer[32];
    EXPECT_EQ(REG_recupererChaine("Good", buffer, sizeof buffer), 1);
    EXPECT_STREQ(buffer, "yes");
    EXPECT_EQ(REG_recupererChaine("no equals sign", buffer, sizeof buffer), 0);
    ASSERT_EQ(REG_preserverChaine("Added", "1"), 1);
    std::string text = readFile(file());
    EXPECT_NE(text.find("[unterminated\n"), std::string::npos);
    EXPECT_NE(text.find(std::string("\x01\x02\x00\xff\xfe=", 6)), std::string::npos);
    EXPECT_NE(text.find("Good=yes\nAdded=1\n"), std::string::npos);
    EXPECT_EQ(REG_recupererChaine("Good", buffer, sizeof buffer), 1);
}

TEST_F(Registry, RandomBytesNeverCrashTheReader) {
    unsigned seed = 12345;
    for (int round = 0; round < 50; ++round) {
        std::string bytes;
        for (int i = 0; i < 400; ++i) {
            seed = seed * 1103515245u + 12345u;
            const char alphabet[] = "[]=\n\r;#% \\aZ\x00\xff";
            bytes += alphabet[(seed >> 16) % (sizeof alphabet - 1)];
        }
        writeAll(file(), bytes);
        auto key = SettingsKey::create("Software\\MorvexFylatek", REG_KEY_ALL_ACCESS);
        ASSERT_TRUE(key);
        ASSERT_TRUE(key->set("Probe", "%0A\n"));
        EXPECT_EQ(key->get("Probe"), "%0A\n");
    }
}

TEST_F(Registry, HugeFileOrAFolderInItsPlaceFailCleanlyAndStayUntouched) {
    std::string big(9 * 1024 * 1024, 'x');
    writeAll(file(), big);
    {
        morvex::TraceCapture capture;
        EXPECT_EQ(REG_ouvrirAcces("MorvexFylatek", REG_KEY_ALL_ACCESS, nullptr), 0);
        EXPECT_NE(capture.text().find("\n[REG] Le fichier de paramètres '" + file().string() +
                                      "' dépasse la taille permise (8 388 608 octets). Les "
                                      "paramètres ne sont ni lus ni écrits."),
                  std::string::npos)
            << capture.text();
    }
    EXPECT_EQ(fs::file_size(file()), big.size());
    // A named pipe in its place is refused at once, never waited on.
    fs::remove(file());
    ASSERT_EQ(mkfifo(file().c_str(), 0600), 0);
    {
        morvex::TraceCapture capture;
        EXPECT_EQ(REG_ouvrirAcces("MorvexFylatek", REG_KEY_ALL_ACCESS, nullptr), 0);
        EXPECT_NE(capture.text().find("est un tube nommé"), std::string::npos) << capture.text();
    }
    fs::remove(file());
    fs::create_directories(file());
    EXPECT_EQ(REG_ouvrirAcces("MorvexFylatek", REG_KEY_ALL_ACCESS, nullptr), 0);
    EXPECT_FALSE(SettingsKey::exists("Software\\MorvexFylatek"));
}

TEST_F(Registry, WritesCreateMissingFoldersAndLeaveNoTemporaryFileEvenWhenTheyFail) {
    fs::path nested = dir_ / "a" / "b";
    setenv("MORVEX_CONFIG_DIR", nested.c_str(), 1);
    auto key = SettingsKey::create("Software\\MorvexFylatek", REG_KEY_ALL_ACCESS);
    ASSERT_TRUE(key);
    for (int i = 0; i < 20; ++i) ASSERT_TRUE(key->set("n" + std::to_string(i), "v"));
    EXPECT_EQ(folderEntries(nested), std::vector<std::string>{"MorvexFylatek.ini"});
    // A folder that cannot be created (its parent is a file), even for root.
    fs::remove_all(dir_ / "a");
    writeAll(dir_ / "plainfile", "x");
    setenv("MORVEX_CONFIG_DIR", (dir_ / "plainfile" / "sub").c_str(), 1);
    EXPECT_FALSE(SettingsKey::create("Software\\MorvexFylatek", REG_KEY_ALL_ACCESS));
    EXPECT_EQ(folderEntries(dir_), std::vector<std::string>{"plainfile"});
    EXPECT_FALSE(morvex::writeFileAtomically((dir_ / "plainfile" / "f").string(), "x"));
}

TEST_F(Registry, SymbolicLinkToTheSettingsFileIsFollowedNotReplaced) {
    fs::path real = dir_ / "dotfiles" / "real.ini";
    writeAll(real, "[Keep]\na=1\n");
    fs::create_symlink(real, file());
    auto key = SettingsKey::create("Software\\MorvexFylatek", REG_KEY_ALL_ACCESS);
    ASSERT_TRUE(key);
    ASSERT_TRUE(key->set("x", "2"));
    EXPECT_TRUE(fs::is_symlink(file()));
    EXPECT_EQ(readFile(real), "[Keep]\na=1\n\n[Software\\MorvexFylatek]\nx=2\n");
}

TEST_F(Registry, OpenCallsTheCreationCallbackOnlyForANewKey) {
    creationCalls = 0;
    ASSERT_EQ(REG_ouvrirAcces("MorvexFylatek", REG_KEY_ALL_ACCESS, countCreation), 1);
    EXPECT_EQ(creationCalls, 1);
    // Only one key may be open at a time.
    EXPECT_EQ(REG_ouvrirAcces("MorvexFylatek", REG_KEY_ALL_ACCESS, countCreation), 0);
    EXPECT_EQ(REG_fermerAcces(), 1);
    EXPECT_EQ(REG_fermerAcces(), 0);
    ASSERT_EQ(REG_ouvrirAcces("MorvexFylatek", REG_KEY_ALL_ACCESS, countCreation), 1);
    EXPECT_EQ(creationCalls, 1);
    REG_fermerAcces();
    // The callback may write into the new key.
    ASSERT_EQ(REG_ouvrirAcces("Fresh", REG_KEY_ALL_ACCESS, writeDefaultInCallback), 1);
    char buffer[16];
    EXPECT_EQ(REG_recupererChaine("Version", buffer, sizeof buffer), 1);
    EXPECT_STREQ(buffer, "1.4");
    EXPECT_EQ(readFile(file()), "[Software\\MorvexFylatek]\n\n[Software\\Fresh]\nVersion=1.4\n");
}

TEST_F(Registry, CallsWithoutAnOpenKeyOrArgumentsFail) {
    char buffer[8] = "junk";
    uint32_t n = 7;
    EXPECT_EQ(REG_recupererChaine("x", buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(REG_preserverChaine("x", "y"), 0);
    EXPECT_EQ(REG_preserverDWORD("x", 1), 0);
    EXPECT_EQ(REG_recupererDWORD("x", &n), 0);
    EXPECT_EQ(REG_supprimerSousCle("x"), 0);
    EXPECT_EQ(REG_trouverCle(buffer, 0, sizeof buffer), 0);
    EXPECT_EQ(REG_sauverCles(), 0);
    EXPECT_EQ(REG_ouvrirAcces(nullptr, REG_KEY_READ, nullptr), 0);
    EXPECT_EQ(REG_ouvrirAcces("bad\nname", REG_KEY_READ, nullptr), 0);
    EXPECT_FALSE(fs::exists(file()));
    ASSERT_EQ(REG_ouvrirAcces("MorvexFylatek", REG_KEY_ALL_ACCESS, nullptr), 1);
    EXPECT_EQ(REG_recupererChaine("x", nullptr, 10), 0);
    EXPECT_EQ(REG_recupererChaine("x", buffer, 0), 0);
    EXPECT_EQ(REG_recupererDWORD("x", nullptr), 0);
}

TEST_F(Registry, LongValueIsCutToTheBufferAtACharacterBoundary) {
    ASSERT_EQ(REG_ouvrirAcces("MorvexFylatek", REG_KEY_ALL_ACCESS, nullptr), 1);
    ASSERT_EQ(REG_preserverChaine("ascii", "abcdefghij"), 1);
    ASSERT_EQ(REG_preserverChaine("utf8", "abcé€"), 1);  // é is 2 bytes, € 3
    char buffer[6];
    EXPECT_EQ(REG_recupererChaine("ascii", buffer, sizeof buffer), 1);
    EXPECT_STREQ(buffer, "abcde");
    EXPECT_EQ(REG_recupererChaine("utf8", buffer, sizeof buffer), 1);
    EXPECT_STREQ(buffer, "abcé");
    char small[5];
    EXPECT_EQ(REG_recupererChaine("utf8", small, sizeof small), 1);
    EXPECT_STREQ(small, "abc");  // "é" would not fit whole
}

TEST_F(Registry, DwordRoundTripsAndRejectsTextThatIsNotOne) {
    ASSERT_EQ(REG_ouvrirAcces("MorvexFylatek", REG_KEY_ALL_ACCESS, nullptr), 1);
    uint32_t n = 0;
    for (uint32_t v : {0u, 1u, 5000u, 4294967295u}) {
        ASSERT_EQ(REG_preserverDWORD("n", v), 1);
        EXPECT_EQ(REG_recupererDWORD("n", &n), 1);
        EXPECT_EQ(n, v);
    }
    for (const char* bad : {"", "abc", "-1", "12x", "4294967296", "99999999999"}) {
        ASSERT_EQ(REG_preserverChaine("n", bad), 1);
        n = 42;
        EXPECT_EQ(REG_recupererDWORD("n", &n), 0) << bad;
        EXPECT_EQ(n, 42u);
    }
}

TEST_F(Registry, MultiStringRoundTripsAndNeedsRoomForBothTerminators) {
    ASSERT_EQ(REG_ouvrirAcces("MorvexFylatek", REG_KEY_ALL_ACCESS, nullptr), 1);
    const char list[] = "first\0sec=ond\0C:\\third\0";  // plus the literal's own NUL
    ASSERT_EQ(REG_preserverMultiCh("list", list), 1);
    char buffer[64];
    ASSERT_EQ(REG_recupererMultiCh("list", buffer, sizeof buffer), 1);
    EXPECT_EQ(std::string(buffer, sizeof list), std::string(list, sizeof list));
    char tight[sizeof list];
    EXPECT_EQ(REG_recupererMultiCh("list", tight, sizeof tight), 1);
    EXPECT_EQ(REG_recupererMultiCh("list", tight, sizeof tight - 1), 0);
    ASSERT_EQ(REG_preserverMultiCh("empty", "\0"), 1);
    ASSERT_EQ(REG_recupererMultiCh("empty", buffer, sizeof buffer), 1);
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_EQ(buffer[1], '\0');
}

TEST_F(Registry, BinaryBlockRoundTripsEveryByteAndReportsTheSizeNeeded) {
    ASSERT_EQ(REG_ouvrirAcces("MorvexFylatek", REG_KEY_ALL_ACCESS, nullptr), 1);
    unsigned char bytes[256];
    for (int i = 0; i < 256; ++i) bytes[i] = static_cast<unsigned char>(i);
    ASSERT_EQ(REG_preserverBlocBin("bin", bytes, sizeof bytes), 1);
    unsigned char back[300] = {};
    size_t size = sizeof back;
    ASSERT_EQ(REG_recupererBlocBin("bin", back, &size), 1);
    EXPECT_EQ(size, 256u);
    EXPECT_EQ(memcmp(bytes, back, 256), 0);
    size = 10;
    EXPECT_EQ(REG_recupererBlocBin("bin", back, &size), 0);
    EXPECT_EQ(size, 256u);
    ASSERT_EQ(REG_preserverChaine("text", "not hex!"), 1);
    size = sizeof back;
    EXPECT_EQ(REG_recupererBlocBin("text", back, &size), 0);
}

TEST_F(Registry, SubKeysAreEnumeratedAndDeletedWithEverythingBelowThem) {
    for (const char* path : {"Software\\MorvexFylatek\\A", "Software\\MorvexFylatek\\B\\C",
                             "Software\\MorvexFylatek\\Bx", "Software\\MorvexFylatekOther"})
        ASSERT_TRUE(SettingsKey::create(path, REG_KEY_ALL_ACCESS));
    ASSERT_EQ(REG_ouvrirAcces("MorvexFylatek", REG_KEY_ALL_ACCESS, nullptr), 1);
    char name[8];
    std::vector<std::string> found;
    for (int i = 0; REG_trouverCle(name, i, sizeof name); ++i) found.push_back(name);
    EXPECT_EQ(found, (std::vector<std::string>{"A", "B", "Bx"}));
    char tiny[2];
    EXPECT_EQ(REG_trouverCle(tiny, 2, sizeof tiny), 0);  // "Bx" does not fit

    ASSERT_EQ(REG_supprimerSousCle("B"), 1);
    EXPECT_EQ(REG_supprimerSousCle("B"), 0);
    EXPECT_FALSE(SettingsKey::exists("Software\\MorvexFylatek\\B"));
    EXPECT_FALSE(SettingsKey::exists("Software\\MorvexFylatek\\B\\C"));
    EXPECT_TRUE(SettingsKey::exists("Software\\MorvexFylatek\\Bx"));
    EXPECT_TRUE(SettingsKey::exists("Software\\MorvexFylatekOther"));
    EXPECT_TRUE(SettingsKey::exists("Software\\MorvexFylatek"));
}

TEST_F(Registry, SaveWritesTheOpenKeyBesideTheProgram) {
    ASSERT_TRUE(SettingsKey::create("Software\\Unrelated", REG_KEY_ALL_ACCESS));
    ASSERT_EQ(REG_ouvrirAcces("MorvexFylatek", REG_KEY_ALL_ACCESS, nullptr), 1);
    ASSERT_EQ(REG_preserverChaine("Version", "1.4"), 1);
    fs::path saved = fs::read_symlink("/proc/self/exe").parent_path() / "controles";
    ASSERT_EQ(REG_sauverCles(), 1);
    EXPECT_EQ(readFile(saved), "[Software\\MorvexFylatek]\nVersion=1.4\n");
    fs::remove(saved);
}

TEST_F(Registry, WritesFromSeveralThreadsAreAllKept) {
    auto key = SettingsKey::create("Software\\MorvexFylatek", REG_KEY_ALL_ACCESS);
    ASSERT_TRUE(key);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&key, t] {
            for (int i = 0; i < 10; ++i)
                key->set("t" + std::to_string(t) + "_" + std::to_string(i), std::to_string(i));
        });
    for (auto& th : threads) th.join();
    EXPECT_EQ(key->valueNames().size(), 40u);
}

TEST_F(Registry, WriteOfSeveralValuesIsOneRewrite) {
    auto key = SettingsKey::create("Software\\MorvexFylatek", REG_KEY_ALL_ACCESS);
    ASSERT_TRUE(key);
    ASSERT_TRUE(key->set({{"a", "1"}, {"b", "2"}, {"a", "3"}}));
    EXPECT_EQ(readFile(file()), "[Software\\MorvexFylatek]\na=3\nb=2\n");
    EXPECT_TRUE(key->remove("a"));
    EXPECT_FALSE(key->remove("a"));
    EXPECT_EQ(readFile(file()), "[Software\\MorvexFylatek]\nb=2\n");
}
