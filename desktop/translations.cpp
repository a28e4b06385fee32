#include "desktop/translations.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "foundation/datadir.h"

namespace morvex {

QString installQtFrenchTranslations(QCoreApplication* app) {
    if (!app) return QString();
    // Dates, sizes and file kinds in the file dialogs are worded in French too.
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    // Qt's own folder first; then the programs' data folder, for a copy that carries its
    // translations (foundation/datadir.h).
    const QStringList folders = {
        QLibraryInfo::path(QLibraryInfo::TranslationsPath),
        QString::fromStdString(dataDirectory()) + "/" + DATADIR_TRANSLATIONS,
    };
    for (const QString& folder : folders) {
        auto* translator = new QTranslator(app);
        if (translator->load(QLocale(QLocale::French, QLocale::France), "qtbase", "_", folder) &&
            QCoreApplication::installTranslator(translator))
            return QDir::cleanPath(translator->filePath());
        delete translator;
    }
    return QString();
}

}  // namespace morvex
