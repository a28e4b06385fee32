// The generation dialog over the bundled example description and bundled templates: the process
// list edited through the dialog, a run that writes every file and marks every row, a failing
// template that does not stop the next one.
#include "app/generationdialog.h"

#include <QDir>
#include <QFileInfo>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <cstring>

#include "appcore/application.h"
#include "appcore/processlist.h"
#include "app/tests/apptest.h"
#include "filedesc/filedesc.h"
#include "filedesc/process.h"
#include "foundation/ldcg.h"
#include "template/template.h"

using namespace morvex;

namespace {

std::string source(const std::string& relative) {
    return std::string(MORVEX_SOURCE_DIR_PATH) + "/" + relative;
}

std::string outputOf(FileDesc* desc, int row) {
    const auto& tasks = desc->processes->tasks;
    if (row < 0 || static_cast<size_t>(row) >= tasks.size()) return "";
    const PROCESSTASK* task = tasks[static_cast<size_t>(row)].get();
    return task->outputPath ? task->outputPath : "";
}

}  // namespace

class GenerationDialogTest : public QObject {
    Q_OBJECT

    apptest::Environment env_;
    QtUiPort* port_ = nullptr;
    apptest::Person* person_ = nullptr;
    FileDesc* desc_ = nullptr;

    void addTemplates(GenerationDialog& dialog, const std::vector<std::string>& paths) {
        std::string answer;
        for (const std::string& p : paths) answer += p + "\n";
        person_->files.push_back(answer);
        dialog.addTemplates();
    }

private slots:
    void init() {
        port_ = new QtUiPort;
        person_ = new apptest::Person(*port_);
        FILEDESC_Initialize();
        desc_ = FILEDESC_OpenFileDesc(source("examples/clients.fyk").c_str());
        QVERIFY(desc_);
        // The example's own process is replaced by the templates of each test.
        PROCESSLIST_RemoveRows(desc_, {0, 1, 2, 3, 4});
        QCOMPARE(static_cast<int>(desc_->processes->tasks.size()), 0);
        desc_->isModified = 0;
        snprintf(gcontexte.genTargetDirectory, sizeof gcontexte.genTargetDirectory, "%s",
                 env_.dir().file("generated").c_str());
        QDir().mkpath(QString::fromStdString(env_.dir().file("generated")));
        snprintf(gcontexte.librariesDirectory, sizeof gcontexte.librariesDirectory, "%s",
                 source("templates/lib").c_str());
        TEMPLATE_SetDetailedTrace(false);
    }

    void cleanup() {
        FILEDESC_CloseFileDesc(desc_);
        delete person_;
        delete port_;
    }

    void twoTemplatesAreWrittenAndBothRowsMarked() {
        GenerationDialog dialog(desc_);
        addTemplates(dialog,
                     {source("templates/sqlite_ddl.tpl"), source("templates/datasheet_md.tpl"),
                      source("templates/python_reader.tpl")});
        QCOMPARE(dialog.list()->topLevelItemCount(), 3);
        QCOMPARE(desc_->isModified, 1);
        QCOMPARE(dialog.list()->topLevelItem(1)->text(1), QString("clients"));
        QCOMPARE(dialog.rowState(2), QString("Prêt"));
        // "Supprimer" removes every selected row's task.
        dialog.list()->topLevelItem(2)->setSelected(true);
        dialog.removeSelected();
        QCOMPARE(static_cast<int>(desc_->processes->tasks.size()), 2);

        QVERIFY(dialog.generate());
        QVERIFY(!dialog.generateButton()->isEnabled());
        QVERIFY(dialog.waitForRun());
        QCOMPARE(dialog.rowState(0), QString("Terminé"));
        QCOMPARE(dialog.rowState(1), QString("Terminé"));
        QCOMPARE(dialog.statusLine(), QString("Terminé."));
        QCOMPARE(dialog.progressBar()->value(), 2);
        QVERIFY(dialog.generateButton()->isEnabled());
        QVERIFY(!dialog.stopButton()->isEnabled());
        const std::string first = outputOf(desc_, 0);
        QVERIFY(QFileInfo(QString::fromStdString(first)).size() > 0);
        QVERIFY(QFileInfo(QString::fromStdString(outputOf(desc_, 1))).size() > 0);

        // A double click offers the generated file to the desktop.
        person_->answers.push_back(UiAnswer::Yes);
        dialog.openGenerated(0);
        QCOMPARE(person_->messages.back(),
                 "Template factory|Voulez-vous ouvrir la document généré ?\nFichier:" + first);
        QCOMPARE(person_->opened.back().toLocalFile(), QString::fromStdString(first));
    }

    void aFailingTemplateIsMarkedAndTheNextStillRuns() {
        const std::string broken = env_.dir().write(
            "broken.tpl", "%templatetype MorvexFylatek.Template\n%include absente\nx\n");
        GenerationDialog dialog(desc_);
        addTemplates(dialog, {broken, source("templates/sqlite_ddl.tpl")});
        QVERIFY(dialog.generate());
        QVERIFY(dialog.waitForRun());
        QCOMPARE(dialog.rowState(0), QString("Erreur"));
        QCOMPARE(dialog.rowState(1), QString("Terminé"));
        // The error is told in the window: in the row's Message column and in the summary
        // beside the list, with the file the other template wrote and the folder to open.
        QCOMPARE(dialog.rowMessage(0),
                 QString("(E) Ligne 2 : impossible d'inclure la bibliothèque [%1/absente.tpl].")
                     .arg(QString::fromStdString(source("templates/lib"))));
        QCOMPARE(dialog.rowMessage(1), QString());
        const QString summary = dialog.messagesText();
        QVERIFY2(summary.startsWith("1 fichier(s) écrit(s) dans " + dialog.outputFolder() + " :\n" +
                                    QString::fromStdString(outputOf(desc_, 1))),
                 qPrintable(summary));
        QVERIFY2(summary.endsWith("1 modèle(s) en erreur :\nbroken.tpl : " + dialog.rowMessage(0)),
                 qPrintable(summary));
        QVERIFY(dialog.openFolderButton()->isEnabled());
        dialog.openFolderButton()->click();
        QCOMPARE(person_->opened.back().toLocalFile(), dialog.outputFolder());
        // Selecting the row shows everything it told.
        dialog.list()->setCurrentItem(dialog.list()->topLevelItem(0));
        QVERIFY(dialog.messagesText().contains(dialog.rowMessage(0)));
    }

    void aShippedTemplateGeneratesWithEmptySettings() {
        // No folder in the settings: the shipped templates are offered, their library found,
        // and the files go beside the description once the person agrees.
        gcontexte.templateLibrary[0] = '\0';
        gcontexte.librariesDirectory[0] = '\0';
        gcontexte.genTargetDirectory[0] = '\0';
        FILEDESC_SetFileName(desc_, env_.dir().file("clients.fyk").c_str());
        GenerationDialog dialog(desc_);
        QStringList offered;
        for (int i = 0; i < dialog.offeredTemplates()->topLevelItemCount(); ++i)
            offered << dialog.offeredTemplates()->topLevelItem(i)->text(0);
        QCOMPARE(offered, (QStringList{"datasheet_md", "mssql_ddl", "postgresql_ddl",
                                       "python_reader", "sqlite_ddl"}));
        dialog.addOfferedTemplates(offered.indexOf("sqlite_ddl"));
        QCOMPARE(dialog.list()->topLevelItemCount(), 1);
        person_->answers = {UiAnswer::Yes};
        QVERIFY(dialog.generate());
        QVERIFY(dialog.waitForRun());
        QCOMPARE(dialog.rowState(0), QString("Terminé"));
        QCOMPARE(dialog.rowMessage(0), QString());
        const QString root = QString::fromStdString(env_.dir().file("Fichiers générés"));
        QVERIFY(dialog.outputFolder().startsWith(root + "/"));
        QVERIFY(QFileInfo(QString::fromStdString(outputOf(desc_, 0))).size() > 0);
        FILEDESC_SetFileName(desc_, nullptr);
        desc_->isModified = 0;
    }

    void aMissingOutputFolderIsMadeOnceThePersonAgrees() {
        const std::string root = env_.dir().file("absent/generes");
        snprintf(gcontexte.genTargetDirectory, sizeof gcontexte.genTargetDirectory, "%s",
                 root.c_str());
        GenerationDialog dialog(desc_);
        addTemplates(dialog, {source("templates/sqlite_ddl.tpl")});
        person_->answers = {UiAnswer::No};
        QVERIFY(!dialog.generate());
        QVERIFY(!QFileInfo::exists(QString::fromStdString(root)));
        person_->answers = {UiAnswer::Yes};
        QVERIFY(dialog.generate());
        QVERIFY(dialog.waitForRun());
        QCOMPARE(person_->messages.back(),
                 "Génération de code|Le répertoire des fichiers générés '" + root +
                     "' n'existe pas. Voulez-vous le créer ?");
        QCOMPARE(dialog.rowState(0), QString("Terminé"));
        QVERIFY(dialog.outputFolder().startsWith(QString::fromStdString(root) + "/"));
    }
};

QTEST_MAIN(GenerationDialogTest)
#include "generationdialog_test.moc"
