// The data dictionary window over a real dictionary file: the list and its search, a double
// click that appends the object's definition to the current description, columns sent from a
// description shown and saved, a file cut in the middle told and never written over, and a
// large file read on the worker while the window stays usable.
#include "app/dictionarywindow.h"

#include <QLineEdit>
#include <QTest>
#include <QTreeView>
#include <cstring>
#include <fstream>
#include <sstream>

#include "appcore/application.h"
#include "appcore/desceditor.h"
#include "desktop/columnfit.h"
#include "app/tests/apptest.h"
#include "datadic/dico.h"
#include "filedesc/filedesc.h"

using namespace morvex;

namespace {

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

ColumnDesc column(const char* code, const char* description, int width, int type) {
    ColumnDesc c{};
    snprintf(c.code, sizeof c.code, "%s", code);
    snprintf(c.Description, sizeof c.Description, "%s", description);
    c.WidthInChars = width;
    c.typeCible.type = type;
    c.typeCible.fmtChaineVar.tailleMax = width;
    c.typeCible.fmtDecimal = {10, 2};
    return c;
}

}  // namespace

class DictionaryWindowTest : public QObject {
    Q_OBJECT

    apptest::Environment env_;
    QtUiPort* port_ = nullptr;
    apptest::Person* person_ = nullptr;
    FileDesc* desc_ = nullptr;
    std::string path_;

    // The window once its read has ended and its list is shown (the event loop turning).
    static bool loaded(DictionaryWindow* window) {
        return window && QTest::qWaitFor([window] { return !window->loading(); }, 20000);
    }

    QStringList codes(DictionaryWindow& window) {
        QStringList out;
        for (int row = 0; row < window.model()->rowCount(); ++row)
            out << window.model()->index(row, 0).data().toString();
        return out;
    }

private slots:
    void init() {
        port_ = new QtUiPort;
        person_ = new apptest::Person(*port_);
        FILEDESC_Initialize();
        snprintf(gcontexte.dictionnariesDirectory, sizeof gcontexte.dictionnariesDirectory, "%s",
                 env_.dir().path().c_str());
        path_ = DICO_DefaultPath(gcontexte.dictionnariesDirectory);
        std::remove(path_.c_str());
        // A dictionary of four objects, one of them known in two tables.
        DICO_Open(path_.c_str());
        snprintf(DICO_Current()->name, sizeof DICO_Current()->name, "%s", "COMPTA");
        const ColumnDesc objects[] = {
            column("CLI_NOM", "Nom du client", 30, DATATYPE_VARIABLECHAR),
            column("FAC_MONTANT_TOUTES_TAXES_COMPRISES", "Montant TTC", 12, DATATYPE_DECIMAL),
            column("cli_id", "Identifiant", 8, DATATYPE_INTEGER),
            column("DATE_NAISS", "Née le", 10, DATATYPE_DATE),
        };
        for (const ColumnDesc& c : objects) QCOMPARE(DICO_AddObject("BASE", "CLIENT", &c), 0);
        QCOMPARE(DICO_AddObject("BASE", "PROSPECT", &objects[0]), 0);
        QCOMPARE(DICO_Save(DICO_Current()), 0);
        DICO_Close();

        desc_ = FILEDESC_CreateFileDesc("Factures", nullptr, STRUCTFILE_FIXED, "\\r\\n", "");
        ColumnDesc id = column("ID", "", 5, DATATYPE_INTEGER);
        FILEDESC_AjouterColonne(desc_, &id);
        desc_->isModified = 0;
        gcontexte.currentFile = desc_;
    }
    void cleanup() {
        delete dictionaryWindow();
        gcontexte.currentFile = nullptr;
        FILEDESC_CloseFileDesc(desc_);
        DICO_Close();
        delete person_;
        delete port_;
    }

    void theListShowsTheObjectsAndASearchNarrowsIt() {
        DictionaryWindow* window = appelDlgDictionnaire(nullptr);
        QVERIFY(loaded(window));
        QVERIFY(window && window->isVisible());
        QCOMPARE(window->windowTitle(), QString("Dictionnaire - COMPTA"));
        QCOMPARE(codes(*window),
                 QStringList({"CLI_NOM", "DATE_NAISS", "FAC_MONTANT_TOUTES_TAXES_COMPRISES", "cli_id"}));  // byte order
        QCOMPARE(window->model()->index(0, 2).data().toString(), QString("CLIENT, PROSPECT"));
        QCOMPARE(window->model()->headerData(2, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QString("Références"));
        QVERIFY(window->warningText().isEmpty());
        // Every name whole, whatever its length.
        auto* list = window->findChild<QTreeView*>("dictionaryList");
        QTRY_VERIFY(list->columnWidth(0) >= columnContentWidth(list, 0));
        QVERIFY(columnContentWidth(list, 0) > 0);

        // Typed: case ignored, the code or the description.
        QTest::keyClicks(window->searchField(), "CLI");
        QCOMPARE(codes(*window), QStringList({"CLI_NOM", "cli_id"}));
        QCOMPARE(window->statusText(), QString("2 objet(s) trouvé(s)"));
        window->searchField()->setText("née");
        QCOMPARE(codes(*window), QStringList({"DATE_NAISS"}));
        window->searchField()->setText("absent");
        QCOMPARE(window->model()->rowCount(), 0);
        QCOMPARE(window->statusText(), QString("0 objet(s) trouvé(s)"));
        window->searchField()->clear();
        QCOMPARE(window->model()->rowCount(), 4);
        QCOMPARE(appelDlgDictionnaire(nullptr), window);  // one window
    }

    void aDoubleClickAppendsTheObjectAsANewColumn() {
        DictionaryWindow* window = appelDlgDictionnaire(nullptr);
        QVERIFY(loaded(window));
        window->searchField()->setText("montant");
        QCOMPARE(window->model()->rowCount(), 1);
        QTreeView* list = window->list();
        list->doItemsLayout();
        const QRect cell = list->visualRect(window->model()->index(0, 1));
        QVERIFY(cell.isValid());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, cell.center());
        QCOMPARE(static_cast<int>(desc_->columns.size()), 2);
        ColumnDesc* added = FILEDESC_SearchColumnByPos(desc_, 2);
        QVERIFY(added);
        QCOMPARE(added->code, "FAC_MONTANT_TOUTES_TAXES_COMPRISES");
        QCOMPARE(added->Description, "Montant TTC");
        QCOMPARE(added->WidthInChars, 12);
        QCOMPARE(added->typeCible.type, int(DATATYPE_DECIMAL));
        QCOMPARE(added->typeCible.fmtDecimal.partieDecimale, 2);
        QCOMPARE(added->StartPosition, 6);  // after ID (1 to 5)
        QCOMPARE(desc_->isModified, 1);

        // Without a current description nothing is added and the window says so.
        gcontexte.currentFile = nullptr;
        QVERIFY(!window->applyRow(0));
        QVERIFY(window->statusText().contains("Aucune description courante"));
    }

    void columnsSentFromADescriptionAreListedAndSaved() {
        DictionaryWindow* window = appelDlgDictionnaire(nullptr);
        QVERIFY(loaded(window));
        window->searchField()->setText("nom");
        snprintf(desc_->DatabaseName, sizeof desc_->DatabaseName, "%s", "VENTES");
        snprintf(desc_->TableName, sizeof desc_->TableName, "%s", "FACTURE");
        ColumnDesc* id = FILEDESC_SearchColumnByPos(desc_, 1);
        QCOMPARE(DESCEDIT_AddToDictionary(desc_, {id}, path_.c_str()), 1);
        QCOMPARE(requestDictionarySave(), 0);
        QCOMPARE(window->searchField()->text(), QString());
        QCOMPARE(codes(*window),
                 QStringList({"CLI_NOM", "DATE_NAISS", "FAC_MONTANT_TOUTES_TAXES_COMPRISES", "ID", "cli_id"}));
        QCOMPARE(window->statusText(), QString("Terminé"));
        QVERIFY(readAll(path_).find("TABLE=\"FACTURE\"") != std::string::npos);
    }

    void aFileCutInTheMiddleIsToldAndNotWrittenOver() {
        const std::string whole = readAll(path_);
        const size_t cut = whole.find("CODE=\"FAC_MONTANT_TOUTES_TAXES_COMPRISES\"");
        QVERIFY(cut != std::string::npos);
        const std::string broken = whole.substr(0, cut + 10);
        std::ofstream(path_, std::ios::binary) << broken;

        DictionaryWindow* window = appelDlgDictionnaire(nullptr);
        QVERIFY(loaded(window));
        QCOMPARE(codes(*window), QStringList({"CLI_NOM", "DATE_NAISS"}));
        QVERIFY2(window->warningText().contains("2 objet(s) lu(s)"),
                 qPrintable(window->warningText()));
        QVERIFY(window->warningText().contains("ne sera pas remplacé"));

        ColumnDesc* id = FILEDESC_SearchColumnByPos(desc_, 1);
        QCOMPARE(DESCEDIT_AddToDictionary(desc_, {id}, path_.c_str()), 1);
        QCOMPARE(requestDictionarySave(), 1);
        QCOMPARE(readAll(path_), broken);
        QCOMPARE(person_->messages.size(), size_t(1));
        QVERIFY(person_->messages[0].find("n'a pas été lu entièrement") != std::string::npos);
    }

    // A dictionary of 100 000 objects: the window shows at once, empty and saying it loads,
    // takes a search while the file is read on the worker, then lists what the search finds;
    // its objects' elements are built only for the row double-clicked. A window closed during
    // the read stops it and leaves the process's dictionary as it was.
    void aLargeFileIsReadOnTheWorkerWhileTheWindowStaysUsable() {
        {
            DATADIC* dic = DATADIC_Create("GRAND", path_.c_str());
            for (int i = 0; i < 100000; ++i) {
                ColumnDesc c = column(("COL_" + std::to_string(i)).c_str(),
                                      ("Colonne numéro " + std::to_string(i)).c_str(), 10 + i % 40,
                                      DATATYPE_VARIABLECHAR);
                DATADIC_REF ref{};
                ref.localColumn = c;
                snprintf(ref.database, sizeof ref.database, "BASE");
                snprintf(ref.table, sizeof ref.table, "T%d", i % 100);
                QCOMPARE(DATADIC_AddElt(dic, &ref), 0);
            }
            QCOMPARE(DATADICXML_WriteToFile(dic, path_.c_str()), 0);
            DATADIC_Destroy(dic);
        }

        auto* window = appelDlgDictionnaire(nullptr);
        QVERIFY(window->loading());
        QCOMPARE(window->model()->rowCount(), 0);
        QCOMPARE(window->statusText(), QString("Chargement du dictionnaire"));
        QVERIFY(!window->grab().isNull());  // painted in its loading state
        QTest::keyClicks(window->searchField(), "ro 9999");
        QVERIFY(window->loading() || window->model()->rowCount() > 0);
        QVERIFY(loaded(window));
        QCOMPARE(window->windowTitle(), QString("Dictionnaire - GRAND"));
        // "numéro 9999" and "numéro 99990" to "numéro 99999" (and no other: "ro 9999" ends a word).
        QCOMPARE(window->model()->rowCount(), 11);
        QCOMPARE(window->statusText(), QString("11 objet(s) trouvé(s)"));
        QCOMPARE(window->model()->index(0, 2).data().toString(), QString("T99"));
        QVERIFY(!window->grab().isNull());
        QCOMPARE(DICO_Current()->index->count, 0);  // listed and painted, no element built
        QVERIFY(window->applyRow(0));
        QCOMPARE(FILEDESC_SearchColumnByPos(desc_, 2)->code, "COL_9999");
        QCOMPARE(DICO_Current()->index->count, 1);  // the one double-clicked
        QCOMPARE(window->model()->element(0), DATADIC_SearchElt(DICO_Current(), "COL_9999"));

        // Closed while it reads: the read stops, nothing replaces the dictionary.
        DATADIC* before = DICO_Current();
        window->reload();
        QVERIFY(window->loading());
        delete window;
        QCoreApplication::processEvents();
        QCOMPARE(DICO_Current(), before);
        QCOMPARE(DATADIC_Count(before), 100000);
    }
};

QTEST_MAIN(DictionaryWindowTest)
#include "dictionarywindow_test.moc"
