// The project properties: separator choice shown and written, end of line, structure, encoding
// and unquoting, and what an example file's first bytes pre-select; the preview grid under the
// options following each of them over tzdata's zone table and a file with an unclosed quote.
#include "app/projectpropertiesdialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QMouseEvent>
#include <QFont>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "app/cutpreviewgrid.h"
#include "app/tests/apptest.h"
#include "datafile/detect.h"
#include "filedesc/analyse.h"
#include "filedesc/descdialect.h"
#include "filedesc/filedesc.h"

using namespace morvex;

class ProjectPropertiesDialogTest : public QObject {
    Q_OBJECT

    apptest::Environment env_;
    FileDesc* desc_ = nullptr;

private slots:
    void init() {
        FILEDESC_Initialize();
        desc_ = FILEDESC_CreateFileDesc("Clients", nullptr, STRUCTFILE_DELIMITED, "\\r\\n", "#");
        desc_->isModified = 0;
    }
    void cleanup() { FILEDESC_CloseFileDesc(desc_); }

    void anUnusualSeparatorIsShownAsOtherWithItsText() {
        ProjectPropertiesDialog dialog(desc_, false);
        QCOMPARE(dialog.windowTitle(), QString("Propriétés du fichier de format"));
        QVERIFY(dialog.separatorButton(SEPARATOR_OTHER)->isChecked());
        QCOMPARE(dialog.otherSeparatorField()->text(), QString("#"));
        QCOMPARE(dialog.nameField()->text(), QString("Clients"));
    }

    void theChosenSeparatorAndEndOfLineAreWrittenConverted() {
        ProjectPropertiesDialog dialog(desc_, false);
        dialog.separatorButton(SEPARATOR_TAB)->setChecked(true);
        dialog.endOfLineField()->setCurrentText("\\n");
        dialog.headerBox()->setChecked(true);
        dialog.firstLineField()->setValue(3);
        dialog.tableField()->setText("CLIENT");
        dialog.accept();
        QCOMPARE(QString(desc_->FieldDelimiter), QString("\\t"));
        QCOMPARE(QString::fromStdString(FILEDESC_DelimiterBytes(*desc_)), QString("\t"));
        QCOMPARE(QString::fromStdString(FILEDESC_LineEndBytes(*desc_)), QString("\n"));
        QCOMPARE(desc_->FirstLineIsHeader, 1);
        QCOMPARE(desc_->BeginFromLine, 3);
        QCOMPARE(QString(desc_->TableName), QString("CLIENT"));
        QCOMPARE(desc_->isModified, 1);
    }

    void aNameWithALineEndOrATabIsRefusedAndNothingIsWritten() {
        ProjectPropertiesDialog dialog(desc_, false);
        dialog.tableField()->setText("CLIENT\tS");
        dialog.separatorButton(SEPARATOR_TAB)->setChecked(true);
        QVERIFY(!dialog.apply());
        QVERIFY(dialog.refusalLabel()->text().contains("de la table"));
        QCOMPARE(QString(desc_->TableName), QString(""));
        QCOMPARE(QString(desc_->FieldDelimiter), QString("#"));
        QCOMPARE(desc_->isModified, 0);
        dialog.tableField()->setText("CLIENTS");
        QVERIFY(dialog.apply());
        QCOMPARE(QString(desc_->TableName), QString("CLIENTS"));
    }

    void fixedWidthEmptiesTheSeparatorAndTheWizardProposesMonProjet() {
        desc_->ProjectName[0] = '\0';
        ProjectPropertiesDialog dialog(desc_, true);
        QCOMPARE(dialog.windowTitle(), QString("Nouveau fichier de format"));
        QCOMPARE(dialog.nameField()->text(), QString("MonProjet"));
        dialog.fixedWidthButton()->setChecked(true);
        dialog.accept();
        QCOMPARE(desc_->TypeStructFile, int(STRUCTFILE_FIXED));
        QCOMPARE(QString(desc_->FieldDelimiter), QString());
        QCOMPARE(QString(desc_->ProjectName), QString("MonProjet"));
    }

    void theWizardPreselectsWhatItsExampleFileSaysAndThePersonHasTheLastWord() {
        const std::string csv = env_.dir().write(
            "villes.csv",
            "\"Ville\",\"Pays\",Habitants\n\"Paris\",\"France\",2100000\n"
            "\"Besançon, centre\",\"France\",117000\n\"Gand\",\"Belgique\",265000\n");
        free(desc_->ExampleFilePath);
        desc_->ExampleFilePath = strdup(csv.c_str());
        ProjectPropertiesDialog dialog(desc_, true);
        QVERIFY(dialog.separatorButton(SEPARATOR_COMMA)->isChecked());
        QCOMPARE(dialog.endOfLineField()->currentText(), QString("\\n"));
        QCOMPARE(dialog.encodingField()->currentText(), QString("UTF-8"));
        QVERIFY(dialog.unquoteBox()->isChecked());
        QCOMPARE(dialog.quoteCharField()->text(), QString("\""));

        dialog.separatorButton(SEPARATOR_SEMICOLON)->setChecked(true);
        // Leaving the path unchanged does not read the file again over the person's choice.
        emit dialog.exampleField()->editingFinished();
        dialog.accept();
        QCOMPARE(QString(desc_->FieldDelimiter), QString(";"));
        QCOMPARE(QString::fromStdString(FILEDESC_LineEndBytes(*desc_)), QString("\n"));
        QCOMPARE(QString(desc_->Encoding), QString("UTF-8"));
        QCOMPARE(desc_->Unquote, 1);
        QCOMPARE(desc_->QuoteChar, '"');
    }

    void aFixedWidthExampleIsPreselectedWithItsPaddingTrimmedWhichThePersonMayKeep() {
        const std::string path = env_.dir().write("weather.txt", weatherExport());
        free(desc_->ExampleFilePath);
        desc_->ExampleFilePath = strdup(path.c_str());
        ProjectPropertiesDialog dialog(desc_, true);
        QVERIFY(dialog.fixedWidthButton()->isChecked());
        QVERIFY(dialog.trimBox()->isEnabled());
        QVERIFY(dialog.trimBox()->isChecked());
        // The person keeps the padding.
        dialog.trimBox()->setChecked(false);
        dialog.accept();
        QCOMPARE(desc_->TypeStructFile, int(STRUCTFILE_FIXED));
        QCOMPARE(desc_->TrimPadding, 0);

        ProjectPropertiesDialog again(desc_, false);
        QVERIFY(!again.trimBox()->isChecked());
        again.trimBox()->setChecked(true);
        again.accept();
        QCOMPARE(desc_->TrimPadding, 1);
    }

    void theSheetReadsATypedExampleOnceConfirmedAndWritesEncodingAndUnquoting() {
        ProjectPropertiesDialog dialog(desc_, false);
        QVERIFY(dialog.sizeHint().height() <= 700);  // room left on a 1024x768 screen
        QVERIFY(!dialog.quoteCharField()->isEnabled());
        // A path that cannot be read pre-selects nothing.
        dialog.exampleField()->setText(QString::fromStdString(env_.dir().file("absent.csv")));
        emit dialog.exampleField()->editingFinished();
        QVERIFY(dialog.separatorButton(SEPARATOR_OTHER)->isChecked());
        QCOMPARE(dialog.encodingField()->currentText(), QString());
        // A readable one does, once confirmed.
        const std::string tsv = env_.dir().write("codes.tsv", "CODE\tLIBELLE\r\nA1\tUn\r\n");
        dialog.exampleField()->setText(QString::fromStdString(tsv));
        QVERIFY(dialog.separatorButton(SEPARATOR_OTHER)->isChecked());
        emit dialog.exampleField()->editingFinished();
        QVERIFY(dialog.separatorButton(SEPARATOR_TAB)->isChecked());
        QVERIFY(!dialog.unquoteBox()->isChecked());
        // Lines that no delimiter splits, holding semicolons and tabs: a separator none holds.
        const std::string notes =
            env_.dir().write("notes.txt", "Remarques\r\nVoir 3; puis\t4\r\nRien\r\nFin\r\n");
        dialog.exampleField()->setText(QString::fromStdString(notes));
        emit dialog.exampleField()->editingFinished();
        QVERIFY(dialog.separatorButton(SEPARATOR_PIPE)->isChecked());
        dialog.exampleField()->setText(QString::fromStdString(tsv));
        emit dialog.exampleField()->editingFinished();
        QVERIFY(dialog.separatorButton(SEPARATOR_TAB)->isChecked());

        dialog.encodingField()->setCurrentText(" windows-1252");
        dialog.unquoteBox()->setChecked(true);
        QVERIFY(dialog.quoteCharField()->isEnabled());
        dialog.quoteCharField()->setText("'");
        dialog.apply();
        QCOMPARE(QString(desc_->Encoding), QString("WINDOWS-1252"));
        QCOMPARE(desc_->Unquote, 1);
        QCOMPARE(desc_->QuoteChar, '\'');
        dialog.unquoteBox()->setChecked(false);
        dialog.accept();
        QCOMPARE(desc_->Unquote, 0);
        QCOMPARE(desc_->QuoteChar, '\0');
    }

    // An input whose option is off cannot be typed into; the example file's field keeps its room
    // whatever the longest label, and the wizard fits a 1024x768 screen.
    void inputsAreUsableOnlyWithTheirOptionAndEachHasRoom() {
        ProjectPropertiesDialog dialog(desc_, true);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QVERIFY(!dialog.fixedLineBox()->isChecked());
        QVERIFY(!dialog.lineLengthField()->isEnabled());
        dialog.fixedLineBox()->setChecked(true);
        QVERIFY(dialog.lineLengthField()->isEnabled());
        QVERIFY(dialog.otherSeparatorField()->isEnabled());  // "#": Autre
        dialog.separatorButton(SEPARATOR_COMMA)->setChecked(true);
        QVERIFY(!dialog.otherSeparatorField()->isEnabled());
        dialog.separatorButton(SEPARATOR_OTHER)->setChecked(true);
        QVERIFY(dialog.otherSeparatorField()->isEnabled());

        QVERIFY2(dialog.exampleField()->width() >= dialog.width() / 3,
                 qPrintable(QString::number(dialog.exampleField()->width())));
        QVERIFY2(dialog.nameField()->width() >= dialog.width() / 2,
                 qPrintable(QString::number(dialog.nameField()->width())));
        QVERIFY(dialog.frameGeometry().height() <= 768 - 40);
    }

    // The cells of a preview row, joined by "|".
    static QString previewRow(ProjectPropertiesDialog& dialog, int row) {
        CutPreviewModel* model = dialog.previewGrid()->previewModel();
        QStringList cells;
        for (int c = 0; c < model->columnCount(); ++c) cells << model->index(row, c).data().toString();
        while (!cells.isEmpty() && cells.last().isEmpty()) cells.removeLast();
        return cells.join("|");
    }

    void thePreviewFollowsEachOptionAndMarksTheRowsItCannotCut() {
        FILEDESC_SetExampleFilePath(desc_, "/usr/share/zoneinfo/zone1970.tab");
        ProjectPropertiesDialog dialog(desc_, true);
        CutPreviewModel* model = dialog.previewGrid()->previewModel();
        // The file's first bytes chose the tab: its lines are cut there.
        QVERIFY(dialog.separatorButton(SEPARATOR_TAB)->isChecked());
        QCOMPARE(model->rowCount(), CUTPREVIEW_ROWS);
        dialog.firstLineField()->setValue(30);
        QCOMPARE(model->headerData(0, Qt::Vertical, Qt::DisplayRole).toString().split(' ')[0],
                 QString("30"));
        int marked = 0;
        for (int row = 0; row < model->rowCount(); ++row) {
            const int fields = model->preview().rows[row].fields.size();
            const bool odd = fields != model->preview().expectedFields;
            QCOMPARE(!model->markText(row).isEmpty(), odd);
            QCOMPARE(model->index(row, 0).data(Qt::BackgroundRole).isValid(), odd);
            marked += odd;
        }
        QVERIFY2(marked > 0, "the zone table has rows of three and of four fields");
        QVERIFY(dialog.previewNote()->text().contains(QString("%1 ligne(s) marquée(s)").arg(marked)));
        // Another separator: one value a line, nothing marked.
        dialog.separatorButton(SEPARATOR_SEMICOLON)->setChecked(true);
        QCOMPARE(model->columnCount(), 1);
        QCOMPARE(model->markText(0), QString());
        // The header option makes the first line read the header, shown in bold.
        dialog.separatorButton(SEPARATOR_TAB)->setChecked(true);
        dialog.headerBox()->setChecked(true);
        QVERIFY(model->index(0, 0).data(Qt::FontRole).value<QFont>().bold());
        QVERIFY(!model->index(1, 0).data(Qt::FontRole).isValid());
        // Nothing was written into the description by the preview.
        QCOMPARE(QString(desc_->FieldDelimiter), QString("#"));
        QCOMPARE(desc_->BeginFromLine, 0);
    }

    void anUnclosedQuoteIsMarkedOnlyWhenTheOptionsUnquote() {
        const std::string path = env_.dir().write("clients.csv",
                                                  "code;nom\n1;\"Ada\"\n2;\"Grace\n3;Alan\n");
        FILEDESC_SetExampleFilePath(desc_, path.c_str());
        desc_->Unquote = 0;
        ProjectPropertiesDialog dialog(desc_, false);
        dialog.separatorButton(SEPARATOR_SEMICOLON)->setChecked(true);
        dialog.endOfLineField()->setCurrentText("\\n");
        CutPreviewModel* model = dialog.previewGrid()->previewModel();
        QCOMPARE(model->rowCount(), 4);
        QCOMPARE(previewRow(dialog, 1), QString("1|\"Ada\""));
        QCOMPARE(model->markText(2), QString());
        dialog.unquoteBox()->setChecked(true);
        QCOMPARE(previewRow(dialog, 1), QString("1|Ada"));
        QCOMPARE(model->markText(2),
                 QString("Ligne 3 : caractère de protection jamais refermé"));
        QCOMPARE(previewRow(dialog, 3), QString("3|Alan"));
    }

    void aFixedWidthDescriptionShowsItsColumnsBoundaries() {
        const std::string path = env_.dir().write("fixe.txt", "01Ada   Paris\n02Grace Lyon \n");
        FILEDESC_SetExampleFilePath(desc_, path.c_str());
        const struct {
            const char* code;
            int width;
        } columns[] = {{"CODE", 2}, {"NOM", 6}, {"VILLE", 5}};
        for (const auto& c : columns) {
            ColumnDesc column{};
            strcpy(column.code, c.code);
            column.WidthInChars = c.width;
            FILEDESC_AjouterColonne(desc_, &column);
        }
        ProjectPropertiesDialog dialog(desc_, false);
        dialog.endOfLineField()->setCurrentText("\\n");
        dialog.fixedWidthButton()->setChecked(true);
        CutPreviewModel* model = dialog.previewGrid()->previewModel();
        QCOMPARE(model->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), QString("NOM (6)"));
        QCOMPARE(previewRow(dialog, 1), QString("02|Grace |Lyon "));
    }

    // The wizard on a fixed-width export of a published table: each boundary found tells why
    // in its column's tool tip; one dragged along the header cuts the preview again and the
    // widths confirmed are the description's; a boundary dragged past its column's start stops
    // one character after it.
    void aBoundaryDraggedInTheWizardGivesTheDescriptionItsWidths() {
        const std::string bytes = weatherExport();
        const std::string path = env_.dir().write("weather.txt", bytes);
        FILEDESC_SetExampleFilePath(desc_, path.c_str());
        FILEDESC_ApplyShape(desc_, DATAFILE_DetectShape(bytes));  // as the analysis does
        ProjectPropertiesDialog dialog(desc_, true);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        CutPreviewGrid* grid = dialog.previewGrid();
        CutPreviewModel* model = grid->previewModel();
        QCOMPARE(grid->boundaryWidths(), QList<int>({1, 8, 5, 5, 5, 6, 9}));
        QCOMPARE(previewRow(dialog, 0), QString("S|20120101|000.0|012.8|005.0|0004.7|drizzle  "));
        const QString tip = model->headerData(1, Qt::Horizontal, Qt::ToolTipRole).toString();
        QVERIFY2(tip.contains("caractères 2 à 9 (largeur 8)") &&
                     tip.contains("Début : date aaaammjj valide dans 100 % des lignes"),
                 qPrintable(tip));

        // The boundary between the date and the rain, two characters to the right.
        drag(grid, 1, 2);
        QCOMPARE(grid->boundaryWidths(), QList<int>({1, 10, 3, 5, 5, 6, 9}));
        QCOMPARE(previewRow(dialog, 0), QString("S|2012010100|0.0|012.8|005.0|0004.7|drizzle  "));
        QVERIFY(model->headerData(2, Qt::Horizontal, Qt::ToolTipRole)
                    .toString()
                    .contains("Début : limite déplacée à la main"));
        // The next one far to the left: the rain keeps one character.
        drag(grid, 2, -40);
        QCOMPARE(grid->boundaryWidths(), QList<int>({1, 10, 1, 7, 5, 6, 9}));

        dialog.accept();
        std::vector<int> widths;
        for (const ColumnOwner& column : desc_->columns) widths.push_back(column->WidthInChars);
        QCOMPARE(widths, std::vector<int>({1, 10, 1, 7, 5, 6, 9}));
        QCOMPARE(FILEDESC_SearchColumnByPos(desc_, 4)->StartPosition, 13);
    }

private:
    // A fixed-width export of a published table (datafile/tests/data/fixedwidth).
    static std::string weatherExport() {
        std::ifstream in(std::string(MORVEX_SOURCE_DIR_PATH) +
                             "/datafile/tests/data/fixedwidth/weather.txt",
                         std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }
    // Drags the boundary after column `boundary` of the grid's header by `characters`.
    static void drag(CutPreviewGrid* grid, int boundary, int characters) {
        QWidget* header = grid->horizontalHeader()->viewport();
        const int edge = grid->horizontalHeader()->sectionViewportPosition(boundary) +
                         grid->horizontalHeader()->sectionSize(boundary);
        const QPointF from(edge, 5);
        const QPointF to(edge + characters * grid->characterWidth(), 5);
        QMouseEvent press(QEvent::MouseButtonPress, from, header->mapToGlobal(from), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QMouseEvent move(QEvent::MouseMove, to, header->mapToGlobal(to), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, to, header->mapToGlobal(to), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(header, &press);
        QApplication::sendEvent(header, &move);
        QApplication::sendEvent(header, &release);
    }
};

QTEST_MAIN(ProjectPropertiesDialogTest)
#include "projectpropertiesdialog_test.moc"
