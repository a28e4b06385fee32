// The generation dialog over the bundled example description and bundled templates: the process
// list edited through the dialog, a run that writes every file and marks every row, a failing
// template that does not stop the next one.
#include "app/generationdialog.h"

#include <QFileInfo>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <cstring>

#include "app/core/application.h"
#include "app/core/processlist.h"
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
    int i = 0;
    for (LDCG_ELT* e = desc->processes->tasks->first; e; e = e->next, ++i) {
        auto* task = static_cast<PROCESSTASK*>(e->lParam1);
        if (i == row) return task->outputPath ? task->outputPath : "";
    }
    return "";
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
        QCOMPARE(LDCG_Count(desc_->processes->tasks), 0);
        desc_->isModified = 0;
        snprintf(gcontexte.genTargetDirectory, sizeof gcontexte.genTargetDirectory, "%s",
                 env_.dir().file("generated").c_str());
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
        QCOMPARE(LDCG_Count(desc_->processes->tasks), 2);

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
        const std::string broken =
            env_.dir().write("broken.tpl", "%templatetype MorvexFylatek.Template\n%if 1 == 1\nx\n");
        GenerationDialog dialog(desc_);
        addTemplates(dialog, {broken, source("templates/sqlite_ddl.tpl")});
        QVERIFY(dialog.generate());
        QVERIFY(dialog.waitForRun());
        QCOMPARE(dialog.rowState(0), QString("Erreur"));
        QCOMPARE(dialog.rowState(1), QString("Terminé"));
    }
};

QTEST_MAIN(GenerationDialogTest)
#include "generationdialog_test.moc"
