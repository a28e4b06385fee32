// What the main window's files share (app/mainwindow*.cpp).
#pragma once

#include <QString>
#include <vector>

struct FileDesc;

namespace morvex::mainwindow_detail {

// Caption of the main window's messages.
inline constexpr char kCaption[] = "Morvex Fylatek";

QString fromUtf8(const char* text);
// The descriptions of openFiles, in order (a copy: closing one changes the list).
std::vector<FileDesc*> openDescriptions();
// A file shipped with the program: beside it, in its share folder, or in the source tree.
QString shippedFile(const QString& relative);
// What the first run adds once the settings are written: the two file types, then the Options
// sheet, before the main window shows.
void firstRun(void* window);

}  // namespace morvex::mainwindow_detail
