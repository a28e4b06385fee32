// What the desktop programs share about Qt: the French translation really reaches the standard
// buttons, Qt's messages land in the trace marked as Qt's, and fitted columns show their
// content whole.
#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>
#include <QtTest>

#include "desktop/columnfit.h"
#include "desktop/filedialog.h"
#include "desktop/qtmessages.h"
#include "desktop/translations.h"
#include "foundation/trace.h"

using namespace morvex;

namespace {

// The widest text of column `c` (title included) as the view draws it.
int contentWidth(QAbstractItemView& view, int c) {
    return columnContentWidth(&view, c);
}

// The widest value of column `c`, title left aside.
int valuesWidth(QAbstractItemView& view, int c) {
    return view.sizeHintForColumn(c);
}

}  // namespace

class DesktopTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(!installQtFrenchTranslations(qApp).isEmpty()); }

    void standardButtonsAndFileDialogsSpeakFrench() {
        QMessageBox box(QMessageBox::Question, "Remplacer le fichier", "Remplacer ?",
                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        QCOMPARE(box.button(QMessageBox::Yes)->text().remove('&'), QString("Oui"));
        QCOMPARE(box.button(QMessageBox::No)->text().remove('&'), QString("Non"));
        QCOMPARE(box.button(QMessageBox::Cancel)->text().remove('&'), QString("Annuler"));

        QDialogButtonBox buttons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
        QCOMPARE(buttons.button(QDialogButtonBox::Cancel)->text().remove('&'),
                 QString("Annuler"));

        // Qt's own file dialog (the one shown where no desktop portal answers).
        QFileDialog files(nullptr, "Ouvrir un fichier de format...");
        files.setOption(QFileDialog::DontUseNativeDialog);
        QCOMPARE(files.labelText(QFileDialog::Reject).remove('&'), QString("Annuler"));
        QVERIFY2(files.labelText(QFileDialog::LookIn).startsWith("Voir dans"),
                 qPrintable(files.labelText(QFileDialog::LookIn)));
    }

    void qtMessagesGoIntoTheTraceMarkedAsQts() {
        TraceCapture capture;
        trace("\n[programme] avant");
        QtMessageHandler previous = routeQtMessagesToTrace();
        qWarning("Le greffon ne sait pas faire %d", 3);
        qCritical("Plus rien");
        qInstallMessageHandler(previous);
        trace("\n[programme] après");
        QCOMPARE(QString::fromStdString(capture.text()),
                 QString("\n[programme] avant"
                         "\n[Qt] Avertissement : Le greffon ne sait pas faire 3"
                         "\n[Qt] Erreur : Plus rien"
                         "\n[programme] après"));
    }

    // Short and long values, a title wider than its values: each column as wide as what it
    // shows, the last one to the right edge.
    void fittedColumnsShowEveryValueWholeAndTheLastStretches() {
        QTreeWidget view;
        view.setHeaderLabels({"Num. col", "Code", "Description", "Longueur (car.)", "Type"});
        new QTreeWidgetItem(&view, {"1", "IX_CLIENTS_NOM_PRENOM", "Nom", "10", "Chaîne variable"});
        new QTreeWidgetItem(&view, {"12", "ID", "Identifiant du client dans la gestion", "1",
                                    "Date et Heure"});
        view.resize(900, 300);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        fitColumns(&view);
        int used = 0;
        for (int c = 0; c < view.columnCount(); ++c) {
            QVERIFY2(view.columnWidth(c) >= contentWidth(view, c), qPrintable(QString::number(c)));
            used += view.columnWidth(c);
        }
        QCOMPARE(used, view.viewport()->width());  // the last one runs to the edge
    }

    // Too narrow for everything: the free-text column gives up room first, the others stay
    // whole.
    void theElasticColumnGivesUpRoomDownToItsTitle() {
        QTreeWidget view;
        view.setHeaderLabels({"Code", "Description", "Type", "Format"});
        new QTreeWidgetItem(&view, {"NAISSANCE", QString(80, 'x'), "Chaîne variable", "10 car."});
        view.resize(500, 200);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        fitColumns(&view, 1);
        for (int c : {0, 2, 3})
            QVERIFY2(view.columnWidth(c) >= contentWidth(view, c), qPrintable(QString::number(c)));
        QVERIFY(view.columnWidth(1) < valuesWidth(view, 1));
        QVERIFY(view.columnWidth(1) >= view.header()->sectionSizeHint(1));
        int used = 0;
        for (int c = 0; c < view.columnCount(); ++c) used += view.columnWidth(c);
        QVERIFY(used <= view.viewport()->width());
    }

    // A last column wider than the view keeps what it shows: the view scrolls to it.
    void aLastColumnTooWideForTheViewKeepsItsContentWidth() {
        QTreeWidget view;
        view.setHeaderLabels({"Application/Extension", "Statut", "Fichier"});
        new QTreeWidgetItem(&view, {"install.cmd", "Terminé.",
                                    "https://morvex-fylatek.example.org/releases/" + QString(60, 'x')});
        view.resize(400, 200);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        fitColumns(&view);
        for (int c = 0; c < view.columnCount(); ++c)
            QVERIFY2(view.columnWidth(c) >= contentWidth(view, c), qPrintable(QString::number(c)));
    }

    // Rows that arrive later (a status that grows from "En cours..." to "Terminé.") are fitted
    // without being asked.
    void keptColumnsFollowTheRowsThatChange() {
        QTableWidget table(1, 3);
        table.setHorizontalHeaderLabels({"Application/Extension", "Statut", "Fichier"});
        table.setItem(0, 0, new QTableWidgetItem("a.zip"));
        table.setItem(0, 1, new QTableWidgetItem("OK"));
        table.resize(700, 200);
        table.show();
        QVERIFY(QTest::qWaitForWindowExposed(&table));
        keepColumnsFitted(&table);
        table.item(0, 1)->setText("En cours de téléchargement, patientez...");
        QTRY_VERIFY(table.columnWidth(1) >= valuesWidth(table, 1));
        QVERIFY(table.columnWidth(1) > table.horizontalHeader()->sectionSizeHint(1));
    }

    // Qt's save dialog as the programs show it asks, in French, before an existing file is
    // replaced; No leaves the dialog open and the file as it was.
    void aSaveDialogAsksInFrenchBeforeReplacingAFile() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString existing = dir.filePath("resultats.csv");
        QFile file(existing);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("à garder");
        file.close();
        QFileDialog dialog(nullptr, "Exporter les données...");
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        prepareFileDialog(dialog);
        QVERIFY(!dialog.testOption(QFileDialog::DontConfirmOverwrite));
        QVERIFY(dialog.testOption(QFileDialog::DontUseNativeDialog));
        dialog.setDirectory(dir.path());
        dialog.selectFile("resultats.csv");
        dialog.setAttribute(Qt::WA_DontShowOnScreen);
        dialog.show();
        QString question;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            question = box->text();
            box->button(QMessageBox::No)->click();
        });
        static_cast<QDialog&>(dialog).accept();  // QFileDialog's own is protected
        QVERIFY2(question.contains("existe déjà"), qPrintable(question));
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(file.readAll()), QString("à garder"));
    }

    // The file list words sizes, kinds and dates in French whatever the system's language,
    // and its columns show their titles whole.
    void theFileListSpeaksFrenchWithColumnsWideEnoughForTheirTitles() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(QDir(dir.path()).mkdir("sous-dossier"));
        QFile file(dir.filePath("clients.csv"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(3000, 'x'));
        file.close();
        QFileDialog dialog(nullptr, "Ouvrir");
        prepareFileDialog(dialog);
        dialog.setDirectory(dir.path());
        dialog.setAttribute(Qt::WA_DontShowOnScreen);
        dialog.show();
        QAbstractItemModel* list = dialog.proxyModel();
        QVERIFY(list);
        QCOMPARE(list->headerData(1, Qt::Horizontal).toString(), QString("Taille"));
        QCOMPARE(list->headerData(3, Qt::Horizontal).toString(), QString("Date de modification"));
        auto* view = dialog.findChild<QTreeView*>("treeView");
        QVERIFY(view);
        QTRY_COMPARE(view->model()->rowCount(view->rootIndex()), 2);
        QStringList cells;
        for (int row = 0; row < 2; ++row)
            for (int column = 1; column < 4; ++column)
                cells << view->model()->index(row, column, view->rootIndex()).data().toString();
        const QString all = cells.join('|');
        QVERIFY2(all.contains("Dossier") && all.contains("Fichier csv") && all.contains("2,9 ko"),
                 qPrintable(all));
        for (const char* english : {"KiB", "Folder", "File", "Dec", "AM", "PM"})
            QVERIFY2(!all.contains(english), qPrintable(all));
        // Each title whole once the list is fitted.
        QApplication::processEvents();
        for (int column = 0; column < 4; ++column) {
            const QString title = list->headerData(column, Qt::Horizontal).toString();
            QVERIFY2(view->header()->sectionSize(column) >=
                         view->header()->fontMetrics().horizontalAdvance(title),
                     qPrintable(title));
        }
    }
};

QTEST_MAIN(DesktopTest)
#include "desktop_test.moc"
