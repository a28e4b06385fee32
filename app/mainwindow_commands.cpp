// The main window's menus, tool bar and commands.
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QStatusBar>
#include <QStyle>
#include <QTabBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "app/aboutdialog.h"
#include "app/columndetailpanel.h"
#include "app/columngriddialog.h"
#include "appcore/application.h"
#include "appcore/cutpreview.h"
#include "appcore/desceditor.h"
#include "appcore/fileassoc.h"
#include "appcore/filetargets.h"
#include "appcore/generationlog.h"
#include "appcore/loadsummary.h"
#include "appcore/mainframe.h"
#include "appcore/sqlitecommands.h"
#include "app/descriptionlist.h"
#include "app/dictionarywindow.h"
#include "app/generationdialog.h"
#include "app/helppanel.h"
#include "app/mainwindow.h"
#include "app/mainwindow_detail.h"
#include "app/mssqlparamswindow.h"
#include "app/optionsdialog.h"
#include "app/panelseparator.h"
#include "app/pgloaddialog.h"
#include "app/pkindexeswindow.h"
#include "app/previewsplitter.h"
#include "app/qtuiport.h"
#include "app/querytoolwindow.h"
#include "app/resultpreview.h"
#include "app/sourcepreview.h"
#include "app/splashwindow.h"
#include "app/splitfileview.h"
#include "app/textimportdialog.h"
#include "datadic/dico.h"
#include "appcore/analysewizard.h"
#include "filedesc/analyse.h"
#include "filedesc/filedesc.h"
#include "filedesc/typerecog.h"
#include "foundation/allocmem.h"
#include "foundation/appsettings.h"
#include "foundation/dynstring.h"
#include "foundation/ldcg.h"
#include "foundation/task.h"
#include "foundation/trace.h"
#include "mssql/mssql.h"
#include "sqliteload/sqlite3dll.h"
#include "sqliteload/sqlite4fyk.h"

namespace morvex {

using namespace mainwindow_detail;

namespace {

// After the analysis of a new description: a file larger than what the analysis reads whole
// had its types set on a sample; the person may have the whole file read (the columns stay).
void offerWholeFileAnalysis(QWidget* window, FileDesc* desc) {
    if (!desc || !desc->ExampleFilePath || !analysisReadsOnlyPartOf(desc->ExampleFilePath)) return;
    const long long megabytes =
        static_cast<long long>(FILEDESC_GetWholeFileBytes() / (1024 * 1024));
    const std::string question =
        "L'analyse n'a lu qu'une partie du fichier : ses " + std::to_string(megabytes) +
        " premiers Mo, puis des blocs répartis jusqu'à sa fin. Des valeurs du reste du fichier "
        "peuvent ne pas convenir aux types proposés.\n\nAnalyser le fichier complet ?";
    if (uiPort().messageBox("Analyse du fichier", question, UiButtons::YesNo, UiIcon::Question) ==
        UiAnswer::Yes)
        FYK_LaunchFileAnalyse(window, desc, desc->ExampleFilePath, FILEDESC_ANALYSE_ALL_ROWS, 0,
                              FILEANALYSE_DETECTED);
}

}  // namespace

QString homePage() {
    return MORVEX_HOME_PAGE;
}

QString manualPath() {
    return shippedFile("docs/manual.html");
}

// ---- Actions, menus, tool bar, status bar ----
void MainWindow::createActions() {
    struct Entry {
        int command;
        const char* text;
        const char* iconText;  // tool bar text, nullptr: the menu text
        QKeySequence shortcut;
    };
    const Entry entries[] = {
        {ITM_FILE_NEW, "Nouveau", nullptr, QKeySequence::New},
        {ITM_FILE_OPEN, "Ouvrir une description", "Ouvrir", QKeySequence::Open},
        {ITM_FILE_IMPORTTEXT, "Charger une description de table ZRT", nullptr, {}},
        {ITM_FILE_MIGRATE, "Migrer un fichier v1 beta", nullptr, {}},
        {ITM_FILE_SAVE, "Enregistrer", nullptr, QKeySequence::Save},
        {ITM_FILE_SAVEAS, "Enregistrer la description sous...", nullptr, QKeySequence::SaveAs},
        {ITM_FILE_CLOSEFORMAT, "Fermer la description courante", nullptr, QKeySequence::Close},
        {ITM_FILE_ANALYSE, "Analyser un fichier de données délimité", nullptr, {}},
        {ITM_FILE_PROPERTIES, "Propriétés", nullptr, {}},
        {ITM_FILE_QUIT, "Quitter", nullptr, QKeySequence::Quit},
        {ITM_EDIT_UP, "Monter", nullptr, {}},
        {ITM_EDIT_DOWN, "Descendre", nullptr, {}},
        {ITM_VIEW_RESULT, "Aperçu du résultat", "Aperçu", {}},
        {ITM_VIEW_HELP, "Aide contextuelle", nullptr, {}},
        {ITM_DATA_EXAMPLE, "Changer de fichier de données exemple", nullptr, {}},
        {ITM_DATA_SPLITVIEW, "Consulter le fichier découpé complet", nullptr, {}},
        {ITM_DATA_STATS, "Statistiques du fichier de données", nullptr, {}},
        {ITM_DATA_SQLITE, "Envoyer les données dans une base SQLite", "Envoyer vers SQLite", {}},
        {ITM_DATA_SQLITEMEMORY, "Envoyer les données dans une base SQLite In Memory", nullptr, {}},
        {ITM_DATA_POSTGRESQL, "Envoyer les données dans PostgreSQL", nullptr, {}},
        {ITM_DATA_QUERY, "Requêter sur une base de données SQLite", "Requêteur SQLite", {}},
        {ITM_DATA_MSSQL,
         "Créer un script SQL pour l'envoi des données vers SQLServer",
         nullptr,
         {}},
        {ITM_TOOLS_GENERATION, "Processus de génération", "Générer", {}},
        {ITM_TOOLS_GENOPTIONS, "Options de génération", nullptr, {}},
        {ITM_TOOLS_OPENGENDIR,
         "Ouvrir le répertoire des fichiers générés",
         "Répertoire de génération",
         {}},
        {ITM_TOOLS_OPENTEMPLATEDIR, "Ouvrir le répertoire des modèles", nullptr, {}},
        {ITM_TOOLS_OPENFORMATDIR, "Ouvrir le répertoire des descriptions", nullptr, {}},
        {ITM_TOOLS_OPENTOOLSDIR, "Ouvrir le répertoire des outils", nullptr, {}},
        {ITM_TOOLS_OPTIONS, "Options", nullptr, {}},
        {ITM_DICO_SHOW, "Afficher", nullptr, {}},
        {ITM_DICO_SAVE, "Enregistrer", nullptr, {}},
        {ITM_HELP_HELP, "Aide", nullptr, QKeySequence::HelpContents},
        {ITM_HELP_WEBSITE, "Site web de Morvex Fylatek", nullptr, {}},
        {ITM_HELP_DOWNLOAD, "Télécharger la dernière version", nullptr, {}},
        {ITM_HELP_DEBUGWINDOW, "Afficher la fenêtre de déboggage", nullptr, {}},
        {ITM_HELP_DEBUGSAVEBINARY, "[Debug] Enregistrer Format Binaire", nullptr, {}},
        {ITM_HELP_SHOWLOG, "Afficher le fichier de log de l'application", nullptr, {}},
        {ITM_HELP_ABOUT, "A propos de...", nullptr, {}},
    };
    QStyle* s = style();
    const std::map<int, QStyle::StandardPixmap> icons = {
        {ITM_FILE_NEW, QStyle::SP_FileIcon},
        {ITM_FILE_OPEN, QStyle::SP_DialogOpenButton},
        {ITM_FILE_SAVE, QStyle::SP_DialogSaveButton},
        {ITM_FILE_PROPERTIES, QStyle::SP_FileDialogInfoView},
        {ITM_EDIT_UP, QStyle::SP_ArrowUp},
        {ITM_EDIT_DOWN, QStyle::SP_ArrowDown},
        {ITM_VIEW_RESULT, QStyle::SP_FileDialogContentsView},
        {ITM_VIEW_HELP, QStyle::SP_MessageBoxQuestion},
        {ITM_TOOLS_GENERATION, QStyle::SP_MediaPlay},
        {ITM_TOOLS_OPENGENDIR, QStyle::SP_DirOpenIcon},
        {ITM_DATA_SQLITE, QStyle::SP_DriveHDIcon},
        {ITM_DATA_QUERY, QStyle::SP_FileDialogDetailedView},
    };
    for (const Entry& e : entries) {
        auto* action = new QAction(QString::fromUtf8(e.text), this);
        if (e.iconText) action->setIconText(QString::fromUtf8(e.iconText));
        if (!e.shortcut.isEmpty()) action->setShortcut(e.shortcut);
        if (auto icon = icons.find(e.command); icon != icons.end())
            action->setIcon(s->standardIcon(icon->second));
        action->setData(e.command);
        int command = e.command;
        connect(action, &QAction::triggered, this, [this, command] { runCommand(command); });
        actions_[e.command] = action;
    }
    actions_[ITM_VIEW_RESULT]->setCheckable(true);
    actions_[ITM_VIEW_RESULT]->setChecked(resultShown_);
    actions_[ITM_VIEW_HELP]->setCheckable(true);
    actions_[ITM_VIEW_HELP]->setChecked(helpShown_);
}

void MainWindow::createMenus() {
    auto add = [this](QMenu* menu, std::initializer_list<int> commands) {
        menu->setToolTipsVisible(true);
        for (int command : commands) {
            if (command == 0)
                menu->addSeparator();
            else
                menu->addAction(actions_[command]);
        }
    };
    add(menuBar()->addMenu("&Fichier"),
        {ITM_FILE_NEW, ITM_FILE_OPEN, ITM_FILE_IMPORTTEXT, ITM_FILE_MIGRATE, 0, ITM_FILE_SAVE,
         ITM_FILE_SAVEAS, ITM_FILE_CLOSEFORMAT, 0, ITM_FILE_ANALYSE, 0, ITM_FILE_PROPERTIES, 0,
         ITM_FILE_QUIT});
    add(menuBar()->addMenu("&Edition"), {ITM_EDIT_UP, ITM_EDIT_DOWN});
    add(menuBar()->addMenu("&Affichage"), {ITM_VIEW_RESULT, ITM_VIEW_HELP});
    add(menuBar()->addMenu("&Données"),
        {ITM_DATA_EXAMPLE, ITM_DATA_SPLITVIEW, ITM_DATA_STATS, 0, ITM_DATA_SQLITE,
         ITM_DATA_SQLITEMEMORY, ITM_DATA_POSTGRESQL, ITM_DATA_QUERY, 0, ITM_DATA_MSSQL});
    add(menuBar()->addMenu("&Outils"),
        {ITM_TOOLS_GENERATION, ITM_TOOLS_GENOPTIONS, 0, ITM_TOOLS_OPENGENDIR,
         ITM_TOOLS_OPENTEMPLATEDIR, ITM_TOOLS_OPENFORMATDIR, ITM_TOOLS_OPENTOOLSDIR, 0,
         ITM_TOOLS_OPTIONS});
    add(menuBar()->addMenu("Di&ctionnaire"), {ITM_DICO_SHOW, ITM_DICO_SAVE});
    add(menuBar()->addMenu("&?"),
        {ITM_HELP_HELP, ITM_HELP_WEBSITE, ITM_HELP_DOWNLOAD, 0, ITM_HELP_DEBUGWINDOW,
         ITM_HELP_DEBUGSAVEBINARY, ITM_HELP_SHOWLOG, 0, ITM_HELP_ABOUT});
}

void MainWindow::createToolBar() {
    toolBar_ = new QToolBar(central_);
    toolBar_->setObjectName("mainToolBar");
    toolBar_->setIconSize(QSize(20, 20));
    struct Button {
        int command;  // 0: separator
        bool text;    // the button shows its text
    };
    const Button buttons[] = {
        {ITM_FILE_NEW, false},
        {ITM_FILE_OPEN, false},
        {ITM_FILE_SAVE, false},
        {0, false},
        {ITM_FILE_PROPERTIES, false},
        {0, false},
        {ITM_EDIT_UP, true},
        {ITM_EDIT_DOWN, true},
        {0, false},
        {ITM_VIEW_RESULT, true},
        {ITM_VIEW_HELP, false},
        {0, false},
        {ITM_TOOLS_GENERATION, true},
        {ITM_TOOLS_OPENGENDIR, true},
        {0, false},
        {ITM_DATA_SQLITE, true},
        {ITM_DATA_QUERY, true},
    };
    for (const Button& b : buttons) {
        if (b.command == 0) {
            toolBar_->addSeparator();
            continue;
        }
        auto* button = new QToolButton(toolBar_);
        button->setDefaultAction(actions_[b.command]);
        button->setToolButtonStyle(b.text ? Qt::ToolButtonTextBesideIcon : Qt::ToolButtonIconOnly);
        button->setAutoRaise(true);
        toolBar_->addWidget(button);
        if (b.text) textButtons_.push_back(button);
    }
    toolBarFullWidth_ = toolBar_->sizeHint().width();
}

// ---- Commands ----
void MainWindow::runCommand(int command) {
    QAction* action = commandAction(command);
    if (action && !action->isEnabled()) return;  // greyed: nothing happens
    if (!runFileCommand(command)) runOtherCommand(command);
    UpdateVisualIndicators();
}

// The commands of the File menu; false for another command.
bool MainWindow::runFileCommand(int command) {
    FileDesc* current = gcontexte.currentFile;
    switch (command) {
        case ITM_FILE_NEW:
            commandNew();
            break;
        case ITM_FILE_OPEN:
            commandOpen();
            break;
        case ITM_FILE_IMPORTTEXT:
            appelDlgTxtDesc(this);
            RaffraichirFileDescView();
            break;
        case ITM_FILE_MIGRATE:
            commandMigrate();
            break;
        case ITM_FILE_SAVE:
            if (!current) break;
            if (!current->FileDescPath) {
                TBR_SaveFormat();
            } else if (saveDescription(current)) {
                SetStatusBarText(fromUtf8(current->FileDescPath), 0);
            }
            break;
        case ITM_FILE_SAVEAS:
            TBR_SaveFormat();
            break;
        case ITM_FILE_CLOSEFORMAT:
            if (!current) break;
            if (TBR_CloseFormat(current) == 1) {
                uiPort().messageBox("Erreur", "Impossible de fermer le format", UiButtons::Ok,
                                    UiIcon::Error);
            } else {
                RaffraichirFileDescView();
                trace("\n ITM_FILE_CLOSEFORMAT : Finished");
            }
            break;
        case ITM_FILE_ANALYSE:
            if (FYK_DataFileReverseEngenering(this, nullptr, FILEANALYSE_DETECTED) == 0) {
                offerWholeFileAnalysis(this, gcontexte.currentFile);
                // The columns found, to be corrected several at a time.
                if (gcontexte.currentFile && !DESCEDIT_Columns(gcontexte.currentFile).empty()) {
                    ColumnGridDialog grid(gcontexte.currentFile, this);
                    grid.exec();
                }
                TBR_FormatUpdated(gcontexte.currentFile);
                help_->EcrireMessageInfo(0);
            }
            RaffraichirFileDescView();
            break;
        case ITM_FILE_PROPERTIES:
            if (!current) break;
            if (uiPort().editProjectProperties(current, false)) {
                TBR_FormatUpdated(current);
                RaffraichirFileDescView();
            }
            break;
        case ITM_FILE_QUIT:
            close();
            break;
        default:
            return false;
    }
    return true;
}

// The commands of the other menus.
void MainWindow::runOtherCommand(int command) {
    FileDesc* current = gcontexte.currentFile;
    switch (command) {
        case ITM_VIEW_RESULT:
            toggleResultView();
            break;
        case ITM_VIEW_HELP:
            toggleHelpPanel();
            break;
        case ITM_DATA_EXAMPLE:
            commandChangeExample();
            break;
        case ITM_EDIT_UP:
            descList_->runCommand(ITM_COL_UP);
            break;
        case ITM_EDIT_DOWN:
            descList_->runCommand(ITM_COL_DOWN);
            break;
        case ITM_DATA_SPLITVIEW:
            if (current) appelDlgFicDecoupe(this);
            break;
        case ITM_DATA_STATS:
            if (current) {
                UiError refusal;
                if (FYK_LaunchDatafileComputeStats(this, current, current->ExampleFilePath,
                                                   &refusal) != 0)
                    showError(refusal);
            }
            break;
        case ITM_DATA_SQLITE:
            if (current) commandSendToSQLite(current, false);
            break;
        case ITM_DATA_SQLITEMEMORY:
            if (current) commandSendToSQLite(current, true);
            break;
        case ITM_DATA_POSTGRESQL:
            if (current) sendDataToPostgresql(this, current);
            break;
        case ITM_DATA_QUERY:
            openQueryTool(std::string());
            break;
        case ITM_DATA_MSSQL:
            commandSqlServerScript();
            break;
        case ITM_TOOLS_GENERATION:
            appelDlgGenerate(this, current);
            break;
        case ITM_TOOLS_GENOPTIONS:
            if (!current) break;
            if (!mssqlParams_) {
                mssqlParams_ = std::make_unique<MSSQL_PARAMS>();
                MSSQL_InitParams(mssqlParams_.get());
            }
            appelDlgPrmGenMSSQL(this, mssqlParams_.get());
            break;
        case ITM_TOOLS_OPENGENDIR:
            // The folder generation writes into, also when the settings name none.
            openDirectory(GENERATION_OutputRoot(gcontexte.genTargetDirectory, current).c_str());
            break;
        case ITM_TOOLS_OPENTEMPLATEDIR:
            openDirectory(templatesDirectoryOf(gcontexte).c_str());  // the shipped ones by default
            break;
        case ITM_TOOLS_OPENFORMATDIR:
            openDirectory(gcontexte.formatLibrary);
            break;
        case ITM_TOOLS_OPENTOOLSDIR:
            openDirectory(gcontexte.toolsDirectory);
            break;
        case ITM_TOOLS_OPTIONS:
            DoPropertySheetOptions(this, &gcontexte);
            break;
        case ITM_DICO_SHOW:
            appelDlgDictionnaire(this);
            break;
        case ITM_DICO_SAVE:
            if (DICO_Current()) requestDictionarySave();
            break;
        case ITM_HELP_HELP:
            commandHelp();
            break;
        case ITM_HELP_WEBSITE:
            openWithDesktop(QUrl(homePage()));
            break;
        case ITM_HELP_DOWNLOAD:
            if (uiPort().messageBox("Téléchargement",
                                    "Télécharger la dernière version de l'application ?",
                                    UiButtons::YesNo, UiIcon::Question) == UiAnswer::Yes)
                openWithDesktop(QUrl(homePage() + "MorvexFylatek/MorvexFylatek.rar"));
            break;
        case ITM_HELP_DEBUGWINDOW: {
            int failed = TestRegExp();
            SetStatusBarText(
                QString("Auto-test de la reconnaissance des types : %1 échec(s), détail dans le "
                        "fichier de log")
                    .arg(failed),
                0);
            break;
        }
        case ITM_HELP_DEBUGSAVEBINARY:
            commandDebugBinary();
            break;
        case ITM_HELP_SHOWLOG:
            openWithDesktop(QUrl::fromLocalFile(QString::fromStdString(logFilePath(gcontexte))));
            break;
        case ITM_HELP_ABOUT: {
            AboutDialog about(this);
            execDialog(&about);
            break;
        }
        default:
            break;
    }
}

void MainWindow::commandNew() {
    help_->EcrireMessageInfo(2);
    FileDesc* desc =
        FILEDESC_CreateFileDesc("Nouveau", nullptr, STRUCTFILE_DELIMITED, "\\r\\n", ";");
    if (!desc) return;
    if (!uiPort().editProjectProperties(desc, true)) {
        FILEDESC_CloseFileDesc(desc);
        return;
    }
    IHM_OpenFormat(desc);
    desc->isModified = 1;
    RaffraichirFileDescView();
    help_->EcrireMessageInfo(0);
}

void MainWindow::commandOpen() {
    std::optional<std::string> chosen =
        uiPort().promptFile("Ouvrir un fichier de format...",
                            startFolder(gcontexte.formatLibrary, gcontexte.currentFile),
                            "Fichiers format Fylatek (*.fyk)|*.fyk", false);
    if (chosen && !chosen->empty()) openDescriptionFile(*chosen);
}

void MainWindow::commandMigrate() {
    FileDesc* desc = gcontexte.currentFile;
    if (!desc) return;
    std::optional<std::string> chosen = uiPort().promptFile(
        "Ouvrir un fichier de format...", startFolder(gcontexte.formatLibrary, desc),
        "Fichiers format v1 beta (*.for)|*.for", false);
    if (!chosen || chosen->empty()) return;
    if (ChargerFormat(desc, chosen->c_str()) != 0) {
        uiPort().messageBox(kCaption,
                            "Le fichier '" + *chosen +
                                "' ne peut pas être lu comme un fichier "
                                "de format v1 beta.",
                            UiButtons::Ok, UiIcon::Warning);
    }
    refreshColumnList();
    RaffraichirVueApercuFichier(nullptr);
}

void MainWindow::commandChangeExample() {
    FileDesc* desc = gcontexte.currentFile;
    if (!desc) return;
    // The data files are looked for beside the description.
    std::optional<std::string> chosen =
        uiPort().promptFile("Importation de fichiers plats", startFolder(nullptr, desc) + "/*.txt",
                            "Fichiers texte (*.txt)|*.txt", false);
    if (!chosen || chosen->empty()) return;
    FILEDESC_SetExampleFilePath(desc, chosen->c_str());
    desc->isModified = 1;
    if (!resultShown_) toggleResultView();
    RaffraichirVueApercuFichier(nullptr);
    RaffraichirVueResultat();
}

void MainWindow::commandSendToSQLite(FileDesc* desc, bool inMemory) {
    QtUiPort* port = qtUiPort();
    const int runs = port ? port->taskRuns() : 0;
    SQLITE4FYK_LOADSTATS stats{};
    if (inMemory)
        FYK_SendDataToSQLite(this, desc, ":memory:", &stats);
    else
        FYK_SendDataToSQLiteWithFilePrompt(this, desc, &stats);
    if (!port || port->taskRuns() == runs) return;  // the person gave up before the load
    const std::string database =
        inMemory ? std::string(":memory:")
                 : std::string(desc->DatabaseFilePath ? desc->DatabaseFilePath : "");
    // The outcome in this window: where the rows went, and the database they are in.
    const std::string outcome = LOAD_Outcome(stats, database, desc->TableName);
    const bool done = stats.status == SQLITE4FYK_LOAD_DONE;
    SetStatusBarText(done ? QString("%1 ligne(s) enregistrée(s) dans '%2'")
                                .arg(stats.rowsStored)
                                .arg(QString::fromStdString(database))
                          : QString::fromStdString(outcome.substr(0, outcome.find('\n'))),
                     0);
    if (!done || inMemory) {
        uiPort().messageBox("Chargement du fichier de données", outcome, UiButtons::Ok,
                            done ? UiIcon::Info : UiIcon::Warning);
        return;
    }
    // Only a load that ran to its end offers its rows.
    if (uiPort().messageBox("Requêteur SQLite",
                            outcome + "\nVoulez-vous les consulter dans le requêteur SQLite ?",
                            UiButtons::YesNo, UiIcon::Question) == UiAnswer::Yes)
        openQueryTool(database);
}

void MainWindow::openQueryTool(const std::string& database) {
    if (queryToolOpener_)
        queryToolOpener_(database);
    else
        appelDlgRequeteur(this, gcontexte.currentFile, database);
}

void MainWindow::commandSqlServerScript() {
    FileDesc* desc = gcontexte.currentFile;
    if (!desc) return;
    // Never the data file the script reads, nor the description.
    const EXPORT_GUARDS guards{desc, std::string()};
    std::string proposed = suggestedFileName(desc, ".sql");
    const std::string folder = startFolder(gcontexte.formatLibrary, desc);
    if (!folder.empty()) proposed = folder + "/" + proposed;
    if (!EXPORT_Refusal(proposed, guards).empty())
        proposed = EXPORT_ProposedPath(folder, ".sql", guards);
    std::optional<std::string> chosen =
        EXPORT_AskTarget("Enregistrer le fichier SQL sous ...",
                         "Fichier de script SQL (*.sql)|*.sql", proposed, guards);
    if (!chosen || chosen->empty()) return;
    UiError refusal;
    int rows = MSSQL_SendDataToSQLServer(desc, desc->ExampleFilePath, chosen->c_str(), 0, &refusal);
    if (!refusal.empty()) {
        // No table name, or a name the scripts cannot hold: nothing is written.
        showError(refusal);
        return;
    }
    if (rows >= 0) {
        // The script is written; nothing was loaded anywhere.
        const QString written = QString("Script SQL écrit : '%1' (%2 ligne(s) de données)")
                                    .arg(QString::fromStdString(*chosen))
                                    .arg(rows);
        SetStatusBarText(written, 0);
        uiPort().messageBox(kCaption, written.toStdString() + ".", UiButtons::Ok, UiIcon::Info);
    } else if (rows == -2) {
        uiPort().messageBox(kCaption, "Impossible de créer le script '" + *chosen + "'.",
                            UiButtons::Ok, UiIcon::Error);
    } else {
        uiPort().messageBox(kCaption,
                            "Le fichier de données exemple de la description ne peut pas être "
                            "lu : le script est vide.",
                            UiButtons::Ok, UiIcon::Warning);
    }
}

void MainWindow::commandHelp() {
    const QString manual = manualPath();
    if (!manual.isEmpty() && openWithDesktop(QUrl::fromLocalFile(manual))) return;
    if (uiPort().messageBox("Fichier d'aide non trouvé",
                            "Impossible de trouver le fichier d'aide. Voulez-vous le télécharger?",
                            UiButtons::YesNo, UiIcon::Question) == UiAnswer::Yes)
        openWithDesktop(QUrl(homePage() + "MorvexFylatek/MorvexFylatek.chm"));
}

void MainWindow::commandDebugBinary() {
    FileDesc* desc = gcontexte.currentFile;
    if (!desc) return;
    trace("\n[ITM_HELP_DEBUGSAVEBINARY] : Enregistrement du format...");
    char formatPath[APPLICATION_DIRECTORY_MAX + 64];
    char paddingPath[APPLICATION_DIRECTORY_MAX + 64];
    FILEDESC_DebugFormatBinPath(gcontexte.logsDirectory, formatPath, sizeof formatPath);
    FILEDESC_DebugPaddingPath(gcontexte.logsDirectory, paddingPath, sizeof paddingPath);
    int failed = EnregistrerFormat(desc, formatPath);
    failed |= DEBUG_SavePadding(desc, paddingPath);
    trace(failed ? "\n[ITM_HELP_DEBUGSAVEBINARY] : -> Erreur"
                 : "\n[ITM_HELP_DEBUGSAVEBINARY] : -> OK");
    SetStatusBarText(fromUtf8(formatPath), 0);
}

void MainWindow::openDirectory(const char* directory) {
    if (!directory || !directory[0]) {
        uiPort().messageBox(kCaption,
                            "Ce répertoire n'est pas encore défini : renseignez-le dans Outils > "
                            "Options.",
                            UiButtons::Ok, UiIcon::Info);
        return;
    }
    openWithDesktop(QUrl::fromLocalFile(fromUtf8(directory)));
}

void MainWindow::showTabMenu(const QPoint& at) {
    int index = tabs_->tabAt(at);
    if (index >= 0 && index != tabs_->currentIndex()) tabs_->setCurrentIndex(index);
    QMenu menu(this);
    menu.addAction(actions_[ITM_FILE_SAVE]);
    menu.addAction(actions_[ITM_FILE_PROPERTIES]);
    menu.addSeparator();
    QAction* close = menu.addAction("Fermer le fichier");
    connect(close, &QAction::triggered, this, [this] { runCommand(ITM_FILE_CLOSEFORMAT); });
    menu.exec(tabs_->mapToGlobal(at));
}

}  // namespace morvex
