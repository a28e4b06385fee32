// The description list, the column detail panel and the two previews working on a real
// description and a real example file on disk.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <cstring>
#include <map>
#include <memory>

#include "app/columndetailpanel.h"
#include "appcore/application.h"
#include "appcore/desceditor.h"
#include "app/descriptionlist.h"
#include "app/helppanel.h"
#include "app/pkindexeswindow.h"
#include "app/progresswindow.h"
#include "app/resultpreview.h"
#include "app/sourcepreview.h"
#include "app/tests/apptest.h"
#include "filedesc/filedesc.h"

using namespace morvex;

class DescriptionEditorTest : public QObject {
    Q_OBJECT

    apptest::Environment env_;
    QtUiPort* port_ = nullptr;
    apptest::Person* person_ = nullptr;
    FileDesc* desc_ = nullptr;

    // An example file of `rows` lines "a<n>;b<n>;c<n>".
    std::string exampleFile(int rows) {
        std::string text;
        for (int i = 1; i <= rows; ++i) {
            const std::string n = std::to_string(i);
            text += "a" + n + ";b" + n + ";c" + n + "\r\n";
        }
        return env_.dir().write("example" + std::to_string(rows) + ".txt", text);
    }

    void addColumn(const char* code, int type = DATATYPE_VARIABLECHAR) {
        ColumnDesc c{};
        std::strcpy(c.code, code);
        c.WidthInChars = 3;
        c.typeCible.type = type;
        FILEDESC_AjouterColonne(desc_, &c);
    }

    void setExample(const std::string& path) {
        free(desc_->ExampleFilePath);
        desc_->ExampleFilePath = strdup(path.c_str());
    }

private slots:
    void init() {
        port_ = new QtUiPort;
        person_ = new apptest::Person(*port_);
        FILEDESC_Initialize();
        desc_ = FILEDESC_CreateFileDesc("Projet", nullptr, STRUCTFILE_DELIMITED, "\\r\\n", ";");
        std::strcpy(desc_->TableName, "CLIENT");
        addColumn("A");
        addColumn("B", DATATYPE_DECIMAL);
        addColumn("C");
        gcontexte.currentFile = desc_;
    }

    void cleanup() {
        gcontexte.currentFile = nullptr;
        FILEDESC_CloseFileDesc(desc_);
        delete person_;
        delete port_;
    }

    void theListShowsOneRowPerColumnWithTypeFormatAndAlternateColours() {
        ColumnDesc* b = FILEDESC_SearchColumn(desc_, "B");
        b->typeCible.fmtDecimal = {8, 3};
        DescriptionList list;
        list.RaffraichirListe();
        QCOMPARE(list.topLevelItemCount(), 3);
        QTreeWidgetItem* row = list.topLevelItem(1);
        QCOMPARE(row->text(3), QString("B"));
        QCOMPARE(row->text(6), QString("Décimal"));
        QCOMPARE(row->text(7), QString("(8,3)"));
        QCOMPARE(list.topLevelItem(0)->background(0).color(), QColor(240, 240, 240));
        QCOMPARE(row->background(0).color(), QColor(Qt::white));
        QCOMPARE(list.headerItem()->text(5), QString("Longueur (car.)"));
    }

    void threeSelectedRowsGreyMoveAndEditAndCountTheDeletion() {
        DescriptionList list;
        list.RaffraichirListe();
        for (int i = 0; i < 3; ++i) list.topLevelItem(i)->setSelected(true);
        std::unique_ptr<QMenu> menu(list.createContextMenu(nullptr));
        std::map<int, QAction*> actions;
        for (QAction* a : menu->actions())
            if (!a->isSeparator()) actions[a->data().toInt()] = a;
        QVERIFY(!actions[1081]->isEnabled() && !actions[1082]->isEnabled());
        QVERIFY(!actions[1083]->isEnabled());
        QCOMPARE(actions[1088]->text(), QString("Supprimer les 3 colonnes sélectionnées"));
        QVERIFY(!actions[1089]->isEnabled());  // no example file
        actions[1088]->trigger();
        QCOMPARE(static_cast<int>(desc_->columns.size()), 0);
        QCOMPARE(list.topLevelItemCount(), 0);
    }

    void moveDownKeepsTheColumnSelectedAsTheWorkingRow() {
        DescriptionList list;
        list.RaffraichirListe();
        list.topLevelItem(0)->setSelected(true);
        list.runCommand(1082);
        QCOMPARE(list.topLevelItem(1)->text(3), QString("A"));
        QVERIFY(list.topLevelItem(1)->isSelected());
        QCOMPARE(list.workingRow(), 1);
        QCOMPARE(list.topLevelItem(1)->background(0).color(), QColor(210, 155, 155));
        QCOMPARE(FILEDESC_SearchColumn(desc_, "A")->Position, 2);
    }

    void keysAndIndexesFromTheListShowInTheirGroupsAndCanBeRenamedAndDeleted() {
        DescriptionList list;
        PkIndexesWindow keys;
        connect(&list, &DescriptionList::keysChanged, &keys, &PkIndexesWindow::refresh);
        list.RaffraichirListe();
        QCOMPARE(keys.keyGroup()->child(0)->text(0), QString("<no primary key>"));
        auto select = [&](std::initializer_list<int> rows) {
            list.clearSelection();
            for (int r : rows) list.topLevelItem(r)->setSelected(true);
        };
        select({1, 0});
        list.runCommand(1086);
        select({0, 1});
        list.runCommand(1087);
        select({2});
        list.runCommand(1087);
        select({2});
        list.runCommand(1086);  // a second key replaces the first
        QCOMPARE(keys.keyGroup()->childCount(), 1);
        QCOMPARE(keys.keyGroup()->child(0)->text(0), QString("PK_CLIENT"));
        QCOMPARE(keys.keyGroup()->child(0)->text(1), QString("C"));
        QCOMPARE(keys.indexGroup()->childCount(), 2);
        QCOMPARE(keys.indexGroup()->child(0)->text(1), QString("A, B"));
        QCOMPARE(keys.indexGroup()->child(1)->text(1), QString("C"));

        // In-place renaming, as the editor commits it.
        QSignalSpy changed(&keys, &PkIndexesWindow::keysChanged);
        desc_->isModified = 0;
        keys.indexGroup()->child(1)->setText(0, "IDX_VILLE");
        QCOMPARE(changed.count(), 1);
        QCOMPARE(DESCEDIT_Indexes(desc_)[1]->name, "IDX_VILLE");
        QCOMPARE(desc_->isModified, 1);

        // "Supprimer" on the key row and the first index row.
        keys.keyGroup()->child(0)->setSelected(true);
        keys.indexGroup()->child(0)->setSelected(true);
        std::unique_ptr<QMenu> menu(keys.createContextMenu(nullptr));
        QCOMPARE(menu->actions().first()->text(), QString("Supprimer"));
        menu->actions().first()->trigger();
        QCOMPARE(keys.keyGroup()->child(0)->text(0), QString("<no primary key>"));
        QCOMPARE(keys.indexGroup()->childCount(), 1);
        QCOMPARE(keys.indexGroup()->child(0)->text(0), QString("IDX_VILLE"));
        QVERIFY(!DESCEDIT_HasPrimaryKey(desc_));
    }

    void analysisFromTheListProposesTypesFromTheExampleFileKeepingTheColumns() {
        ProgressWindow::setAutoClose(true);
        // Column B holds decimals with a comma in the first 2 rows only.
        std::string text;
        for (int i = 1; i <= 6; ++i)
            text += "x;" + (i <= 2 ? std::to_string(i) + ",5" : std::string("texte")) + ";z\r\n";
        setExample(env_.dir().write("analyse.txt", text));
        DescriptionList list;
        list.RaffraichirListe();
        std::unique_ptr<QMenu> menu(list.createContextMenu(nullptr));
        for (QAction* a : menu->actions())
            if (a->data().toInt() == 1089 || a->data().toInt() == 1090) QVERIFY(a->isEnabled());
        QSignalSpy changed(&list, &DescriptionList::descriptionChanged);
        gcontexte.fileAnalyseMaxRows = 2;
        list.runCommand(1089);  // no selection needed
        QCOMPARE(changed.count(), 1);
        QCOMPARE(static_cast<int>(desc_->columns.size()), 3);
        ColumnDesc* b = FILEDESC_SearchColumn(desc_, "B");
        QVERIFY(b->stats);
        QCOMPARE(b->typeCible.type, static_cast<int>(DATATYPE_DECIMAL));
        list.runCommand(1090);  // the whole file: texts win
        QCOMPARE(FILEDESC_SearchColumn(desc_, "B")->typeCible.type,
                 static_cast<int>(DATATYPE_VARIABLECHAR));
        QCOMPARE(list.topLevelItem(1)->text(6), QString("Chaîne variable"));
        ProgressWindow::setAutoClose(false);
    }

    void aClickWritesTheMessageAndStatisticsInTheHelpPanel() {
        ColumnDesc* c = FILEDESC_SearchColumn(desc_, "C");
        free(c->message);
        c->message = strdup("Colonne trop courte");
        c->stats = static_cast<COL_TYPE_STATISTICS*>(calloc(1, sizeof(COL_TYPE_STATISTICS)));
        HelpPanel help;
        DescriptionList list;
        list.setHelpPanel(&help);
        list.RaffraichirListe();
        list.topLevelItem(2)->setSelected(true);
        list.showSelectionDetails();
        QString text = help.plainText();
        QVERIFY(text.contains("Colonne trop courte"));
        QVERIFY(text.contains("Statistiques des données de la colonne :"));
        QVERIFY(text.contains("Colonne : C"));
    }

    void thePanelRefusesAnEmptyCodeAndAddsAColumnOtherwise() {
        ColumnDetailPanel panel;
        QVERIFY(panel.addButton()->isEnabled() && !panel.modifyButton()->isEnabled());
        panel.add();
        QCOMPARE(person_->messages.size(), size_t(1));
        QVERIFY(person_->messages[0].rfind("Saisie incorrecte|Veuillez renseigner le CODE", 0) ==
                0);
        QCOMPARE(static_cast<int>(desc_->columns.size()), 3);

        panel.codeField()->setText("MONTANT");
        panel.widthField()->setText("12");
        panel.typeField()->setCurrentIndex(DATATYPE_DECIMAL);
        QCOMPARE(panel.formatField()->count(), 5);
        QCOMPARE(panel.formatField()->currentText(), QString("Aucun"));
        panel.formatField()->setEditText("10,2");
        panel.add();
        ColumnDesc* m = FILEDESC_SearchColumn(desc_, "MONTANT");
        QVERIFY(m);
        QCOMPARE(m->Position, 4);
        QCOMPARE(m->WidthInChars, 12);
        QCOMPARE(m->typeCible.fmtDecimal.partieEntiere, 10);
        QCOMPARE(m->typeCible.fmtDecimal.partieDecimale, 2);
        QCOMPARE(panel.codeField()->text(), QString());
        QCOMPARE(panel.widthField()->text(), QString("1"));
    }

    void modifyModeChangesTheLoadedColumnAndReturnsToAddMode() {
        ColumnDetailPanel panel;
        ColumnDesc* b = FILEDESC_SearchColumn(desc_, "B");
        panel.ChargerDetail(b);
        QVERIFY(!panel.addButton()->isEnabled() && panel.modifyButton()->isEnabled());
        QCOMPARE(panel.codeField()->text(), QString("B"));
        panel.protectionBox()->setChecked(true);
        panel.startCharField()->setText("\"");
        panel.codeField()->setText("B2");
        QTest::keyClick(&panel, Qt::Key_Return);
        QCOMPARE(QString(b->code), QString("B2"));
        QCOMPARE(b->DelimCharStart, '"');
        QVERIFY(!panel.modifyMode());
    }

    void theResultPreviewShowsAtMostNineteenRows() {
        ResultPreview preview;
        setExample(exampleFile(5));
        preview.refresh();
        QCOMPARE(preview.rowCount(), 5);
        QCOMPARE(preview.columnCount(), 3);
        QCOMPARE(preview.item(4, 2)->text(), QString("c5"));
        setExample(exampleFile(100));
        preview.refresh();
        QCOMPARE(preview.rowCount(), 19);
        preview.selectColumn(1);
        QCOMPARE(preview.item(0, 1)->background().color(), QColor(200, 150, 150));
        QCOMPARE(preview.item(0, 0)->background().color(), QColor(240, 240, 240));
        QCOMPARE(preview.item(1, 0)->background().color(), QColor(Qt::white));
    }

    void theResultPreviewStaysEmptyWithoutAReadableFile() {
        ResultPreview preview;
        setExample(env_.dir().file("missing.txt"));
        preview.refresh();
        QCOMPARE(preview.rowCount(), 0);
        gcontexte.currentFile = nullptr;
        preview.refresh();
        QCOMPARE(preview.columnCount(), 0);
    }

    void theSourcePreviewShowsTenLinesFromTheFirstLineToImport() {
        desc_->BeginFromLine = 3;
        SourcePreview preview;
        preview.reload(QString::fromStdString(exampleFile(100)));
        QStringList lines = preview.toPlainText().split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 10);
        QVERIFY(lines.front().startsWith("a3;"));
        QVERIFY(lines.back().startsWith("a12;"));
        preview.reload(QString::fromStdString(env_.dir().file("missing.txt")));
        QCOMPARE(preview.toPlainText(), QString());
    }
};

QTEST_MAIN(DescriptionEditorTest)
#include "descriptioneditor_test.moc"
