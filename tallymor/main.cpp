// tallymor: the calculator. "tallymor --screenshots DIR" draws its windows into DIR and exits.
#include <QApplication>
#include <QDir>
#include <QString>
#include <cstdio>

#include "desktop/pictures.h"
#include "desktop/qtmessages.h"
#include "desktop/translations.h"
#include "calc/calculation.h"
#include "foundation/uiport.h"
#include "foundation/version.h"
#include "tallymor/helpwindow.h"
#include "tallymor/mainwindow.h"
#include "tallymor/tallymoruiport.h"
#include "tallymor/variableswindow.h"

namespace {

// Draws `window` into DIR/tallymor-<name>.png; false when the picture cannot be written.
bool Save(QWidget* window, const QString& dir, const char* name) {
    window->show();
    QApplication::processEvents();
    const QString path = QDir(dir).filePath(QString("tallymor-%1.png").arg(name));
    if (window->grab().save(path)) return true;
    fprintf(stderr, "(e) Impossible d'écrire %s\n", path.toLocal8Bit().constData());
    return false;
}

// The main window after a few calculations, the variables window and the help window.
int TakeScreenshots(morvex::MainWindow& main, const QString& dir) {
    if (!QDir().mkpath(dir)) {
        fprintf(stderr, "(e) Impossible de créer le dossier %s\n", dir.toLocal8Bit().constData());
        return 1;
    }
    for (const char* formula : {"sin(1)^2+cos(1)^2", "rayon = 2.5", "surface = 3.14159*rayon^2",
                                "masque = 0xFF & 0x3C", "bits = 0b1011", "rayon > 2", "1K"})
        main.Calculer(formula);
    bool ok = Save(&main, dir, "main");
    main.onCommand(morvex::IDM_AFFICHER_VARIABLES);
    ok = Save(main.variablesWindow(), dir, "variables") && ok;
    morvex::HelpWindow help(&main);
    ok = Save(&help, dir, "help") && ok;
    // The standard dialogs as the program shows them.
    ok = morvex::drawMessageBox(QDir(dir).filePath("tallymor-message.png"),
                                QString::fromUtf8(CALCULATION_OVERFLOW_CAPTION),
                                QString::fromUtf8(CALCULATION_OVERFLOW_TEXT), QMessageBox::Ok,
                                QMessageBox::Warning) &&
         ok;
    ok = morvex::drawFileDialog(QDir(dir).filePath("tallymor-open.png"),
                                "Choisir le fichier de calcul...", "Fichier de calculs (*.txt)",
                                QDir::currentPath(), false) &&
         ok;
    return ok ? 0 : 1;
}

// What --help prints (also the source of the manual page).
constexpr const char* kHelp =
    "Utilisation : tallymor [--screenshots DOSSIER]\n"
    "Calculatrice de Morvex Fylatek : évalue des expressions avec le moteur de calcul des\n"
    "templates, garde les variables d'un calcul à l'autre, enregistre et relit des fichiers de\n"
    "calculs.\n"
    "\n"
    "Options :\n"
    "      --screenshots DOSSIER  dessine les fenêtres dans DOSSIER et s'arrête\n"
    "      --help                 affiche cette aide et s'arrête\n"
    "      --version              affiche la version et s'arrête\n";

}  // namespace

int main(int argc, char** argv) {
    // Answered before Qt starts: no display is needed for them.
    if (morvex::answerVersionOrHelp(argc, argv, "tallymor", kHelp)) return 0;
    QApplication app(argc, argv);
    // Qt's own messages join the trace, marked as Qt's; its standard dialogs speak French.
    morvex::routeQtMessagesToTrace();
    morvex::installQtFrenchTranslations(&app);
    QString screenshots;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == "--screenshots" && i + 1 < args.size()) screenshots = args[++i];
    }

    CalculatorVariables variables;  // the variable table lives for the whole run
    morvex::TallymorUiPort port;
    morvex::setUiPort(&port);
    morvex::MainWindow window(&variables);
    int status = 0;
    if (!screenshots.isEmpty())
        status = TakeScreenshots(window, screenshots);
    else
        window.exec();
    morvex::setUiPort(nullptr);
    return status;
}
