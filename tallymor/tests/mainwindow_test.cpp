// The main window of tallymor, driven through its widgets and commands.
#include "tallymor/mainwindow.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>
#include <fstream>
#include <memory>
#include <sstream>

#include "desktop/columnfit.h"
#include "calc/calc.h"
#include "foundation/testing/tempdir.h"
#include "foundation/uiport_testing.h"
#include "tallymor/aboutwindow.h"
#include "tallymor/helpwindow.h"
#include "tallymor/variableswindow.h"

using namespace morvex;

namespace {

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

QStringList Column(QTreeWidget* list, int column) {
    QStringList out;
    for (int i = 0; i < list->topLevelItemCount(); ++i) out << list->topLevelItem(i)->text(column);
    return out;
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<CalculatorVariables> vars_;
    std::unique_ptr<MainWindow> window_;
    std::unique_ptr<ScriptedUiPort> port_;

    QLineEdit* formula() { return window_->findChild<QLineEdit*>("formula"); }
    QLineEdit* result() { return window_->findChild<QLineEdit*>("result"); }
    QTreeWidget* messages() { return window_->findChild<QTreeWidget*>("messages"); }
    QTreeWidget* history() { return window_->findChild<QTreeWidget*>("history"); }

    // Types the formula and presses "Calculer".
    void calculate(const QString& text) {
        formula()->setText(text);
        QTest::mouseClick(window_->findChild<QPushButton*>("calculer"), Qt::LeftButton);
    }

private slots:
    void init() {
        port_ = std::make_unique<ScriptedUiPort>();
        setUiPort(port_.get());
        vars_ = std::make_unique<CalculatorVariables>();
        window_ = std::make_unique<MainWindow>(vars_.get());
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    }
    void cleanup() {
        window_.reset();
        vars_.reset();
        setUiPort(nullptr);
        port_.reset();
    }

    void startsWithTheSampleFormulaAndItsFields() {
        QCOMPARE(window_->windowTitle(), QString("Morvex Tallymor"));
        QCOMPARE(formula()->text(), QString("sin(1)^2+cos(1)^2"));
        QCOMPARE(formula()->maxLength(), 1024);
        QCOMPARE(result()->text(), QString("0.0"));
        QVERIFY(result()->isReadOnly());
        QVERIFY(result()->font().bold());
        // The desktop's size, not a fixed smaller one.
        QCOMPARE(result()->font().pointSizeF(), QApplication::font().pointSizeF());
        QCOMPARE(result()->font().family(), QApplication::font().family());
        QCOMPARE(window_->findChild<QLabel*>("statusCaption")->text(),
                 QString("Morvex Fylatek - Calculatrice Tallymor"));
        QCOMPARE(messages()->headerItem()->text(0), QString("Etat"));
        QCOMPARE(messages()->headerItem()->text(1), QString("Message"));
        QCOMPARE(history()->headerItem()->text(0), QString("Formule"));
        QCOMPARE(history()->headerItem()->text(1), QString("Valeur"));
    }

    // Long formulas, a syntax error's "SYNTAX_ERROR": every column shows its values whole at the
    // window's default size, the last one running to the right edge.
    void everyColumnOfTheListsIsAsWideAsWhatItShows() {
        window_->show();
        for (const char* f : {"surface_du_disque = 3.14159265358979*rayon_du_disque^2", "1K",
                              "12*-1+(2*3*(2-1)+sin(12))*(2%1.2G)-1e-1/1k+0b1001101"})
            window_->Calculer(f);
        QApplication::processEvents();
        for (QTreeWidget* list : {messages(), history()}) {
            QVERIFY(list->topLevelItemCount() > 0);
            const int last = list->columnCount() - 1;
            for (int c = 0; c < last; ++c)
                QVERIFY2(list->columnWidth(c) >= columnContentWidth(list, c),
                         qPrintable(list->objectName() + " " + QString::number(c)));
            QVERIFY(list->columnViewportPosition(last) + list->columnWidth(last) >=
                    list->viewport()->width());
        }
    }

    void hasTheMenusInOrderWithTheirCommandNumbers() {
        QStringList seen;
        for (QAction* menu : window_->findChild<QMenuBar*>()->actions()) {
            seen << menu->text();
            for (QAction* a : menu->menu()->actions())
                if (!a->isSeparator()) seen << a->text() + "=" + a->data().toString();
        }
        QCOMPARE(seen, QStringList({"Fichier", "Ouvrir un fichier de calculs=1003",
                                    "Enregistrer sous...=1004", "Quitter=1005", "Affichage",
                                    "Afficher les erreurs=1006", "Afficher les variables=1007", "?",
                                    "Aide=1008", "A propos de...=1009"}));
    }

    void calculatesIntoTheResultFieldAndTheHistory() {
        calculate(formula()->text());
        QCOMPARE(result()->text(), QString("Résultat = 1"));
        // The compilation's information message.
        QVERIFY(messages()->topLevelItemCount() >= 1);
        QCOMPARE(messages()->topLevelItem(0)->text(0), QString("INFO"));
        calculate("x = 2");
        calculate("x*10");
        QCOMPARE(result()->text(), QString("Résultat = 20"));
        calculate("1 == 1");
        QCOMPARE(result()->text(), QString("Résultat = Vrai"));
        QCOMPARE(Column(history(), 0),
                 QStringList({"sin(1)^2+cos(1)^2", "x = 2", "x*10", "1 == 1"}));
        QCOMPARE(Column(history(), 1), QStringList({"1", "2", "20", "Vrai"}));
        QCOMPARE(history()->topLevelItem(0)->textAlignment(1) & Qt::AlignRight,
                 int(Qt::AlignRight));
    }

    void assigningTwiceLeavesOneVariableWithTheLastValue() {
        window_->onCommand(IDM_AFFICHER_VARIABLES);
        calculate("x = 2");
        calculate("x = 3");
        QCOMPARE(result()->text(), QString("x = 3"));
        auto* list = window_->variablesWindow()->findChild<QTreeWidget*>("variables");
        QCOMPARE(Column(list, 0), QStringList({"x"}));
        QCOMPARE(Column(list, 1), QStringList({"3"}));
        QCOMPARE(vars_->count, 1);
    }

    void refusesTheHundredAndFirstVariableButKeepsItsFormula() {
        for (int i = 1; i <= 100; ++i) window_->Calculer("v" + std::to_string(i) + " = 1");
        QVERIFY(port_->messages.empty());
        calculate("v101 = 5");
        QCOMPARE(port_->messages.size(), size_t(1));
        QCOMPARE(QString::fromStdString(port_->messages[0]),
                 QString("Dépassement de capacité|Dépassement de capacité! Vous avez atteint la "
                         "limite du nombre de variables autorisé. Veuillez réutiliser celles que "
                         "vous avez déjà utilisées."));
        QCOMPARE(history()->topLevelItemCount(), 101);
        QCOMPARE(history()->topLevelItem(100)->text(0), QString("v101 = 5"));
        QCOMPARE(vars_->count, 100);
        window_->onCommand(IDM_AFFICHER_VARIABLES);
        auto* list = window_->variablesWindow()->findChild<QTreeWidget*>("variables");
        QCOMPARE(list->topLevelItemCount(), 100);
        QCOMPARE(list->topLevelItem(99)->text(0), QString("v100"));
    }

    void selectsThePlaceOfTheLastMessageOnASyntaxError() {
        calculate("12 + 34 K");
        QCOMPARE(result()->text(), QString("Erreur de syntaxe"));
        // The last message is at position 9 ('K'): characters 7 to 8 are selected.
        QCOMPARE(formula()->selectionStart(), 7);
        QCOMPARE(formula()->selectedText(), QString(" "));
        QCOMPARE(Column(messages(), 0), QStringList({"INFO", "SYNTAX_ERROR"}));
        QCOMPARE(messages()->topLevelItem(1)->text(1),
                 QString("Position 9 : Point-vigule (fin d'instruction) attendu, 'K' "
                         "rencontré."));
        QCOMPARE(history()->topLevelItemCount(), 0);
    }

    void showsARuntimeErrorWithoutEnteringTheHistory() {
        calculate("8/0");
        QCOMPARE(result()->text(), QString("Erreur d'execution"));
        QVERIFY(Column(messages(), 0).contains("RUNTIME_ERROR"));
        QCOMPARE(history()->topLevelItemCount(), 0);
        // The next calculation starts with an empty messages list.
        calculate("1+1");
        QVERIFY(!Column(messages(), 0).contains("RUNTIME_ERROR"));
    }

    void readsAFileOfThreeFormulasAndSavesItBackByteForByte() {
        morvex::testing::TempDir dir("tallymor");
        const std::string bytes = "a = 2\nb = a * 3\nb + 1\n";
        port_->fileAnswers.push_back(dir.write("calculs.txt", bytes));
        port_->fileAnswers.push_back(dir.file("copie.txt"));
        window_->onCommand(IDM_OUVRIR_CALCULS);
        QCOMPARE(Column(history(), 0), QStringList({"a = 2", "b = a * 3", "b + 1"}));
        QCOMPARE(Column(history(), 1), QStringList({"2", "6", "7"}));
        QCOMPARE(result()->text(), QString("Résultat = 7"));  // the last formula's
        window_->onCommand(IDM_ENREGISTRER_SOUS);
        QCOMPARE(ReadBytes(dir.file("copie.txt")), bytes);
        QCOMPARE(port_->prompts, (std::vector<std::string>{"Choisir le fichier de calcul...",
                                                           "Enregistrer le fichier sous ..."}));
    }

    void reportsAnUnreadableFileAndCancelledDialogs() {
        morvex::testing::TempDir dir("tallymor");
        port_->fileAnswers.push_back(std::nullopt);
        port_->fileAnswers.push_back(dir.file("absent.txt"));
        window_->onCommand(IDM_OUVRIR_CALCULS);
        QVERIFY(port_->messages.empty());
        window_->onCommand(IDM_OUVRIR_CALCULS);
        QCOMPARE(port_->messages.size(), size_t(1));
        QCOMPARE(history()->topLevelItemCount(), 0);
    }

    void deletesTheSelectedHistoryRowsAndRecallsAFormula() {
        for (const char* f : {"1+1", "2+2", "3+3", "4+4"}) window_->Calculer(f);
        history()->topLevelItem(1)->setSelected(true);
        history()->topLevelItem(3)->setSelected(true);
        window_->onCommand(IDM_SUPPRIMER);
        QCOMPARE(Column(history(), 0), QStringList({"1+1", "3+3"}));

        history()->clearSelection();
        history()->topLevelItem(1)->setSelected(true);
        window_->onCommand(IDM_RAPPELER);
        QCOMPARE(formula()->text(), QString("3+3"));

        const QPoint first = history()->visualItemRect(history()->topLevelItem(0)).center();
        QTest::mouseClick(history()->viewport(), Qt::LeftButton, {}, first);
        QTest::mouseDClick(history()->viewport(), Qt::LeftButton, {}, first);
        QCOMPARE(formula()->text(), QString("1+1"));
    }

    void hidesTheErrorsGroupAndMovesTheHistoryUp() {
        window_->resize(600, 500);
        auto* errors = window_->findChild<QGroupBox*>("errorsGroup");
        auto* historyGroup = window_->findChild<QGroupBox*>("historyGroup");
        const int top = window_->findChild<QMenuBar*>()->height();
        const int clientHeight = window_->height() - top;
        QCOMPARE(errors->geometry(), QRect(10, top + 50, 580, 100));
        QCOMPARE(historyGroup->geometry(), QRect(10, top + 160, 580, clientHeight - 30 - 160));
        QCOMPARE(history()->geometry(), QRect(10, 20, 560, clientHeight - 30 - 160 - 30));
        QCOMPARE(messages()->geometry(), QRect(10, 20, 560, 70));

        window_->onCommand(IDM_AFFICHER_ERREURS);
        QVERIFY(!window_->errorsShown());
        QVERIFY(!errors->isVisible());
        QCOMPARE(historyGroup->geometry().top(), top + 60);
        QAction* toggle = nullptr;
        for (QAction* a : window_->findChildren<QAction*>())
            if (a->data().toInt() == IDM_AFFICHER_ERREURS) toggle = a;
        QVERIFY(toggle && !toggle->isChecked());
        toggle->trigger();  // through the menu entry this time
        QVERIFY(window_->errorsShown() && toggle->isChecked());
        QCOMPARE(historyGroup->geometry().top(), top + 160);
    }

    void refreshesTheOpenVariablesWindowWithValuesByKind() {
        window_->onCommand(IDM_AFFICHER_VARIABLES);
        VariablesWindow* vw = window_->variablesWindow();
        QVERIFY(vw && vw->isVisible());
        QCOMPARE(vw->windowTitle(), QString("Liste des variables"));
        for (const char* f : {"h = 0xFF", "b = 0b101", "t = \"ab\"", "v = 2 > 1", "r = 7/2"})
            window_->Calculer(f);
        auto* list = vw->findChild<QTreeWidget*>("variables");
        QCOMPARE(list->headerItem()->text(0), QString("Nom"));
        QCOMPARE(Column(list, 0), QStringList({"h", "b", "t", "v", "r"}));
        QCOMPARE(Column(list, 1), QStringList({"0x000000ff", "0b101", "ab", "Vrai", "3.5"}));
        QCOMPARE(Column(history(), 1), QStringList({"0x000000ff", "101", "ab", "Vrai", "3.5"}));
    }

    void opensTheAboutBoxWithTheEngineVersion() {
        window_->onCommand(IDM_A_PROPOS);
        auto* about = window_->findChild<AboutWindow*>();
        QVERIFY(about);
        QCOMPARE(about->windowTitle(), QString("A propos de la calculatrice..."));
        const CalcVersionInfos* v = CALC_GetVersionInfos();
        QCOMPARE(about->findChild<QLabel*>("engineLine")->text(),
                 QString("Composant de calcul : %1 (build %2 : %3 %4)")
                     .arg(v->version)
                     .arg(v->build)
                     .arg(v->buildDate)
                     .arg(v->buildTime));
        QCOMPARE(about->findChild<QLabel*>("uiVersion")->text(),
                 QString("Interface utilisateur : 1.2 (build 296 Feb 10 2010 21:49:59 )"));
        QTest::mouseClick(about->findChild<QPushButton*>("fermer"), Qt::LeftButton);
        QVERIFY(about->isHidden());
    }

    void opensTheHelpWindow() {
        window_->onCommand(IDM_AIDE);
        auto* help = window_->findChild<HelpWindow*>();
        QVERIFY(help && help->isVisible());
        QCOMPARE(help->windowTitle(), QString("Aide sur Tallymor"));
    }

    void quitEndsTheDialog() {
        window_->onCommand(IDM_QUITTER);
        QVERIFY(!window_->isVisible());
    }
};

QTEST_MAIN(MainWindowTest)
#include "mainwindow_test.moc"
