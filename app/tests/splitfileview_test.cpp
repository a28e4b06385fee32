// The split-file view over a real example file: loading, stopping, status texts and export.
#include "app/splitfileview.h"

#include <QAction>
#include <QTableView>
#include <QTest>
#include <cstring>
#include <fstream>
#include <sstream>

#include "appcore/application.h"
#include "app/tests/apptest.h"
#include "filedesc/filedesc.h"

using namespace morvex;

class SplitFileViewTest : public QObject {
    Q_OBJECT

    apptest::Environment env_;
    QtUiPort* port_ = nullptr;
    apptest::Person* person_ = nullptr;
    FileDesc* desc_ = nullptr;

    void useRows(int rows) {
        std::string text;
        for (int i = 1; i <= rows; ++i)
            text += "a" + std::to_string(i) + ";b;c" + std::to_string(i) + "\n";
        std::string path = env_.dir().write("split" + std::to_string(rows) + ".txt", text);
        free(desc_->ExampleFilePath);
        desc_->ExampleFilePath = strdup(path.c_str());
    }

    static void waitUntilLoaded(SplitFileView& view) {
        QTRY_VERIFY_WITH_TIMEOUT(!view.loading(), 10000);
    }

private slots:
    void init() {
        port_ = new QtUiPort;
        person_ = new apptest::Person(*port_);
        FILEDESC_Initialize();
        desc_ = FILEDESC_CreateFileDesc("Projet", nullptr, STRUCTFILE_DELIMITED, "\\n", ";");
        for (const char* code : {"A", "B", "C"}) {
            ColumnDesc c{};
            std::strcpy(c.code, code);
            c.WidthInChars = 4;
            FILEDESC_AjouterColonne(desc_, &c);
        }
        gcontexte.currentFile = desc_;
    }

    void cleanup() {
        gcontexte.currentFile = nullptr;
        FILEDESC_CloseFileDesc(desc_);
        delete person_;
        delete port_;
    }

    void loadsEveryRowAndReadsTheShownOnesFromTheFile() {
        useRows(3000);
        SplitFileView view;
        waitUntilLoaded(view);
        QCOMPARE(view.statusText(0), QString("Terminé."));
        QCOMPARE(view.statusText(2), QString("3000 ligne(s)"));
        QCOMPARE(view.model()->rowCount(), 3000);
        QCOMPARE(view.model()->index(2499, 2).data().toString(), QString("c2500"));
        QCOMPARE(view.model()->index(0, 0).data().toString(), QString("a1"));
        QCOMPARE(view.model()->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QString("B"));
        QVERIFY(!view.stopAction()->isEnabled());
    }

    void stoppingShowsThePartialLoadTexts() {
        useRows(200000);
        SplitFileView view;
        view.stopLoading();
        waitUntilLoaded(view);
        QCOMPARE(view.statusText(0), QString("Terminé (chargement interrompu)."));
        const int rows = view.model()->rowCount();
        QVERIFY(rows < 200000);
        QCOMPARE(view.statusText(2),
                 QString("%1 ligne(s) chargées (fichier partiellement chargé)").arg(rows));
    }

    void exportsTwoRowsOfThreeFieldsEachEndingWithASemicolon() {
        useRows(2);
        SplitFileView view;
        waitUntilLoaded(view);
        const std::string out = env_.dir().file("out.csv");
        QVERIFY(view.exportTo(QString::fromStdString(out)));
        std::ifstream in(out, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        QCOMPARE(QString::fromStdString(text.str()), QString("a1;b;c1;\r\na2;b;c2;\r\n"));
        QCOMPARE(view.statusText(0), QString("2 ligne(s) exportée(s)"));
        const std::string missing = env_.dir().file("no/dir/out.csv");
        QVERIFY(!view.exportTo(QString::fromStdString(missing)));
        QCOMPARE(person_->messages.back(),
                 "Exportation|Impossible d'ouvrir le fichier spécifié.\nImpossible d'écrire le "
                 "fichier '" +
                     missing + "' : le dossier n'existe pas.");
    }

    void aMissingFileEndsTheLoadWithNoRows() {
        free(desc_->ExampleFilePath);
        desc_->ExampleFilePath = strdup(env_.dir().file("missing.txt").c_str());
        SplitFileView view;
        waitUntilLoaded(view);
        QCOMPARE(view.model()->rowCount(), 0);
    }
};

QTEST_MAIN(SplitFileViewTest)
#include "splitfileview_test.moc"
