// The main window driven as a person would: command line, titles, save as, closing, drag and
// drop, exit; with real description files on disk and a scripted person.
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QPlainTextEdit>
#include <QTabBar>
#include <QTest>
#include <cstring>
#include <fstream>
#include <sstream>

#include "appcore/application.h"
#include "app/columndetailpanel.h"
#include "appcore/desceditor.h"
#include "app/descriptionlist.h"
#include "app/dictionarywindow.h"
#include "app/helppanel.h"
#include "app/pkindexeswindow.h"
#include "app/projectpropertiesdialog.h"
#include "app/resultpreview.h"
#include "app/sourcepreview.h"
#include "app/mainwindow.h"
#include "app/progresswindow.h"
#include "app/querytoolwindow.h"
#include "app/tests/apptest.h"
#include "foundation/testing/files.h"
#include "filedesc/filedesc.h"
#include "foundation/trace.h"

using namespace morvex;

namespace {

using morvex::testing::readFile;

// Writes a description named `project` to `path` and returns the path.
std::string writeDescription(const std::string& path, const char* project) {
    FileDesc* desc = FILEDESC_CreateFileDesc(project, nullptr, STRUCTFILE_DELIMITED, "\\r\\n", ";");
    FILEDESC_SaveToFile(desc, path.c_str());
    FILEDESC_CloseFileDesc(desc);
    return path;
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

    apptest::Environment env_;
    QtUiPort* port_ = nullptr;
    apptest::Person* person_ = nullptr;
    MainWindow* window_ = nullptr;

    QStringList tabCaptions() const {
        QStringList captions;
        for (int i = 0; i < window_->tabBar()->count(); ++i)
            captions << window_->tabBar()->tabText(i);
        return captions;
    }
    // Opens a new description named `project` as the person would after "Nouveau".
    FileDesc* openNew(const char* project) {
        FileDesc* desc =
            FILEDESC_CreateFileDesc(project, nullptr, STRUCTFILE_DELIMITED, "\\r\\n", ";");
        window_->IHM_OpenFormat(desc);
        return desc;
    }

private slots:
    void initTestCase() { ProgressWindow::setAutoClose(true); }

    void init() {
        port_ = new QtUiPort;
        person_ = new apptest::Person(*port_);
        window_ = new MainWindow;
        window_->initialise(nullptr, "");
    }

    void cleanup() {
        delete window_;
        delete person_;
        delete port_;
    }

    void startsWithOneNewDescriptionTheWelcomeTopicAndATruncatedLog() {
        QCOMPARE(tabCaptions(), QStringList{"Nouveau"});
        QCOMPARE(window_->windowTitle(), QString("Morvex Fylatek 1.5.2 build 5697  - [Nouveau]"));
        QVERIFY(window_->helpPanel()->plainText().startsWith("Bienvenue dans Morvex Fylatek!"));
        QCOMPARE(window_->statusBarText(0), QString("Morvex Suite - File Importation"));
        std::string log = readFile(env_.logFile());
        QVERIFY(log.rfind("\n[initFrmDlgMain] Le fichier de log principal est [", 0) == 0);
        // A second start truncates the log.
        trace("\nMARQUE-DU-PREMIER-DEMARRAGE");
        MainWindow second;
        second.initialise(nullptr, "");
        QVERIFY(readFile(env_.logFile()).find("MARQUE-DU-PREMIER-DEMARRAGE") == std::string::npos);
    }

    void commandLineOpensDescriptionsInOrderAndTracesOtherWords() {
        std::string a = writeDescription(env_.dir().file("a.fyk"), "A");
        std::string c = writeDescription(env_.dir().file("c.FYK"), "C");
        TraceCapture capture;
        window_->openCommandLine(a + " " + env_.dir().file("b.txt") + " " + c);
        QCOMPARE(tabCaptions(), (QStringList{"Nouveau", "A", "C"}));
        QCOMPARE(QString(gcontexte.currentFile->ProjectName), QString("C"));
        QVERIFY(capture.text().find("b.txt] ext=[.txt] n'est pas un fichier de format") !=
                std::string::npos);
        QCOMPARE(window_->statusBarText(0), QString::fromStdString(c));
    }

    void commandLineStopsAtTheFirstDescriptionThatCannotBeOpened() {
        std::string c = writeDescription(env_.dir().file("c.fyk"), "C");
        window_->openCommandLine(env_.dir().file("absent.fyk") + " " + c);
        QCOMPARE(tabCaptions(), QStringList{"Nouveau"});
        QCOMPARE(person_->messages,
                 std::vector<std::string>{"Ouverture du fichier|Impossible d'ouvrir le fichier de "
                                          "format '" +
                                          env_.dir().file("absent.fyk") + "'."});
    }

    void commandLineThatIsOnePathWithBlanksOpensIt() {
        std::string path = writeDescription(env_.dir().file("ma description.fyk"), "Blancs");
        window_->openCommandLine(path);
        QCOMPARE(tabCaptions(), (QStringList{"Nouveau", "Blancs"}));
    }

    void titleShowsDatabaseAndTableOnlyWhenBothAreSetAndAStarWhenModified() {
        FileDesc* desc = gcontexte.currentFile;
        strcpy(desc->DatabaseName, "BASE");
        window_->runCommand(0);  // any command refreshes the indicators
        QCOMPARE(window_->windowTitle(), QString("Morvex Fylatek 1.5.2 build 5697  - [Nouveau]"));
        strcpy(desc->TableName, "CLIENTS");
        desc->isModified = 1;
        window_->runCommand(99999);
        QCOMPARE(window_->windowTitle(),
                 QString("Morvex Fylatek 1.5.2 build 5697  - (BASE.CLIENTS) [Nouveau*]"));
        desc->isModified = 0;
    }

    void saveAsProposesTheProjectNameWithForbiddenCharactersBlanked() {
        strcpy(gcontexte.currentFile->ProjectName, "A/B:C");
        person_->files = {std::nullopt};
        window_->runCommand(ITM_FILE_SAVEAS);
        QCOMPARE(person_->prompts, std::vector<std::string>{"Enregistrer le fichier sous ...|" +
                                                            env_.dir().file("A B C.fyk")});
        QVERIFY(gcontexte.currentFile->FileDescPath == nullptr);
    }

    void saveAsAsksAgainOnNoAndSavesNothingOnCancel() {
        std::string existing = env_.dir().write("existe.fyk", "ancien contenu");
        person_->files = {existing, existing};
        person_->answers = {UiAnswer::No, UiAnswer::Cancel};
        window_->runCommand(ITM_FILE_SAVEAS);
        QCOMPARE(person_->prompts.size(), size_t(2));
        QCOMPARE(person_->prompts[1], "Enregistrer le fichier sous ...|" + existing);
        QCOMPARE(person_->messages.size(), size_t(2));
        QCOMPARE(person_->messages[0],
                 std::string("Remplacer le fichier|Ce fichier existe déjà. Voulez-vous le "
                             "remplacer ?"));
        QCOMPARE(readFile(existing), std::string("ancien contenu"));
        QVERIFY(gcontexte.currentFile->FileDescPath == nullptr);
    }

    void saveAsReplacesTheFileOnYes() {
        std::string existing = env_.dir().write("remplace.fyk", "ancien contenu");
        person_->files = {existing};
        person_->answers = {UiAnswer::Yes};
        window_->runCommand(ITM_FILE_SAVEAS);
        QVERIFY(readFile(existing).find("Nouveau") != std::string::npos);
        QCOMPARE(QString(gcontexte.currentFile->FileDescPath), QString::fromStdString(existing));
    }

    void saveOfANeverSavedDescriptionBehavesAsSaveAs() {
        gcontexte.currentFile->isModified = 1;
        std::string path = env_.dir().file("premier.fyk");
        person_->files = {path};
        window_->runCommand(ITM_FILE_SAVE);
        QCOMPARE(person_->prompts.size(), size_t(1));
        QVERIFY(person_->prompts[0].rfind("Enregistrer le fichier sous ...|", 0) == 0);
        QVERIFY(readFile(path).find("Nouveau") != std::string::npos);
        QCOMPARE(window_->statusBarText(0), QString::fromStdString(path));
        QCOMPARE(window_->statusBarText(3), QString::fromStdString(path));
        QVERIFY(!window_->windowTitle().contains('*'));
    }

    void saveToAnUnwritablePathShowsTheSaveError() {
        FILEDESC_SetFileName(gcontexte.currentFile, "/proc/interdit/x.fyk");
        window_->runCommand(ITM_FILE_SAVE);
        QCOMPARE(person_->messages.size(), size_t(1));
        QCOMPARE(person_->messages[0],
                 std::string("Erreur d'enregistrement|Erreur d'enregistrement du fichier "
                             "'/proc/interdit/x.fyk'. Le fichier est peut-être en lecture seule "
                             "ou vous n'avez pas les droits suffisants\nImpossible d'écrire le "
                             "fichier '/proc/interdit/x.fyk' : le dossier n'existe pas."));
        gcontexte.currentFile->isModified = 0;
    }

    void closingTheFirstOfThreeSelectsTheNewFirstAndTheThirdSelectsTheSecond() {
        openNew("B");
        openNew("C");
        window_->tabBar()->setCurrentIndex(0);
        QCOMPARE(QString(gcontexte.currentFile->ProjectName), QString("Nouveau"));
        window_->runCommand(ITM_FILE_CLOSEFORMAT);
        QCOMPARE(tabCaptions(), (QStringList{"B", "C"}));
        QCOMPARE(QString(gcontexte.currentFile->ProjectName), QString("B"));
        QCOMPARE(window_->tabBar()->currentIndex(), 0);

        openNew("D");
        window_->tabBar()->setCurrentIndex(2);
        window_->runCommand(ITM_FILE_CLOSEFORMAT);
        QCOMPARE(tabCaptions(), (QStringList{"B", "C"}));
        QCOMPARE(QString(gcontexte.currentFile->ProjectName), QString("C"));
        QCOMPARE(LDCG_Count(gcontexte.openFiles), 2);
    }

    void closingTheOnlyDescriptionLeavesNoneAndHidesTheList() {
        window_->show();
        window_->runCommand(ITM_FILE_CLOSEFORMAT);
        QVERIFY(gcontexte.currentFile == nullptr);
        QCOMPARE(window_->windowTitle(), QString("Morvex Fylatek"));
        QVERIFY(!window_->descriptionList()->isVisible());
        // Commands that need a description now do nothing.
        window_->runCommand(ITM_FILE_SAVE);
        window_->runCommand(ITM_FILE_PROPERTIES);
        QVERIFY(person_->prompts.empty() && person_->dialogs.empty());
    }

    void closingAModifiedDescriptionAsksAndCancelKeepsIt() {
        gcontexte.currentFile->isModified = 1;
        person_->answers = {UiAnswer::Cancel};
        window_->runCommand(ITM_FILE_CLOSEFORMAT);
        QCOMPARE(person_->messages,
                 std::vector<std::string>{"Morvex Fylatek|La description courante [Nouveau] a été "
                                          "modifiée, voulez-vous l'enregistrer ?"});
        QCOMPARE(tabCaptions(), QStringList{"Nouveau"});
        gcontexte.currentFile->isModified = 0;
    }

    void answeringYesWithoutAPathSavesAsBeforeClosing() {
        gcontexte.currentFile->isModified = 1;
        std::string path = env_.dir().file("avant_fermeture.fyk");
        person_->answers = {UiAnswer::Yes};
        person_->files = {path};
        window_->runCommand(ITM_FILE_CLOSEFORMAT);
        QVERIFY(readFile(path).find("Nouveau") != std::string::npos);
        QCOMPARE(window_->tabBar()->count(), 0);
    }

    void cancellingTheSaveQuestionAtExitKeepsTheProgramAndTheRemainingDescriptions() {
        FileDesc* b = openNew("B");
        openNew("C");
        b->isModified = 1;
        person_->answers = {UiAnswer::Cancel};
        TraceCapture capture;
        QVERIFY(!window_->close());
        QCOMPARE(tabCaptions(), (QStringList{"B", "C"}));
        QVERIFY(capture.text().find("\nWM_CLOSE : Annulation de la fermeture") != std::string::npos);
        b->isModified = 0;
        // Closing again ends, saving the settings and the memory report.
        QVERIFY(window_->close());
        QCOMPARE(window_->tabBar()->count(), 0);
        QVERIFY(std::ifstream(env_.dir().file("MorvexFylatek.AllocMem.txt")).good());
    }

    void droppedDbFileInAnyCaseGoesToTheQueryToolAndOnlyTheFirstFileCounts() {
        std::vector<std::string> queried;
        window_->setQueryToolOpener([&](const std::string& p) { queried.push_back(p); });
        std::string c = writeDescription(env_.dir().file("c.fyk"), "C");
        window_->handleDroppedFiles({"\"/donnees/Base.DB\"", QString::fromStdString(c)});
        QCOMPARE(queried, std::vector<std::string>{"/donnees/Base.DB"});
        QCOMPARE(tabCaptions(), QStringList{"Nouveau"});
        window_->handleDroppedFiles({QString::fromStdString(c)});
        QCOMPARE(tabCaptions(), (QStringList{"Nouveau", "C"}));
    }

    void theLoadedExampleIsOfferedToTheQueryToolWhichShowsItsRows() {
        const std::string example = std::string(MORVEX_SOURCE_DIR_PATH) + "/examples/";
        QVERIFY(window_->openDescriptionFile(example + "clients.fyk"));
        FileDesc* desc = gcontexte.currentFile;
        free(desc->ExampleFilePath);
        desc->ExampleFilePath = strdup((example + "clients.csv").c_str());
        QVERIFY(window_->commandAction(ITM_DATA_QUERY)->isEnabled());
        QVERIFY(window_->commandAction(ITM_TOOLS_GENERATION)->isEnabled());
        std::vector<std::string> queried;
        window_->setQueryToolOpener([&](const std::string& p) { queried.push_back(p); });
        const std::string db = env_.dir().file("clients.db");
        person_->files = {db};
        person_->answers = {UiAnswer::Yes};
        window_->runCommand(ITM_DATA_SQLITE);
        QCOMPARE(queried, std::vector<std::string>{db});
        // The outcome names where the rows went and the database they are in.
        QCOMPARE(person_->messages.back(),
                 "Requêteur SQLite|Table 'CLIENTS' de la base '" + db +
                     "'.\n6 ligne(s) lue(s) : 6 enregistrée(s), 0 écartée(s), 0 rejetée(s) par "
                     "la base.\n0 valeur(s) conservée(s) telle(s) quelle(s) car non conforme(s) "
                     "à leur type.\n\nVoulez-vous les consulter dans le requêteur SQLite ?");
        QCOMPARE(window_->statusBarText(0),
                 QString("6 ligne(s) enregistrée(s) dans '%1'").arg(QString::fromStdString(db)));
        window_->setQueryToolOpener({});

        // The query tool opens on the database just filled and shows the example's rows.
        window_->openQueryTool(db);
        QueryToolWindow* tool = queryToolWindow();
        QVERIFY(tool);
        QCOMPARE(tool->databasePath(), QString::fromStdString(db));
        QVERIFY(tool->waitForRun());
        tool->editor()->setPlainText("SELECT ID, SOLDE FROM CLIENTS ORDER BY ID");
        QVERIFY(tool->executerRequete());
        QVERIFY(tool->waitForRun());
        QCOMPARE(tool->model()->rowCount(), 6);
        QCOMPARE(tool->model()->index(5, 0).data().toString(), QString("6"));
        QCOMPARE(tool->statusText(0), QString("Terminé"));
        desc->isModified = 0;
    }

    void droppedDataFileIsAnalysedIntoANewDescription() {
        std::string csv = env_.dir().write("ventes.csv", "CODE;LIBELLE;MONTANT\r\n1;Pomme;2,50\r\n"
                                                         "2;Poire;3,10\r\n");
        person_->dialogAnswers = {QDialog::Accepted};  // the properties of the new description
        window_->handleDroppedFiles({QString::fromStdString(csv)});
        QCOMPARE(tabCaptions(), (QStringList{"Nouveau", "ventes"}));
        FileDesc* desc = gcontexte.currentFile;
        QCOMPARE(static_cast<int>(desc->columns.size()), 3);
        QVERIFY(desc->isModified);
        QVERIFY(window_->windowTitle().endsWith("[ventes*]"));
        // The loading into an in-memory database runs through the progress window too.
        TraceCapture capture;
        window_->runCommand(ITM_DATA_SQLITEMEMORY);
        QVERIFY(capture.text().find("[FYK_SendDataToSQLite] : Termine") != std::string::npos);
        // Its outcome is told: where the rows went, in a base that is gone.
        const std::string told = person_->messages.back();
        QVERIFY2(told.rfind("Chargement du fichier de données|Table '", 0) == 0 &&
                     told.find("chargée dans une base en mémoire, refermée à la fin du "
                               "chargement.\n2 ligne(s) lue(s) : 2 enregistrée(s), 0 écartée(s)") !=
                         std::string::npos,
                 told.c_str());
        desc->isModified = 0;
    }

    void cancellingThePropertiesOfAnAnalysisLeavesNoTabBehind() {
        std::string csv = env_.dir().write("abandon.csv", "A;B\r\n1;2\r\n");
        person_->dialogAnswers = {QDialog::Rejected};
        window_->handleDroppedFiles({QString::fromStdString(csv)});
        QCOMPARE(tabCaptions(), QStringList{"Nouveau"});
        QCOMPARE(QString(gcontexte.currentFile->ProjectName), QString("Nouveau"));
        QCOMPARE(LDCG_Count(gcontexte.openFiles), 1);
    }

    void helpLinksStartNewAndTheAnalysis() {
        // Link 1: "Nouveau" (the properties are cancelled: nothing opens).
        person_->dialogAnswers = {QDialog::Rejected};
        window_->helpPanel()->activateLink(window_->helpPanel()->links().at(0));
        QCOMPARE(person_->dialogs, std::vector<std::string>{"Nouveau fichier de format"});
        QCOMPARE(tabCaptions(), QStringList{"Nouveau"});
        // Link 3 of topic 1: the analysis asks for its data file.
        window_->helpPanel()->EcrireMessageInfo(1);
        window_->helpPanel()->activateLink(window_->helpPanel()->links().at(2));
        QCOMPARE(person_->prompts.back(), std::string("Analyse d'un fichier délimité|*.*"));
    }

    void aFixedWidthDescriptionBuiltFromNothingFollowsEachEditAndIsSaved() {
        const std::string example =
            env_.dir().write("fixed.txt", "0001DUPONT\r\n0002MARTIN\r\n0003PETIT \r\n");
        person_->dialogAnswers = {QDialog::Accepted};
        person_->dialogFillers = {[&](QDialog* dialog) {
            auto* sheet = qobject_cast<ProjectPropertiesDialog*>(dialog);
            QVERIFY(sheet);
            sheet->nameField()->setText("Fixe");
            sheet->tableField()->setText("CLIENTS");
            sheet->exampleField()->setText(QString::fromStdString(example));
            sheet->fixedWidthButton()->setChecked(true);
        }};
        window_->runCommand(ITM_FILE_NEW);
        FileDesc* desc = gcontexte.currentFile;
        QVERIFY(desc);
        QCOMPARE(desc->ProjectName, "Fixe");
        QCOMPARE(desc->TypeStructFile, static_cast<int>(STRUCTFILE_FIXED));
        QVERIFY(window_->sourcePreviewView()->toPlainText().startsWith("0001DUPONT\n0002MARTIN"));

        ColumnDetailPanel* panel = window_->columnDetail();
        ResultPreview* result = window_->resultPreviewView();
        auto addColumn = [&](const char* code, const char* width, const char* type) {
            panel->codeField()->setText(code);
            panel->widthField()->setText(width);
            panel->typeField()->setCurrentText(QString::fromUtf8(type));
            panel->add();
        };
        addColumn("ID", "4", "Entier");
        QCOMPARE(result->rowCount(), 3);
        QCOMPARE(result->item(1, 0)->text(), QString("0002"));
        addColumn("NOM", "6", "Chaîne variable");
        QCOMPARE(result->columnCount(), 2);
        QCOMPARE(result->item(2, 1)->text().trimmed(), QString("PETIT"));
        QCOMPARE(window_->columnListView()->topLevelItemCount(), 2);

        // Edition > "Monter" moves the selected column: the preview reads it first.
        window_->columnListView()->topLevelItem(1)->setSelected(true);
        window_->runCommand(ITM_EDIT_UP);
        QCOMPARE(result->horizontalHeaderItem(0)->text(), QString("NOM"));
        QCOMPARE(result->item(0, 0)->text(), QString("0001DU"));
        window_->runCommand(ITM_EDIT_DOWN);
        QCOMPARE(result->item(0, 0)->text(), QString("0001"));

        // The key set from the list shows in the help panel's key window.
        window_->columnListView()->clearSelection();
        window_->columnListView()->topLevelItem(0)->setSelected(true);
        window_->columnListView()->runCommand(ITM_COL_PRIMARYKEY);
        QCOMPARE(window_->keysWindow()->keyGroup()->child(0)->text(0), QString("PK_CLIENTS"));
        QCOMPARE(window_->keysWindow()->keyGroup()->child(0)->text(1), QString("ID"));

        const std::string saved = env_.dir().file("fixe.fyk");
        person_->files = {saved};
        window_->runCommand(ITM_FILE_SAVE);
        FileDesc* again = FILEDESC_OpenFileDesc(saved.c_str());
        QVERIFY(again);
        QCOMPARE(DESCEDIT_Columns(again).size(), size_t{2});
        QCOMPARE(DESCEDIT_Columns(again)[1]->code, "NOM");
        QCOMPARE(again->primaryKey.name, "PK_CLIENTS");
        FILEDESC_CloseFileDesc(again);
    }

    void everyCommandIsAvailableAndTheImportParametersAndDictionaryOpenTheirWindows() {
        QVERIFY(gcontexte.currentFile);
        for (int command = ITM_FILE_NEW; command <= ITM_HELP_ABOUT; ++command) {
            QAction* action = window_->commandAction(command);
            QVERIFY2(action && action->isEnabled(), qPrintable(QString::number(command)));
        }
        person_->dialogAnswers = {QDialog::Rejected, QDialog::Rejected};
        window_->runCommand(ITM_FILE_IMPORTTEXT);
        window_->runCommand(ITM_TOOLS_GENOPTIONS);
        QCOMPARE(person_->dialogs,
                 std::vector<std::string>({"Charger une description textuelle",
                                           "Paramètres de génération pour MS SQL Server"}));
        window_->runCommand(ITM_DICO_SHOW);
        QVERIFY(dictionaryWindow() && dictionaryWindow()->isVisible());
        QVERIFY(dictionaryWindow()->windowTitle().startsWith("Dictionnaire - "));
        delete dictionaryWindow();

        // The SQL Server parameters need a current description.
        QCOMPARE(window_->TBR_CloseFormat(gcontexte.currentFile), 0);
        window_->UpdateVisualIndicators();
        QVERIFY(!window_->commandAction(ITM_TOOLS_GENOPTIONS)->isEnabled());
        window_->runCommand(ITM_TOOLS_GENOPTIONS);
        window_->runCommand(ITM_FILE_IMPORTTEXT);
        QCOMPARE(person_->dialogs.size(), size_t(2));
    }

    void viewTogglesShowTheirStateAndMoveTheLayout() {
        window_->resize(1000, 700);
        window_->show();
        // The previews are shown from the start (the setting ShowResultView unset).
        QVERIFY(window_->resultViewShown());
        QVERIFY(window_->helpPanelShown());
        window_->runCommand(ITM_VIEW_RESULT);
        QVERIFY(!window_->resultViewShown());
        QCOMPARE(gcontexte.showResultView, 0);
        const int listWidth = window_->descriptionList()->width();
        window_->runCommand(ITM_VIEW_HELP);
        QVERIFY(!window_->commandAction(ITM_VIEW_HELP)->isChecked());
        QVERIFY(!window_->helpPanel()->isVisible());
        QCOMPARE(window_->descriptionList()->width(), listWidth + gcontexte.helpFrameWidth);
        const int listHeight = window_->descriptionList()->height();
        window_->runCommand(ITM_VIEW_RESULT);
        QVERIFY(window_->commandAction(ITM_VIEW_RESULT)->isChecked());
        // The previews take their share of the height, more than two rows each.
        const int previews =
            window_->sourcePreview()->height() + window_->resultPreview()->height();
        QVERIFY(window_->sourcePreview()->height() > 100);
        QVERIFY(window_->resultPreview()->height() > 150);
        QVERIFY(window_->descriptionList()->height() <= listHeight - previews);
        // The choice is kept for the next start.
        QCOMPARE(gcontexte.showResultView, 1);
    }

    void helpAndFolderCommandsGoToTheDesktop() {
        window_->runCommand(ITM_HELP_HELP);
        QCOMPARE(person_->opened.size(), size_t(1));
        QVERIFY(person_->opened[0].toLocalFile().endsWith("docs/manual.html"));
        // A desktop that cannot open the manual: the download is offered.
        person_->openSucceeds = false;
        person_->answers = {UiAnswer::Yes};
        window_->runCommand(ITM_HELP_HELP);
        QCOMPARE(person_->messages.back(),
                 std::string("Fichier d'aide non trouvé|Impossible de trouver le fichier d'aide. "
                             "Voulez-vous le télécharger?"));
        QCOMPARE(person_->opened.back().toString(),
                 homePage() + "MorvexFylatek/MorvexFylatek.chm");
        person_->openSucceeds = true;
        window_->runCommand(ITM_TOOLS_OPENFORMATDIR);
        QCOMPARE(person_->opened.back().toLocalFile(), QString::fromStdString(env_.dir().path()));
        // With no setting, the shipped templates.
        gcontexte.templateLibrary[0] = '\0';
        window_->runCommand(ITM_TOOLS_OPENTEMPLATEDIR);
        QVERIFY2(person_->opened.back().toLocalFile().endsWith("share/morvex/templates"),
                 qPrintable(person_->opened.back().toLocalFile()));
        window_->runCommand(ITM_HELP_SHOWLOG);
        QCOMPARE(person_->opened.back().toLocalFile(), QString::fromStdString(env_.logFile()));
    }

    void aSqlServerScriptOfAnUnnamedTableIsRefusedWithOneMessageAndNoFile() {
        const std::string script = env_.dir().file("unnamed.sql");
        const std::string data = env_.dir().file("unnamed.csv");
        std::ofstream(data) << "1;un\n2;deux\n";
        FileDesc* desc = gcontexte.currentFile;
        free(desc->ExampleFilePath);
        desc->ExampleFilePath = strdup(data.c_str());
        person_->files = {script};
        window_->runCommand(ITM_DATA_MSSQL);
        QCOMPARE(person_->messages.size(), size_t(1));
        QVERIFY2(person_->messages[0].find("n'a pas de nom de table") != std::string::npos,
                 person_->messages[0].c_str());
        QVERIFY(!std::ifstream(script).good());
    }

    void debugBinaryWriterWritesTheColumnRecordsIntoTheLogsFolder() {
        ColumnDesc column{};
        strcpy(column.code, "ID");
        FILEDESC_AjouterColonne(gcontexte.currentFile, &column);
        window_->runCommand(ITM_HELP_DEBUGSAVEBINARY);
        QCOMPARE(readFile(env_.dir().file("MorvexFylatek.DebugFormatBin.bin")).size(),
                 size_t(FORMATBIN_RECORD_SIZE));
        QCOMPARE(readFile(env_.dir().file("MorvexFylatek.DebugPadding.bin")).size(), size_t(4));
        gcontexte.currentFile->isModified = 0;
    }
};

QTEST_MAIN(MainWindowTest)
#include "mainwindow_test.moc"
