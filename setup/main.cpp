// morvexsetup: installs or updates Morvex Fylatek from the update server.
//   morvexsetup [--dir DIR]                 the wizard
//   morvexsetup --yes [--dir DIR]           the same procedure without windows, always saying yes
//   morvexsetup --screenshots DIR           draws both pages into DIR and exits
#include <QApplication>
#include <QDir>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/desktop/qtmessages.h"
#include "app/desktop/translations.h"
#include "setup/core/unattended.h"
#include "setup/setupwizard.h"

namespace {

int usage() {
    std::fprintf(stderr, "Usage : morvexsetup [--yes] [--dir DOSSIER] | --screenshots DOSSIER\n");
    return 2;
}

// Draws the two pages of the wizard into `dir` without reaching the network.
int drawScreenshots(const QString& dir) {
    QDir().mkpath(dir);
    SetupWizardOptions options;
    options.job.server = LIVEUPDATE_ServerAddress();
    options.startWorker = false;
    SetupWizard wizard(options);
    wizard.show();
    bool ok = wizard.grab().save(dir + QStringLiteral("/morvexsetup-page1.png"));
    wizard.showNextPage();
    ok = wizard.grab().save(dir + QStringLiteral("/morvexsetup-page2.png")) && ok;
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    bool yes = false;
    std::string directory = ".";
    const char* screenshots = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--yes") == 0) {
            yes = true;
        } else if (std::strcmp(argv[i], "--dir") == 0 && i + 1 < argc) {
            directory = argv[++i];
        } else if (std::strcmp(argv[i], "--screenshots") == 0 && i + 1 < argc) {
            screenshots = argv[++i];
        } else {
            return usage();
        }
    }
    if (yes) return LIVEUPDATE_RunUnattended(directory, nullptr);

    QApplication app(argc, argv);
    // Qt's own messages join the trace, marked as Qt's; its standard dialogs speak French.
    morvex::routeQtMessagesToTrace();
    morvex::installQtFrenchTranslations(&app);
    if (screenshots) return drawScreenshots(QString::fromLocal8Bit(screenshots));
    SetupWizardOptions options;
    options.job.server = LIVEUPDATE_ServerAddress();
    options.job.directory = directory;
    SetupWizard wizard(options);
    wizard.show();
    return app.exec();
}
