// The help window of tallymor: its text, its styles and its links.
#include "tallymor/helpwindow.h"

#include <QDesktopServices>
#include <QPushButton>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QtTest>

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "calc/calc.h"
#include "foundation/trace.h"
#include "tallymor/helptext.h"

using namespace morvex;

// Records the addresses that the desktop was asked to open.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened << url; }
};

namespace {

// The character format at the first occurrence of `text` in the document.
QTextCharFormat FormatAt(QTextDocument* doc, const QString& text) {
    QTextCursor found = doc->find(text);
    if (found.isNull()) return {};
    QTextCursor at(doc);
    at.setPosition(found.selectionStart() + 1);
    return at.charFormat();
}

}  // namespace

class HelpWindowTest : public QObject {
    Q_OBJECT

private slots:
    void showsTheTextUnchanged() {
        HelpWindow help;
        auto* browser = help.findChild<QTextBrowser*>("helpText");
        QVERIFY(browser->isReadOnly());
        // Paragraph separators read back as line feeds: the window shows the text unchanged.
        const QString shown = browser->toPlainText();
        QCOMPARE(shown, QString::fromStdString(HELPTEXT_PlainText()));
    }

    // What the help promises, the engine keeps: every example computes, every function listed
    // is known, every unit scales by its power of ten.
    void everyExampleFunctionAndUnitOfTheTextIsUnderstoodByTheEngine() {
        TraceCapture quiet;
        const std::string text = HELPTEXT_PlainText();
        std::vector<std::string> lines;
        for (size_t from = 0, end; from < text.size(); from = end + 1) {
            end = text.find('\n', from);
            if (end == std::string::npos) end = text.size();
            lines.push_back(text.substr(from, end - from));
        }
        // The value of `expression`, or NaN when the engine refuses it.
        auto value = [](const std::string& expression) {
            CalcContext* ctx = CALC_Compile(expression.c_str());
            double v = ctx ? CALC_Calculate(ctx) : 0;
            if (!ctx || CALC_Error(ctx)) v = std::nan("");
            CALC_Destroy(ctx);
            return v;
        };
        int functions = 0, units = 0, examples = 0;
        bool examplesFollow = false;  // after a heading that introduces examples, one a line
        for (const std::string& line : lines) {
            const size_t call = line.find("(valeur)\t: ");
            const size_t unit = line.find("\t : ");
            if (call != std::string::npos && call > 0) {
                const std::string name = line.substr(0, call);
                QVERIFY2(!std::isnan(value(name + "(0.5)")), name.c_str());
                ++functions;
            } else if (unit != std::string::npos) {
                static const std::map<std::string, double> powers = {
                    {"Atto", 1e-18}, {"Femto", 1e-15}, {"Pico", 1e-12}, {"Nano", 1e-9},
                    {"Micro", 1e-6}, {"Mili", 1e-3},   {"Kilo", 1e3},   {"Méga", 1e6},
                    {"Giga", 1e9},   {"Téra", 1e12}};
                const std::string label = line.substr(unit + 4);
                QVERIFY2(powers.count(label), label.c_str());
                std::string symbols = line.substr(0, unit);
                for (size_t at; (at = symbols.find(" ou ")) != std::string::npos;)
                    symbols.replace(at, 4, " ");
                for (size_t from = 0, end; from < symbols.size(); from = end + 1) {
                    end = symbols.find(' ', from);
                    if (end == std::string::npos) end = symbols.size();
                    const std::string expression = "2" + symbols.substr(from, end - from);
                    const double v = value(expression);
                    QVERIFY2(std::fabs(v / (2 * powers.at(label)) - 1) < 1e-12,
                             expression.c_str());
                    ++units;
                }
            } else if (line.rfind("Exemple", 0) == 0 || line.rfind("Les flottants", 0) == 0) {
                examplesFollow = true;
            } else if (examplesFollow && !line.empty() &&
                       (line.find(' ') == std::string::npos || line.find(" = ") != std::string::npos)) {
                QVERIFY2(!std::isnan(value(line)), line.c_str());
                ++examples;
            } else if (!line.empty()) {
                examplesFollow = false;
            }
        }
        QCOMPARE(functions, 19);
        QCOMPARE(units, 11);
        QVERIFY2(examples >= 12, qPrintable(QString::number(examples)));
    }

    void drawsHeadingsBoldTheNoteRedAndTheAddressAsALink() {
        HelpWindow help;
        QTextDocument* doc = help.findChild<QTextBrowser*>("helpText")->document();
        QCOMPARE(FormatAt(doc, "Aide rapide de Tallymor").fontWeight(), int(QFont::Bold));
        QCOMPARE(FormatAt(doc, "Liste des fonctions internes").fontWeight(), int(QFont::Bold));
        QCOMPARE(FormatAt(doc, "Exemple de notation pour la base binaire").fontWeight(),
                 int(QFont::Bold));
        QVERIFY(FormatAt(doc, "Tallymor est une calculatrice").fontWeight() != QFont::Bold);
        QVERIFY(FormatAt(doc, "Les flottants et les entiers").fontWeight() != QFont::Bold);
        const QTextCharFormat note = FormatAt(doc, "NOTE : Il est important");
        QCOMPARE(note.fontWeight(), int(QFont::Bold));
        QCOMPARE(note.foreground().color(), QColor(Qt::red));
        const QTextCharFormat link = FormatAt(doc, "morvex-fylatek.example.org");
        QVERIFY(link.isAnchor());
        QCOMPARE(link.anchorHref(), QString("https://morvex-fylatek.example.org/"));
    }

    void opensAClickedLinkWithTheDesktopAndTracesIt() {
        UrlRecorder recorder;
        QDesktopServices::setUrlHandler("https", &recorder, "open");
        HelpWindow help;
        help.show();
        QVERIFY(QTest::qWaitForWindowExposed(&help));
        auto* browser = help.findChild<QTextBrowser*>("helpText");
        TraceCapture capture;
        // Click in the middle of the address.
        QTextCursor found = browser->document()->find("morvex-fylatek.example.org");
        QVERIFY(!found.isNull());
        QTextCursor middle(browser->document());
        middle.setPosition(found.selectionStart() + 5);
        browser->ensureCursorVisible();
        browser->setTextCursor(middle);
        browser->ensureCursorVisible();
        const QPoint at = browser->cursorRect(middle).center();
        QTest::mouseClick(browser->viewport(), Qt::LeftButton, {}, at);
        QDesktopServices::unsetUrlHandler("https");
        QCOMPARE(recorder.opened, QList<QUrl>({QUrl("https://morvex-fylatek.example.org/")}));
        QCOMPARE(QString::fromStdString(capture.text()), QString("\nEN_LINK"));
        QVERIFY(help.isVisible());  // the window stays on the help text
    }
};

QTEST_MAIN(HelpWindowTest)
#include "helpwindow_test.moc"
