// `morvex --screenshots DIR`: draws each window of the program into DIR/morvex-<window>.png.
#pragma once

#include <QString>

namespace morvex {

class MainWindow;

// Writes morvex-main.png (the started main window `main`), morvex-query.png (the query tool on
// the example loaded into SQLite), morvex-generation.png (a run of two bundled templates),
// morvex-load-outcome.png (what a load tells), morvex-generation-error.png (a run with a
// template in error), morvex-replace.png (Qt's question before a file is replaced),
// morvex-splash.png,
// morvex-options.png, morvex-progress.png and morvex-help.png into `directory` (created when
// missing). 0 when every picture was written, else 1.
int takeScreenshots(MainWindow& main, const QString& directory);

}  // namespace morvex
