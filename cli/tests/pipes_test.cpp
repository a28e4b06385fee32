// morvexcli in pipelines: the statuses and texts of usage errors, quiet runs, and the forms a
// data file comes in (a file, standard input, a named pipe, gzip and zstd streams).
#include <gtest/gtest.h>

#include "cli/tests/cli_fixture.h"

namespace {

using namespace morvex::testing;

class Pipes : public CliFixture {};

TEST_F(Pipes, UsageErrorsSayWhatIsWrongWithTheirStatus) {
    writeClients("1;Alice;26/02/2015\r\n2;Bob;27/02/2015\r\n");
    const struct {
        const char* args;
        int status;
        const char* said;  // all of standard error
    } cases[] = {
        {"preview clients.fyk --limit 5", 2,
         "(e) Option inconnue : --limit. Vouliez-vous dire --rows ?\n"},
        {"analyse clients.csv --rows abc", 2, "(e) --rows : nombre entier attendu, reçu 'abc'\n"},
        {"preview clients.fyk --rows=1x", 2, "(e) --rows : nombre entier attendu, reçu '1x'\n"},
        {"preview clients.fyk --rejets r.csv", 2,
         "(e) Option inconnue : --rejets. Vouliez-vous dire --rejects ?\n"},
        {"load clients.fyk :memory: --sep ,", 2, "(e) Option inconnue : --sep.\n"},
        {"analyse clients.csv --separator ,", 2,
         "(e) Option inconnue : --separator. Vouliez-vous dire --delimiter ?\n"},
        {"query :memory: 'select * from x'", 1, "(e) Erreur SQLite : no such table: x\n"},
        {"count clients.fyk --data absent.csv", 1,
         "(e) Le fichier de données 'absent.csv' n'existe pas ou n'est pas un fichier.\n"},
        // The program's own options are known after the command, and numbers are numbers.
        {"preview clients.fyk --rows -1", 2, "(e) --rows : valeur hors limites : -1.\n"
                                             "Lancez la commande avec --help pour plus "
                                             "d'informations.\n"},
        {"preview clients.fyk -q --rows 1", 0, ""},
        {"-q count clients.fyk", 0, ""},
    };
    for (const auto& c : cases) {
        RunResult r = run(c.args);
        EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
        EXPECT_EQ(r.err, c.said) << c.args;
    }
}

TEST_F(Pipes, QuietRunsTellNothingButErrors) {
    writeFile(dir_ / "v.csv", "id,nom\n1,a\n2,b\n");
    RunResult loud = run("analyse v.csv -o v.fyk");
    ASSERT_EQ(loud.status, 0) << loud.err;
    EXPECT_TRUE(Contains(loud.err, "(i) Délimiteur détecté : ,")) << loud.err;
    RunResult quiet = run("analyse -q v.csv -o w.fyk");
    ASSERT_EQ(quiet.status, 0) << quiet.err;
    EXPECT_EQ(quiet.err, "");
    EXPECT_TRUE(Contains(quiet.out, "Colonnes          : 2")) << quiet.out;
    RunResult verbose = run("analyse -v v.csv -o x.fyk");
    EXPECT_TRUE(Contains(verbose.err, "(i) Fichier de log : ")) << verbose.err;
}

}  // namespace
