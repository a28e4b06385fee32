// Files dropped on the main window.
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QStatusBar>
#include <QStyle>
#include <QTabBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "app/aboutdialog.h"
#include "app/columndetailpanel.h"
#include "appcore/application.h"
#include "appcore/desceditor.h"
#include "appcore/fileassoc.h"
#include "appcore/mainframe.h"
#include "appcore/sqlitecommands.h"
#include "app/descriptionlist.h"
#include "app/dictionarywindow.h"
#include "app/generationdialog.h"
#include "app/helppanel.h"
#include "app/mainwindow.h"
#include "app/mainwindow_detail.h"
#include "app/mssqlparamswindow.h"
#include "app/optionsdialog.h"
#include "app/panelseparator.h"
#include "app/pkindexeswindow.h"
#include "app/previewsplitter.h"
#include "app/qtuiport.h"
#include "app/querytoolwindow.h"
#include "app/resultpreview.h"
#include "app/sourcepreview.h"
#include "app/splashwindow.h"
#include "app/splitfileview.h"
#include "app/textimportdialog.h"
#include "datadic/dico.h"
#include "appcore/analysewizard.h"
#include "filedesc/analyse.h"
#include "filedesc/filedesc.h"
#include "filedesc/typerecog.h"
#include "foundation/allocmem.h"
#include "foundation/dynstring.h"
#include "foundation/ldcg.h"
#include "foundation/task.h"
#include "foundation/trace.h"
#include "mssql/mssql.h"
#include "sqliteload/sqlite3dll.h"
#include "sqliteload/sqlite4fyk.h"

namespace morvex {

using namespace mainwindow_detail;

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    QStringList files;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) files << url.toLocalFile();
    event->acceptProposedAction();
    handleDroppedFiles(files);
}

void MainWindow::handleDroppedFiles(const QStringList& files) {
    if (files.isEmpty()) return;
    std::string path = files.first().toStdString();
    path.erase(std::remove(path.begin(), path.end(), '"'), path.end());
    trace("\nchaine=[%s]", path.c_str());
    const std::string ext = lowerExtension(path);
    if (ext == ".fyk") {
        openDescriptionFile(path);
        UpdateVisualIndicators();
    } else if (ext == ".db") {
        openQueryTool(path);  // the dropped file wins over the description's database
    } else {
        if (FYK_DataFileReverseEngenering(this, path.c_str(), FILEANALYSE_DETECTED) == 0) {
            TBR_FormatUpdated(gcontexte.currentFile);
            help_->EcrireMessageInfo(0);
        }
        RaffraichirFileDescView();
        UpdateVisualIndicators();
    }
}

}  // namespace morvex
