#include "desktop/qtmessages.h"

#include "foundation/trace.h"

namespace morvex {

namespace {

void traceQtMessage(QtMsgType type, const QMessageLogContext&, const QString& text) {
    trace("\n%s", qtMessageLine(type, text).toUtf8().constData());
}

}  // namespace

QString qtMessageLine(QtMsgType type, const QString& text) {
    const char* kind = "Message";
    switch (type) {
        case QtDebugMsg:
            kind = "Débogage";
            break;
        case QtInfoMsg:
            kind = "Information";
            break;
        case QtWarningMsg:
            kind = "Avertissement";
            break;
        case QtCriticalMsg:
            kind = "Erreur";
            break;
        case QtFatalMsg:
            kind = "Erreur fatale";
            break;
    }
    return QString("[Qt] %1 : %2").arg(QString::fromUtf8(kind), text);
}

QtMessageHandler routeQtMessagesToTrace() {
    return qInstallMessageHandler(&traceQtMessage);
}

}  // namespace morvex
