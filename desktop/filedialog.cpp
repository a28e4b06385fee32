#include "desktop/filedialog.h"

#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QIdentityProxyModel>
#include <QLocale>
#include <QSplitter>
#include <QTreeView>

#include "desktop/columnfit.h"

namespace morvex {

namespace {

// The columns of Qt's file list.
enum { COL_NAME, COL_SIZE, COL_KIND, COL_DATE };

// Qt's file list words sizes, kinds and dates after the system's language, whatever the
// program's: this model in front of it words them in French.
class FrenchFileList : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole) {
            switch (section) {
                case COL_NAME:
                    return QStringLiteral("Nom");
                case COL_SIZE:
                    return QStringLiteral("Taille");
                case COL_KIND:
                    return QStringLiteral("Type");
                case COL_DATE:
                    return QStringLiteral("Date de modification");
                default:
                    break;
            }
        }
        return QIdentityProxyModel::headerData(section, orientation, role);
    }

    QVariant data(const QModelIndex& index, int role) const override {
        auto* files = qobject_cast<QFileSystemModel*>(sourceModel());
        if (!files || role != Qt::DisplayRole || index.column() == COL_NAME)
            return QIdentityProxyModel::data(index, role);
        const QFileInfo info = files->fileInfo(mapToSource(index));
        const QLocale french;
        switch (index.column()) {
            case COL_SIZE:
                if (info.isDir()) return QString();
                return french.formattedDataSize(info.size(), 1, QLocale::DataSizeTraditionalFormat);
            case COL_KIND:
                if (info.isDir()) return QStringLiteral("Dossier");
                if (info.suffix().isEmpty()) return QStringLiteral("Fichier");
                return QStringLiteral("Fichier %1").arg(info.suffix());
            case COL_DATE:
                return french.toString(info.lastModified(), QLocale::ShortFormat);
            default:
                return QIdentityProxyModel::data(index, role);
        }
    }
};

}  // namespace

void prepareFileDialog(QFileDialog& dialog) {
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    dialog.setViewMode(QFileDialog::Detail);
    dialog.setProxyModel(new FrenchFileList(&dialog));
    if (auto* list = dialog.findChild<QTreeView*>("treeView")) {
        list->header()->setMinimumSectionSize(60);
        keepColumnsFitted(list, COL_NAME);
    }
    dialog.resize(760, 480);
    // The places on the left with their names whole ("Ordinateur").
    if (auto* split = dialog.findChild<QSplitter*>("splitter")) split->setSizes({150, 610});
}

std::optional<QString> chooseFile(QWidget* parent, const QString& title, const QString& proposed,
                                  const QString& filter, FileDialogMode mode,
                                  const QString& defaultSuffix) {
    QFileDialog dialog(parent, title);
    if (!filter.isEmpty()) dialog.setNameFilter(filter);
    if (!defaultSuffix.isEmpty()) dialog.setDefaultSuffix(defaultSuffix);
    switch (mode) {
        case FileDialogMode::Open:
            dialog.setAcceptMode(QFileDialog::AcceptOpen);
            dialog.setFileMode(QFileDialog::ExistingFile);
            break;
        case FileDialogMode::Save:
            dialog.setAcceptMode(QFileDialog::AcceptSave);
            dialog.setFileMode(QFileDialog::AnyFile);
            break;
        case FileDialogMode::Folder:
            dialog.setAcceptMode(QFileDialog::AcceptOpen);
            dialog.setFileMode(QFileDialog::Directory);
            dialog.setOption(QFileDialog::ShowDirsOnly, true);
            break;
    }
    prepareFileDialog(dialog);
    const QFileInfo info(proposed);
    if (!proposed.isEmpty() && info.isDir()) {
        dialog.setDirectory(proposed);
    } else if (proposed.contains('/')) {
        dialog.setDirectory(info.absolutePath());
        if (!info.fileName().contains('*')) dialog.selectFile(info.fileName());
    } else {
        // Never the folder another dialog used last: the home folder when none is given.
        dialog.setDirectory(QDir::homePath());
        if (!proposed.isEmpty() && !proposed.contains('*')) dialog.selectFile(proposed);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().first();
}

}  // namespace morvex
