// Qt's own messages (warnings of the library and of its platform plugin) in the programs' trace.
#pragma once

#include <QString>
#include <QtGlobal>

namespace morvex {

// The line written into the trace for one message of Qt: "[Qt] <kind> : <text>", the kind in
// French ("Avertissement", "Erreur"...), so that a log tells Qt's messages from the program's
// own traces.
QString qtMessageLine(QtMsgType type, const QString& text);

// From now on every message of Qt goes into the trace stream (morvex::trace), one line each as
// qtMessageLine words it, in the log file of the program when it has one. Returns the handler
// that was installed before (tests put it back). Any thread may emit messages afterwards.
QtMessageHandler routeQtMessagesToTrace();

}  // namespace morvex
