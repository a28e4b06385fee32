// The column grid over tzdata's zone table: a type chosen for two selected rows at once saves
// the same description as the detail panel's editor function gives each column, the refused
// values follow the type, one undo takes the edit back, a refused width is told and changes
// nothing.
#include "app/columngriddialog.h"

#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include "app/tests/apptest.h"
#include "appcore/desceditor.h"
#include "filedesc/filedesc.h"
#include "foundation/testing/files.h"
#include "sqliteload/sqlite3dll.h"

using namespace morvex;

class ColumnGridDialogTest : public QObject {
    Q_OBJECT

    apptest::Environment env_;

    // A description of the zone table past its comments, as an analysis would leave it.
    static FileDesc* zoneDescription(const char* name) {
        FileDesc* desc = FILEDESC_CreateFileDesc(name, nullptr, STRUCTFILE_DELIMITED, "\\n", "\\t");
        desc->BeginFromLine = 30;
        FILEDESC_SetExampleFilePath(desc, "/usr/share/zoneinfo/zone1970.tab");
        for (const char* code : {"codes", "coordonnees", "fuseau", "commentaire"}) {
            ColumnDesc fields = DESCEDIT_NewColumnFields(code);
            fields.WidthInChars = 60;
            DESCEDIT_ApplyDetail(desc, nullptr, fields);
        }
        desc->isModified = 0;
        return desc;
    }

private slots:
    void initTestCase() {
        FILEDESC_Initialize();
        QVERIFY(SQLITE3_LoadDLL(nullptr) != nullptr);
    }

    void anEditOfSelectedRowsSavesAsTheDetailPanelWouldAndUndoesInOneStep() {
        FileDesc* desc = zoneDescription("Fuseaux");
        FileDesc* twin = zoneDescription("Fuseaux");
        {
            ColumnGridDialog dialog(desc);
            ColumnGridModel* model = dialog.model();
            QCOMPARE(model->rowCount(), 4);
            QCOMPARE(model->index(0, COLUMNGRID_FIELDS).data().toInt(), 0);
            dialog.grid()->selectRow(0);
            dialog.grid()->selectionModel()->select(
                model->index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
            QVERIFY(model->setData(model->index(2, COLUMNGRID_TYPE), "Entier", Qt::EditRole));
            QCOMPARE(model->index(0, COLUMNGRID_TYPE).data().toString(), QString("Entier"));
            QCOMPARE(model->index(1, COLUMNGRID_TYPE).data().toString(), QString("Chaîne variable"));
            QCOMPARE(model->index(2, COLUMNGRID_TYPE).data().toString(), QString("Entier"));
            QVERIFY(model->index(0, COLUMNGRID_FIELDS).data().toInt() > 300);
            QVERIFY(model->index(2, COLUMNGRID_FIELDS).data().toInt() > 300);
            QCOMPARE(model->index(1, COLUMNGRID_FIELDS).data().toInt(), 0);
            QVERIFY(dialog.undoButton()->isEnabled());
            QCOMPARE(desc->isModified, 1);

            // The same edit through the detail panel's editor function, column by column.
            for (int i : {0, 2}) {
                ColumnDesc* column = DESCEDIT_Columns(twin)[i];
                ColumnDesc fields = *column;
                fields.typeCible = TypeCible{};
                fields.typeCible.type = DATATYPE_INTEGER;
                DESCEDIT_ReadFormat(&fields.typeCible, "Aucun");
                QCOMPARE(QString::fromStdString(DESCEDIT_ApplyDetail(twin, column, fields)),
                         QString());
            }
            const std::string saved = env_.dir().file("grid.fyk");
            const std::string detail = env_.dir().file("detail.fyk");
            QCOMPARE(FILEDESC_SaveToFile(desc, saved.c_str()), 0);
            QCOMPARE(FILEDESC_SaveToFile(twin, detail.c_str()), 0);
            // Byte for byte but the description's own identifier.
            auto withoutUid = [](std::string text) {
                const size_t at = text.find("FILEDESCUID=");
                if (at != std::string::npos) text.erase(at, text.find('\r', at) - at);
                return text;
            };
            QCOMPARE(withoutUid(morvex::testing::readFile(saved)),
                     withoutUid(morvex::testing::readFile(detail)));

            // A width refused for one of the rows changes none of them.
            QVERIFY(!model->setData(model->index(0, COLUMNGRID_WIDTH), "0", Qt::EditRole));
            QVERIFY(!dialog.refusalLabel()->isHidden());
            QCOMPARE(model->index(2, COLUMNGRID_WIDTH).data().toString(), QString("60"));
            // One undo takes the two columns' type back; a flag ticked on the selection.
            QTest::mouseClick(dialog.undoButton(), Qt::LeftButton);
            QCOMPARE(model->index(0, COLUMNGRID_TYPE).data().toString(), QString("Chaîne variable"));
            QCOMPARE(model->index(2, COLUMNGRID_TYPE).data().toString(), QString("Chaîne variable"));
            QCOMPARE(model->index(0, COLUMNGRID_FIELDS).data().toInt(), 0);
            QVERIFY(!dialog.undoButton()->isEnabled());
            QVERIFY(model->setData(model->index(0, COLUMNGRID_MANDATORY), Qt::Checked,
                                   Qt::CheckStateRole));
            QCOMPARE(model->index(2, COLUMNGRID_MANDATORY).data(Qt::CheckStateRole).toInt(),
                     int(Qt::Checked));
            QCOMPARE(model->index(1, COLUMNGRID_MANDATORY).data(Qt::CheckStateRole).toInt(),
                     int(Qt::Unchecked));
        }
        FILEDESC_CloseFileDesc(desc);
        FILEDESC_CloseFileDesc(twin);
    }
};

QTEST_MAIN(ColumnGridDialogTest)
#include "columngriddialog_test.moc"
