// The help window of tallymor: its text, its styles and its links.
#include "tallymor/helpwindow.h"

#include <QDesktopServices>
#include <QPushButton>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QtTest>

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
    void holdsEveryTextInOrder() {
        HelpWindow help;
        auto* browser = help.findChild<QTextBrowser*>("helpText");
        QVERIFY(browser->isReadOnly());
        // Paragraph separators read back as line feeds: the window shows the text unchanged.
        const QString shown = browser->toPlainText();
        QCOMPARE(shown, QString::fromStdString(HELPTEXT_PlainText()));

        const QStringList inOrder = {
            "Aide rapide de Tallymor\n\nTallymor est une calculatrice évoluée",
            "Exemple d'expression autorisée : \nma_valeur = 12*-1+(2*3*(2-1)+sin(12))*(2%1.2G)"
            "-1e-1/1K+0b1001101+0xFAF012*-1\n\n",
            "Liste des opérateurs binaires : \n+\t: Addition\n-\t: Soustraction\n"
            "*\t: Multiplication\n/\t: Division\n^\t: Puissance\n%\t: Modulo\n\n",
            "Liste des opérateurs unaires : \n+\t: Positif\n-\t: Négatif\n!\t: Négation\n\n",
            "Liste des opérateurs de comparaison : \n<\t: Inférieur à\n>\t: Supérieur à\n"
            "==\t: Egalité\n!=\t: Inégalité\n\n",
            "Liste des opérateurs booléens : \n&\t: ET binaire (AND)\n|\t: OU binaire (OR)\n"
            "!\t: NON binaire (NOT)\n\n",
            "Liste des fonctions internes : \nabs(valeur)\t: Valeur absolue\n"
            "acos(valeur)\t: Arc cosius\n",
            "tanh(valeur)\t: Tangente hyperbolique\ntrunc(valeur)\t: Troncation d'un nombre\n"
            "\nNombres, bases, notations et unité : \n",
            "\nExemple de notation pour la base hexadécimale :\n0xFFFFFF\n0xABCDEF\n0x0A2B4C\n",
            "\nExemple de notation pour la base binaire :\n0b10010101\n",
            "\nNotation scientifique :\n\nLes flottants et les entiers supportent la notation "
            "scientifique :\n1E+2\n1E-2\n1.02E-12\n1.02E+12\n1.02E12\n1.02e12\n",
            "\nExemple :\n1k\n1.5k\n1.25G\n\nLes unités supportées sont les suivantes : \n"
            "a\t : Atto\nf\t : Femto\n",
            "µ ou u\t : Micro\nm\t : Mili\nK\t : Kilo\nM\t : Méga\nG\t : Giga\nT\t : Téra\n",
            "\nNOTE : Il est important de respecter la casse (Majucules et minuscules)\n",
            "https://morvex-fylatek.example.org/",
        };
        const QString all = QString::fromStdString(HELPTEXT_PlainText());
        qsizetype from = 0;
        for (const QString& piece : inOrder) {
            const qsizetype at = all.indexOf(piece, from);
            QVERIFY2(at >= 0, qPrintable("missing or out of order: " + piece));
            from = at + piece.size();
        }
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
