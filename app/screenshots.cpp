#include "app/screenshots.h"

#include <QApplication>
#include <QItemSelectionModel>
#include <QTableView>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QThread>

#include "app/columndetailpanel.h"
#include "app/columngriddialog.h"
#include "appcore/application.h"
#include "appcore/desceditor.h"
#include "appcore/loadsummary.h"
#include "app/descriptionlist.h"
#include "desktop/pictures.h"
#include "app/dictionarywindow.h"
#include "app/generationdialog.h"
#include "app/helppanel.h"
#include "app/mainwindow.h"
#include "app/profilepanel.h"
#include "app/mssqlparamswindow.h"
#include "app/optionsdialog.h"
#include "app/pgloaddialog.h"
#include "app/pkindexeswindow.h"
#include "app/progresswindow.h"
#include "app/projectpropertiesdialog.h"
#include "app/querytoolwindow.h"
#include "app/splashwindow.h"
#include "app/splitfileview.h"
#include "app/textimportdialog.h"
#include "appcore/processlist.h"
#include "datadic/dico.h"
#include "datafile/detect.h"
#include "filedesc/analyse.h"
#include "filedesc/filedesc.h"
#include "filedesc/process.h"
#include "foundation/appsettings.h"
#include "foundation/datadir.h"
#include "foundation/task.h"
#include "foundation/trace.h"
#include "mssql/mssql.h"
#include "pgload/pgload.h"
#include "sqliteload/sqlite4fyk.h"
#include "template/template.h"

namespace morvex {

namespace {

bool save(QWidget& widget, const QString& directory, const char* name) {
    widget.setAttribute(Qt::WA_DontShowOnScreen);
    widget.show();
    QApplication::processEvents();
    const QString path = directory + "/morvex-" + name + ".png";
    bool ok = widget.grab().save(path);
    trace("\n[screenshots] %s : %s", path.toUtf8().constData(), ok ? "OK" : "Erreur");
    return ok;
}

// A load that stops at 42 % until it is asked to stop, for the picture of the progress window.
void pictureWorker(TASK* task) {
    TASK_Report(task, TASK_EVENT_PROGRESS, 100, 42, "Chargement des données : 42 000 lignes lues");
    while (!TASK_IsStopRequested(task)) QThread::msleep(5);
}

// The generation window after a run of `templates` over the current description, in a process
// of their own in place of the description's, into `scratch`.
bool drawGeneration(const QString& directory, const QString& scratch,
                    const std::vector<std::string>& templates, const char* name) {
    FileDesc* desc = gcontexte.currentFile;
    char target[sizeof gcontexte.genTargetDirectory];
    memcpy(target, gcontexte.genTargetDirectory, sizeof target);
    snprintf(gcontexte.genTargetDirectory, sizeof gcontexte.genTargetDirectory, "%s",
             (scratch + "/generes").toUtf8().constData());
    QDir().mkpath(scratch + "/generes");
    PROCESS* own = desc->processes;
    desc->processes = PROCESS_Create();
    const int modified = desc->isModified;
    PROCESSLIST_AddTemplates(desc, templates);
    bool ok = true;
    {
        TEMPLATE_SetDetailedTrace(false);
        GenerationDialog generation(desc);
        generation.generate();
        generation.waitForRun();
        ok = save(generation, directory, name);
        TEMPLATE_SetDetailedTrace(true);
    }
    PROCESS_Destroy(desc->processes);
    desc->processes = own;
    desc->isModified = modified;
    memcpy(gcontexte.genTargetDirectory, target, sizeof target);
    return ok;
}

// The load of the example into the schema "exemple" of `conninfo` as the desktop's command
// runs it, the sentence it ends with, and the query tool on the table it loaded.
bool drawPostgresql(const QString& directory, const std::string& conninfo) {
    FileDesc* desc = gcontexte.currentFile;
    PGLOAD_OPTIONS options;
    options.schema = "exemple";
    options.load.mode = LOADMODE_REPLACE;
    SQLITE4FYK_LOADSTATS stats{};
    ProgressWindow::setAutoClose(true);
    PGLOAD_RunLoadTask(desc, conninfo.c_str(), 0, &stats, &options);
    ProgressWindow::setAutoClose(false);
    const std::string shown = PGLOAD_DescribeConnection(conninfo);
    const std::string table = options.schema + "." + desc->TableName;
    bool ok = stats.status == SQLITE4FYK_LOAD_DONE;
    if (!ok) trace("\n[screenshots] PostgreSQL : %s", stats.failure);
    ok &= drawMessageBox(directory + "/morvex-pgload-outcome.png", "Chargement du fichier de données",
                         QString::fromStdString(LOAD_Outcome(stats, shown, table)),
                         QMessageBox::Ok, QMessageBox::Information);
    QueryToolWindow query;
    query.setPostgresqlConnection(conninfo, shown);
    query.editor()->setPlainText(QString("SELECT *\nFROM %1.%2\nORDER BY 1")
                                     .arg(QString::fromStdString(PGLOAD_QuoteName("exemple")),
                                          QString::fromStdString(PGLOAD_QuoteName(desc->TableName))));
    query.executerRequete();
    query.waitForRun();
    ok &= query.model()->rowCount() > 0;
    ok &= save(query, directory, "query-postgresql");
    return ok;
}

// What the load of the example into SQLite tells, the query tool after a query on it, and the
// generation dialog after a run of two bundled templates; all work in `scratch`.
bool drawQueryAndGeneration(const QString& directory, const QString& scratch) {
    FileDesc* desc = gcontexte.currentFile;
    bool ok = true;
    const std::string db = (scratch + "/exemple.db").toStdString();
    ProgressWindow::setAutoClose(true);
    SQLITE4FYK_LOADSTATS stats{};
    SQLITE4FYK_LOADOPTIONS options;
    options.dataPath = desc->ExampleFilePath ? desc->ExampleFilePath : "";
    SQLITE4FYK_RunLoadTask(desc, db.c_str(), 0, &stats, &options);
    ProgressWindow::setAutoClose(false);
    // What the person is told once the load has ended.
    ok &= drawMessageBox(directory + "/morvex-load-outcome.png", "Requêteur SQLite",
                         QString::fromStdString(LOAD_Outcome(stats, db, desc->TableName) +
                                                "\nVoulez-vous les consulter dans le requêteur "
                                                "SQLite ?"),
                         QMessageBox::Yes | QMessageBox::No, QMessageBox::Question);
    {
        QueryToolWindow query;
        query.setDatabasePath(QString::fromStdString(db));
        query.editor()->setPlainText(QString("SELECT *\nFROM \"%1\"\nORDER BY 1")
                                         .arg(QString::fromUtf8(desc->TableName)));
        query.executerRequete();
        query.waitForRun();
        // Sorted by its second column, descending, as by two clicks on its title.
        query.sortBy(1, Qt::DescendingOrder);
        query.waitForSort();
        ok &= save(query, directory, "query");
        // A mistyped query: the error under the editor, the previous result kept.
        query.editor()->setPlainText(QString("SELECT *\nFROM \"%1\"\nWHERE nom_inconnu = 1")
                                         .arg(QString::fromUtf8(desc->TableName)));
        query.executerRequete();
        query.waitForRun();
        ok &= save(query, directory, "query-error");
    }

    // Two shipped templates in a process of their own, in place of the example's.
    const QString templates = QString::fromStdString(templatesDirectoryOf(gcontexte));
    ok &= drawGeneration(directory, scratch,
                         {(templates + "/sqlite_ddl.tpl").toStdString(),
                          (templates + "/datasheet_md.tpl").toStdString()},
                         "generation");
    return ok;
}

// The generation window after a run with a template in error, and Qt's question before an
// existing file is replaced; both work in `scratch`.
bool drawOutcomes(const QString& directory, const QString& scratch) {
    bool ok = true;
    // A template whose library is missing beside a bundled one that works.
    const QString broken = scratch + "/rapport.tpl";
    QFile file(broken);
    if (file.open(QIODevice::WriteOnly))
        file.write("%templatetype MorvexFylatek.Template\n%include absente\nx\n");
    file.close();
    const QString templates = QString::fromStdString(templatesDirectoryOf(gcontexte));
    ok &= drawGeneration(directory, scratch,
                         {broken.toStdString(), (templates + "/sqlite_ddl.tpl").toStdString()},
                         "generation-error");

    ok &= drawReplaceQuestion(directory + "/morvex-replace.png", scratch);
    return ok;
}

// The dictionary window over a dictionary of `scratch` that holds the example's columns and a
// few more, with a search typed; the text import dialog with rows pasted from a spreadsheet;
// the SQL Server parameters window filled from the bundled example's parameters.
bool drawDictionaryImportAndSqlServer(const QString& directory, const QString& scratch) {
    FileDesc* desc = gcontexte.currentFile;
    bool ok = true;
    char dictionaries[sizeof gcontexte.dictionnariesDirectory];
    memcpy(dictionaries, gcontexte.dictionnariesDirectory, sizeof dictionaries);
    snprintf(gcontexte.dictionnariesDirectory, sizeof gcontexte.dictionnariesDirectory, "%s",
             scratch.toUtf8().constData());
    DICO_Open(DICO_DefaultPath(gcontexte.dictionnariesDirectory).c_str());
    for (const ColumnOwner& column : desc->columns)
        DICO_AddObject(desc->DatabaseName, desc->TableName, column.get());
    const struct {
        const char* code;
        const char* description;
        const char* table;
    } more[] = {{"CLI_CODE", "Code du client dans la comptabilité", "COMPTES"},
                {"CLI_SIRET", "Numéro SIRET du client", "FACTURES"},
                {"FAC_NUMERO", "Numéro de la facture", "FACTURES"},
                {"FAC_MONTANT", "Montant TTC de la facture", "FACTURES"},
                {"DATE_CREATION", "Date de création de la fiche client", "COMPTES"}};
    for (const auto& m : more) {
        ColumnDesc c{};
        snprintf(c.code, sizeof c.code, "%s", m.code);
        snprintf(c.Description, sizeof c.Description, "%s", m.description);
        c.WidthInChars = 20;
        c.typeCible.type = DATATYPE_VARIABLECHAR;
        c.typeCible.fmtChaineVar.tailleMax = 20;
        DICO_AddObject("GESTION", m.table, &c);
        DICO_AddObject("COMPTA", "CLIENTS", &c);
    }
    DICO_Save(DICO_Current());
    {
        DictionaryWindow dictionary(DICO_DefaultPath(gcontexte.dictionnariesDirectory));
        dictionary.finishLoading();
        ok &= save(dictionary, directory, "dictionary");
        dictionary.searchField()->setText("client");
        ok &= save(dictionary, directory, "dictionary-search");
    }
    DICO_Close();
    memcpy(gcontexte.dictionnariesDirectory, dictionaries, sizeof dictionaries);

    {
        TextImportDialog import;
        QFile rows(QString::fromStdString(dataPath(std::string(DATADIR_LAYOUTS) + "/text_tab.txt")));
        if (rows.open(QIODevice::ReadOnly))
            import.textArea()->setPlainText(QString::fromUtf8(rows.readAll()));
        ok &= save(import, directory, "textimport");
    }

    {
        MSSQL_PARAMS params;
        MSSQL_InitParams(&params);
        ChargerParametres(&params, dataPath(std::string(DATADIR_EXAMPLES) + "/clients.prm").c_str());
        MssqlParamsWindow parameters(&params, desc);
        ok &= save(parameters, directory, "mssqlparams");
    }
    {
        PgLoadDialog connection(nullptr, desc);
        ok &= save(connection, directory, "pgload");
        PgLoadDialog queryConnection(nullptr, desc, PgLoadDialog::Purpose::Query);
        ok &= save(queryConnection, directory, "pgquery");
    }
    // Against a live server when the screenshots script started one (its connection string
    // in MORVEX_SCREENSHOT_POSTGRESQL): the outcome of the example's load, then the query tool
    // on the loaded table.
    if (const char* conninfo = getenv("MORVEX_SCREENSHOT_POSTGRESQL"); conninfo && *conninfo)
        ok &= drawPostgresql(directory, conninfo);
    return ok;
}

}  // namespace

int takeScreenshots(MainWindow& main, const QString& directory) {
    QDir().mkpath(directory);
    bool ok = true;

    gcontexte.helpFrameWidth = 330;  // room for the key and index names
    main.resize(pictureScreenSize());  // the whole screen, as the program starts maximised
    if (!main.resultViewShown()) main.runCommand(ITM_VIEW_RESULT);
    ok &= save(main, directory, "main");
    if (gcontexte.currentFile) {
        // The description list after a type analysis of the example file, with a column's
        // statistics in the help panel, a key and an index.
        DescriptionList* list = main.columnListView();
        ProgressWindow::setAutoClose(true);
        list->runCommand(ITM_COL_ANALYSE);
        ProgressWindow::setAutoClose(false);
        auto selectRows = [list](std::initializer_list<int> rows) {
            list->clearSelection();
            for (int row : rows)
                if (row < list->topLevelItemCount()) list->topLevelItem(row)->setSelected(true);
        };
        selectRows({0});
        list->runCommand(ITM_COL_PRIMARYKEY);
        selectRows({1, 2});
        list->runCommand(ITM_COL_NEWINDEX);
        selectRows({5});
        list->showSelectionDetails();
        // The selected column's profile, once its worker has read the example file.
        main.profilePanel()->waitForWorker();
        list->showSelectionDetails();
        ok &= save(main, directory, "list");
        ok &= save(*main.profilePanel(), directory, "profile");
        ok &= save(*main.keysWindow(), directory, "keys");
        list->runCommand(ITM_COL_EDIT);
        ok &= save(*main.columnDetail(), directory, "detail");
        main.columnDetail()->cancel();
        {
            // The column grid with two rows given a type some of their values do not fit.
            ColumnGridDialog grid(gcontexte.currentFile);
            ColumnGridModel* model = grid.model();
            grid.grid()->selectRow(1);
            grid.grid()->selectionModel()->select(
                model->index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
            model->setData(model->index(1, COLUMNGRID_TYPE), "Entier", Qt::EditRole);
            ok &= save(grid, directory, "column-grid");
            model->undo();
        }
        ProjectPropertiesDialog properties(gcontexte.currentFile, false);
        ok &= save(properties, directory, "properties");
        {
            // The wizard on tzdata's zone table: comment lines and rows of three or four
            // fields, marked in its preview.
            FileDesc* fresh =
                FILEDESC_CreateFileDesc("Fuseaux", nullptr, STRUCTFILE_DELIMITED, "\\n", ";");
            FILEDESC_SetExampleFilePath(fresh, "/usr/share/zoneinfo/zone1970.tab");
            {
                ProjectPropertiesDialog wizard(fresh, true);
                // Past the comment lines, without a header: the rows of four fields stand out.
                wizard.headerBox()->setChecked(false);
                wizard.firstLineField()->setValue(30);
                ok &= save(wizard, directory, "wizard-preview");
            }
            FILEDESC_CloseFileDesc(fresh);
        }
        {
            // The wizard on a fixed-width export of a published table: the columns found from
            // its rows, their boundaries draggable in the preview, the padding trimmed.
            const std::string weather = QDir::current()
                                            .absoluteFilePath("datafile/tests/data/fixedwidth/weather.txt")
                                            .toStdString();
            FileDesc* fresh =
                FILEDESC_CreateFileDesc("Météo", nullptr, STRUCTFILE_DELIMITED, "\\n", ";");
            FILEDESC_SetExampleFilePath(fresh, weather.c_str());
            FILEDESC_ApplyShape(fresh, DATAFILE_DetectShape(DATAFILE_ReadSample(weather.c_str())));
            {
                ProjectPropertiesDialog wizard(fresh, true);
                ok &= save(wizard, directory, "wizard-fixed");
            }
            FILEDESC_CloseFileDesc(fresh);
        }
        SplitFileView split;
        QElapsedTimer loading;
        loading.start();
        while (split.loading() && loading.elapsed() < 5000)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        ok &= save(split, directory, "split");
        QTemporaryDir scratch;
        ok &= scratch.isValid() && drawQueryAndGeneration(directory, scratch.path());
        ok &= scratch.isValid() && drawOutcomes(directory, scratch.path());
        ok &= scratch.isValid() && drawDictionaryImportAndSqlServer(directory, scratch.path());
    }

    SplashWindow splash;
    splash.setAttribute(Qt::WA_DeleteOnClose, false);
    splash.setRange(0, 10);
    splash.setProgress(5);
    splash.setStatus("Chargement des fichiers de description...");
    ok &= save(splash, directory, "splash");

    OptionsDialog options(&gcontexte);
    ok &= save(options, directory, "options");

    TASKSLIST* tasks = TASKSLIST_Create();
    TASK* task = TASK_Create("Chargement du fichier de données", pictureWorker, nullptr);
    TASKSLIST_AddTask(tasks, task);
    {
        ProgressWindow progress;
        progress.start(tasks);
        QElapsedTimer clock;
        clock.start();
        while (progress.progressValue() != 42 && clock.elapsed() < 5000)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        ok &= save(progress, directory, "progress");
        progress.requestStop();
        progress.waitForWorker();
    }
    TASKSLIST_Destroy(tasks);

    HelpPanel help;
    help.resize(280, 640);
    help.EcrireMessageInfo(1);
    ok &= save(help, directory, "help");
    return ok ? 0 : 1;
}

}  // namespace morvex
