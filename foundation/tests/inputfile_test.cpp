#include "foundation/inputfile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "foundation/testing/tempdir.h"

namespace {

using morvex::testing::TempDir;

// Every kind of path that is not a regular file is refused at once (a named pipe without a
// writer would block an ordinary open; /dev/zero would never end), with what it is.
TEST(InputFile, RefusesWhatIsNotARegularFileWithoutBlocking) {
    TempDir dir("inputfile");
    const std::string fifo = dir.file("tube");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string linkToFifo = dir.file("lien");
    ASSERT_EQ(symlink(fifo.c_str(), linkToFifo.c_str()), 0);
    struct Case {
        std::string path;
        const char* expected;  // part of the message
    };
    const Case cases[] = {
        {fifo, "est un tube nommé"},          {linkToFifo, "est un tube nommé"},
        {dir.path(), "est un dossier"},       {"/dev/zero", "est un périphérique"},
        {dir.file("absent"), "n'existe pas"}, {"", "n'est pas nommé"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_EQ(morvex::openInputFd(c.path.c_str(), &error), -1) << c.path;
        EXPECT_NE(error.find(c.expected), std::string::npos) << c.path << ": " << error;
        error.clear();
        EXPECT_EQ(morvex::openInputFile(c.path.c_str(), &error), nullptr) << c.path;
        EXPECT_NE(error.find(c.expected), std::string::npos) << c.path << ": " << error;
    }
    EXPECT_NE(morvex::inputFileRefusal(fifo.c_str()).find("tube nommé"), std::string::npos);
    EXPECT_EQ(morvex::inputFileRefusal(dir.file("absent").c_str()), "");
}

TEST(InputFile, OpensARegularFileAndALinkToOneInBlockingMode) {
    TempDir dir("inputfile");
    const std::string path = dir.write("a b -c.txt", "contenu");
    const std::string link = dir.file("lien");
    ASSERT_EQ(symlink(path.c_str(), link.c_str()), 0);
    for (const std::string& p : {path, link}) {
        std::string error;
        FILE* f = morvex::openInputFile(p.c_str(), &error);
        ASSERT_NE(f, nullptr) << error;
        EXPECT_EQ(fcntl(fileno(f), F_GETFL) & O_NONBLOCK, 0);
        char buffer[16] = {};
        EXPECT_EQ(fread(buffer, 1, sizeof buffer, f), 7u);
        EXPECT_STREQ(buffer, "contenu");
        fclose(f);
    }
    EXPECT_EQ(morvex::inputFileRefusal(path.c_str()), "");
}

TEST(InputFile, TakesADashForStandardInputOnlyWhenAsked) {
    std::string error;
    EXPECT_EQ(morvex::openInputFd("-", &error), -1);
    int fd = morvex::openInputFd("-", &error, morvex::InputKind::RegularOrStdin);
    EXPECT_GE(fd, 0) << error;
    if (fd >= 0) close(fd);
}

TEST(InputFile, ReadsAWholeFileUpToItsLimitAndTellsTheLimitBeyond) {
    TempDir dir("inputfile");
    const std::string path = dir.write("reglages.ini", std::string(2000, 'x'));
    std::string text, error;
    EXPECT_TRUE(morvex::readInputFile(path.c_str(), 2000, text, &error)) << error;
    EXPECT_EQ(text.size(), 2000u);
    EXPECT_FALSE(morvex::readInputFile(path.c_str(), 1999, text, &error, "Le fichier de réglages"));
    EXPECT_EQ(error,
              "Le fichier de réglages '" + path + "' dépasse la taille permise (1 999 octets).");
    EXPECT_TRUE(text.empty());
    EXPECT_FALSE(morvex::readInputFile("/dev/zero", 1 << 20, text, &error, "Le fichier de calcul"));
    EXPECT_EQ(error,
              "Le fichier de calcul '/dev/zero' est un périphérique, pas un fichier "
              "ordinaire.");
}

TEST(InputFile, SaysSystemErrorsAndSizesInFrench) {
    EXPECT_EQ(morvex::systemErrorText(ENOSPC), "disque plein");
    EXPECT_EQ(morvex::systemErrorText(EACCES), "accès refusé");
    EXPECT_EQ(morvex::systemErrorText(12345), "erreur système 12345");
    EXPECT_EQ(morvex::byteCountText(1048576), "1 048 576 octets");
    EXPECT_EQ(morvex::byteCountText(999), "999 octets");
}

}  // namespace
