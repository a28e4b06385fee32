// Qt's own texts in French: the standard buttons of message boxes and dialog button boxes, the
// file and folder dialogs, the context menus of text fields.
#pragma once

#include <QString>

class QCoreApplication;

namespace morvex {

// Loads Qt's French translation ("qtbase_fr.qm", from Qt's translations folder) and installs it
// into `app`, which owns it. Returns the path of the file loaded, or an empty text when none was
// found (Qt's texts then stay in English). The default locale becomes French (France), for the
// dates, sizes and file kinds that Qt's dialogs show. Call from the user-interface thread, once,
// before the first window is built.
QString installQtFrenchTranslations(QCoreApplication* app);

}  // namespace morvex
