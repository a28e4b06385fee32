// The SQL Server parameters window over the bundled example: the three files it writes are
// byte for byte those of morvexcli mssql all for the same parameters; parameter files opened
// and saved; a target that cannot be written and a parameters file that cannot be read told,
// with nothing left behind.
#include "app/mssqlparamswindow.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <cstring>
#include <fstream>
#include <regex>
#include <sstream>

#include "appcore/application.h"
#include "appcore/processlist.h"
#include "app/tests/apptest.h"
#include "filedesc/filedesc.h"
#include "mssql/mssql.h"

using namespace morvex;

namespace {

std::string source(const std::string& relative) {
    return std::string(MORVEX_SOURCE_DIR_PATH) + "/" + relative;
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// The script without its generation time, the one line that differs from run to run.
std::string withoutTime(const std::string& script) {
    return std::regex_replace(script, std::regex(" Généré le [^\r\n]*"), " Généré le -");
}

// morvexcli, built beside morvex.
QString morvexcli() {
    return QFileInfo(QString(MORVEX_PATH)).absoluteDir().absoluteFilePath("../cli/morvexcli");
}

}  // namespace

class MssqlParamsWindowTest : public QObject {
    Q_OBJECT

    apptest::Environment env_;
    QtUiPort* port_ = nullptr;
    apptest::Person* person_ = nullptr;
    FileDesc* desc_ = nullptr;
    MSSQL_PARAMS params_{};
    QString generated_;

private slots:
    void init() {
        port_ = new QtUiPort;
        person_ = new apptest::Person(*port_);
        FILEDESC_Initialize();
        desc_ = FILEDESC_OpenFileDesc(source("examples/clients.fyk").c_str());
        QVERIFY(desc_);
        desc_->isModified = 0;
        gcontexte.currentFile = desc_;
        generated_ = QString::fromStdString(env_.dir().file("generes"));
        QDir(generated_).removeRecursively();
        snprintf(gcontexte.genTargetDirectory, sizeof gcontexte.genTargetDirectory, "%s",
                 generated_.toUtf8().constData());
        snprintf(gcontexte.templateLibrary, sizeof gcontexte.templateLibrary, "%s",
                 env_.dir().path().c_str());
        MSSQL_InitParams(&params_);
    }
    void cleanup() {
        gcontexte.currentFile = nullptr;
        FILEDESC_CloseFileDesc(desc_);
        delete person_;
        delete port_;
    }

    void theThreeFilesAreThoseOfTheCommandLine() {
        MssqlParamsWindow window(&params_, desc_);
        QCOMPARE(window.windowTitle(), QString("Paramètres de génération pour MS SQL Server"));
        QCOMPARE(window.field(1)->text(), QString("TBL_IMPORT"));
        person_->files = {source("examples/clients.prm")};
        QVERIFY(window.runCommand(ITM_PRM_OPEN));
        QCOMPARE(person_->prompts.back(),
                 "Ouvrir un fichier de paramètres...|" + env_.dir().path());
        QCOMPARE(window.field(0)->text(), QString("GESTION"));
        QCOMPARE(window.field(3)->text(), QString("clients.fmt"));
        window.field(1)->setText("CLIENTS_2026");  // typed, then "Générer"
        QTest::mouseClick(window.generateButton(), Qt::LeftButton);
        // "Terminé", and the three files written.
        QCOMPARE(person_->messages.size(), size_t(1));
        const std::string& told = person_->messages[0];
        QVERIFY2(told.rfind("Génération des fichiers|Terminé\n\nFichiers écrits :\n", 0) == 0,
                 told.c_str());
        QCOMPARE(int(std::count(told.begin(), told.end(), '\n')), 5);
        QCOMPARE(window.result(), int(QDialog::Accepted));
        QCOMPARE(QString(params_.nomTable), QString("CLIENTS_2026"));

        // The same parameters through morvexcli, in a folder of its own.
        const QString cli = QString::fromStdString(env_.dir().file("cli"));
        QDir().mkpath(cli);
        QProcess run;
        run.setWorkingDirectory(cli);
        run.start(morvexcli(), {"mssql", "all", QString::fromStdString(source("examples/clients.fyk")),
                                "--prm", QString::fromStdString(source("examples/clients.prm")),
                                "--table", "CLIENTS_2026"});
        QVERIFY2(run.waitForFinished(30000), qPrintable(morvexcli()));
        QCOMPARE(run.exitCode(), 0);
        for (const char* name : {"clients.fmt", "clients_bcp.sql", "clients_maj.sql"}) {
            const std::string ours = readAll((generated_ + "/" + name).toStdString());
            const std::string theirs = readAll((cli + "/" + name).toStdString());
            QVERIFY2(!ours.empty(), name);
            QCOMPARE(withoutTime(ours), withoutTime(theirs));
        }
        QVERIFY(readAll((generated_ + "/clients_bcp.sql").toStdString())
                    .find("CREATE TABLE [GESTION]..[bcp_CLIENTS_2026]") != std::string::npos);
    }

    void failuresAreToldAndLeaveNothingBehind() {
        MssqlParamsWindow window(&params_, desc_);
        // A parameters file that cannot be read: the record and the fields stay.
        person_->files = {env_.dir().file("absent.prm")};
        QVERIFY(!window.runCommand(ITM_PRM_OPEN));
        QCOMPARE(person_->messages, std::vector<std::string>({"Erreur|Impossible d'ouvrir le fichier"}));
        QCOMPARE(window.field(0)->text(), QString("Master"));

        // A target that is a folder: its message, the window stays, nothing beside the folder.
        const QString folder = generated_ + "/pris.fmt";
        QDir().mkpath(folder);
        window.field(3)->setText(folder);
        person_->messages.clear();
        QVERIFY(!window.runCommand(ITM_PRM_GENERATE));
        QCOMPARE(person_->messages,
                 std::vector<std::string>(
                     {"Erreur|Erreur lors de la génération du fichier de format."}));
        QVERIFY(window.result() != int(QDialog::Accepted));
        QCOMPARE(QDir(generated_).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                 QStringList({"imp_bcp.sql", "imp_maj.sql", "pris.fmt"}));
        QVERIFY(QDir(folder).isEmpty());

        // "..." stores the chosen path at once; "Enregistrer sous..." proposes the project's name
        // in the template library and writes the record.
        const std::string chosen = env_.dir().file("ailleurs.sql");
        person_->files = {chosen};
        QVERIFY(window.runCommand(ITM_PRM_BROWSEMAJ));
        QCOMPARE(QString(params_.scriptMAJ), QString::fromStdString(chosen));
        QCOMPARE(window.field(5)->text(), QString::fromStdString(chosen));
        const std::string prm = env_.dir().file("clients.prm");
        person_->files = {prm};
        QVERIFY(window.runCommand(ITM_PRM_SAVEAS));
        QCOMPARE(person_->prompts.back(), "Enregistrer le fichier sous ...|" + prm);
        MSSQL_PARAMS back;
        MSSQL_InitParams(&back);
        QCOMPARE(ChargerParametres(&back, prm.c_str()), 0);
        QCOMPARE(QString(back.fichierFormat), folder);
        QCOMPARE(QString(back.scriptMAJ), QString::fromStdString(chosen));

        // "Générer à partir d'un template" adds the template to the description's process.
        const size_t tasks = PROCESSLIST_Rows(desc_).size();
        person_->files = {source("templates/mssql_ddl.tpl")};
        QVERIFY(window.runCommand(ITM_PRM_GENTEMPLATE));
        QCOMPARE(PROCESSLIST_Rows(desc_).size(), tasks + 1);
        QCOMPARE(PROCESSLIST_Rows(desc_).back().templatePath, source("templates/mssql_ddl.tpl"));
        QCOMPARE(person_->prompts.back(), "Tabulor|" + env_.dir().path() + "/*.tpl");
    }

    // The update script's warnings come back from the generation and the window shows them,
    // with their title, before the script is written all the same.
    void theGenerationsWarningsAreShownAsBefore() {
        FILEDESC_SearchColumnByPos(desc_, 1)->typeCible.type = DATATYPE_VARIABLECHAR;
        FILEDESC_SearchColumnByPos(desc_, 1)->typeCible.fmtChaineVar.tailleMax = 300;
        snprintf(params_.scriptMAJ, sizeof params_.scriptMAJ, "%s",
                 env_.dir().file("maj.sql").c_str());
        MssqlParamsWindow window(&params_, desc_);
        QVERIFY(window.runCommand(ITM_PRM_GENMAJ));
        QCOMPARE(person_->messages.size(), size_t(1));
        QCOMPARE(person_->messages[0],
                 std::string("Avertissement|Attention : La colonne 'ID' (Identifiant du client) "
                             "de type 'varchar' a une taille invalide : 300.\nLes valeurs "
                             "autorisées sont entre 1 et 255 (SQL Server < 2000) ou 1 et 8000 "
                             "(SQL Server 2000 et suivants).\nLa génération va se poursuivre, "
                             "mais le script ne sera pas correct."));
        QVERIFY(readAll(env_.dir().file("maj.sql")).find("varchar(300)") != std::string::npos);
    }
};

QTEST_MAIN(MssqlParamsWindowTest)
#include "mssqlparamswindow_test.moc"
