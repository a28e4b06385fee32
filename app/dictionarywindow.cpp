#include "app/dictionarywindow.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

#include "appcore/application.h"
#include "desktop/columnfit.h"
#include "app/windowplacement.h"
#include "datadic/dico.h"
#include "foundation/trace.h"
#include "foundation/uiport.h"

namespace morvex {

namespace {

// The window of the program, while it is open.
QPointer<DictionaryWindow> gWindow;

QString fromUtf8(const char* text) {
    return QString::fromUtf8(text ? text : "");
}

enum Column { COL_NAME, COL_DESCRIPTION, COL_REFERENCES, COL_COUNT };

// What the person is told about a dictionary file not read whole ("" when read whole).
QString warningFor(const std::string& path, bool unreadable, const DATADICXML_LOADREPORT& r) {
    const QString file = QString::fromStdString(path);
    if (unreadable)
        return QString("Le fichier '%1' n'a pas pu être lu : aucun objet n'en a été chargé. "
                       "Il ne sera pas remplacé.")
            .arg(file);
    if (r.faultOffset >= 0)
        return QString("Le fichier '%1' n'a été lu que jusqu'à l'octet %2 (%3) : %4 objet(s) lu(s), "
                       "la suite est ignorée. Il ne sera pas remplacé tant qu'il n'est pas réparé.")
            .arg(file)
            .arg(r.faultOffset)
            .arg(fromUtf8(r.fault))
            .arg(r.objectsRead);
    if (r.objectsRead < r.objectsSeen)
        return QString("Le fichier '%1' : %2 objet(s) lu(s) sur %3, les autres sont incomplets ou "
                       "en double. Il ne sera pas remplacé tant qu'il n'est pas réparé.")
            .arg(file)
            .arg(r.objectsRead)
            .arg(r.objectsSeen);
    return QString();
}

}  // namespace

// What the worker's read gave, handed to the user-interface thread.
struct DictionaryRead {
    DATADIC* dic = nullptr;  // owned until installed
    bool incomplete = false;
    bool unreadable = false;
    DATADICXML_LOADREPORT report{};
    DICO_SEARCHINDEX index;
    ~DictionaryRead() {
        if (dic) DATADIC_Destroy(dic);
    }
};

// ---- The list's model ----

DictionaryModel::DictionaryModel(QObject* parent)
    : QAbstractTableModel(parent),
      icon_(QApplication::style()->standardIcon(QStyle::SP_FileDialogDetailedView)) {}

void DictionaryModel::setRows(DATADIC* dic, std::vector<int> rows) {
    beginResetModel();
    dic_ = dic;
    rows_ = dic ? std::move(rows) : std::vector<int>();
    endResetModel();
}

DATADIC_ELT* DictionaryModel::element(int row) const {
    return row >= 0 && row < static_cast<int>(rows_.size()) ? DATADIC_EltAt(dic_, rows_[row])
                                                            : nullptr;
}

int DictionaryModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int DictionaryModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : COL_COUNT;
}

QVariant DictionaryModel::data(const QModelIndex& at, int role) const {
    if (at.row() < 0 || at.row() >= static_cast<int>(rows_.size())) return {};
    const int row = rows_[at.row()];
    if (role == Qt::DecorationRole && at.column() == COL_NAME) return icon_;
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
    switch (at.column()) {
        case COL_NAME:
            return fromUtf8(DATADIC_CodeAt(dic_, row));
        case COL_DESCRIPTION:
            return fromUtf8(DATADIC_DescriptionAt(dic_, row));
        case COL_REFERENCES:
            return QString::fromStdString(DICO_ReferencesTextAt(dic_, row));
        default:
            return {};
    }
}

QVariant DictionaryModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* const titles[COL_COUNT] = {"Nom", "Description", "Références"};
    return section >= 0 && section < COL_COUNT ? QString::fromUtf8(titles[section]) : QVariant();
}

// ---- The window ----

DictionaryWindow::DictionaryWindow(const std::string& path, QWidget* parent)
    : QMainWindow(parent), path_(path) {
    setObjectName("dictionaryWindow");
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    auto* searchRow = new QHBoxLayout;
    searchRow->addWidget(new QLabel("Rechercher :", central));
    searchField_ = new QLineEdit(central);
    searchField_->setObjectName("dictionarySearch");
    searchField_->setMaxLength(DICO_FILTER_MAX);
    searchField_->setClearButtonEnabled(true);
    searchRow->addWidget(searchField_, 1);
    searchButton_ = new QPushButton("Rechercher", central);
    searchRow->addWidget(searchButton_);
    layout->addLayout(searchRow);

    warning_ = new QLabel(central);
    warning_->setObjectName("dictionaryWarning");
    warning_->setWordWrap(true);
    warning_->setStyleSheet("QLabel { background: #fff4ce; border: 1px solid #d9b44a; "
                            "padding: 4px; }");
    warning_->hide();
    layout->addWidget(warning_);

    model_ = new DictionaryModel(this);
    list_ = new QTreeView(central);
    list_->setObjectName("dictionaryList");
    list_->setModel(model_);
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);  // no row is measured: 100 000 rows lay out at once
    list_->setAllColumnsShowFocus(true);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->header()->setStretchLastSection(true);
    layout->addWidget(list_, 1);
    setCentralWidget(central);

    status_ = new QLabel(this);
    statusBar()->addWidget(status_, 1);

    connect(searchField_, &QLineEdit::textChanged, searchButton_, &QPushButton::click);
    connect(searchButton_, &QPushButton::clicked, this,
            [this] { search(searchField_->text()); });
    connect(list_, &QTreeView::doubleClicked, this,
            [this](const QModelIndex& at) { applyRow(at.row()); });

    placeOnParent(this, parentWidget(), QSize(760, 480));
    reload();
}

DictionaryWindow::~DictionaryWindow() {
    stopReading();
    model_->setRows(nullptr, {});  // the dictionary stays with the process; the rows go
    index_ = DICO_SEARCHINDEX{};
}

void DictionaryWindow::stopReading() {
    if (stop_) stop_->store(true);
    if (reader_.joinable()) reader_.join();
    std::lock_guard<std::mutex> lock(readLock_);
    read_.reset();
    loading_ = false;
}

void DictionaryWindow::reload() {
    stopReading();
    model_->setRows(nullptr, {});
    index_ = DICO_SEARCHINDEX{};
    loading_ = true;
    setWindowTitle(QString::fromStdString(DICO_Title(nullptr)));  // its name comes with the read
    setStatus("Chargement du dictionnaire");
    stop_ = std::make_shared<std::atomic<bool>>(false);
    auto stop = stop_;
    const std::string path = path_;
    // The read, the sort and the search index on the worker; the dictionary is handed back
    // whole. The window waits for this thread before it goes, so `this` outlives it.
    reader_ = std::thread([this, stop, path] {
        auto read = std::make_unique<DictionaryRead>();
        read->dic = DICO_Read(path.c_str(), &read->incomplete, &read->unreadable, &read->report,
                              stop.get());
        if (read->dic) DICO_BuildSearchIndex(read->dic, &read->index);
        if (stop->load()) return;
        {
            std::lock_guard<std::mutex> lock(readLock_);
            read_ = std::move(read);
        }
        QMetaObject::invokeMethod(this, &DictionaryWindow::showRead, Qt::QueuedConnection);
    });
}

void DictionaryWindow::finishLoading() {
    if (reader_.joinable()) reader_.join();
    showRead();
}

void DictionaryWindow::showRead() {
    std::unique_ptr<DictionaryRead> read;
    {
        std::lock_guard<std::mutex> lock(readLock_);
        read = std::move(read_);
    }
    if (!read) return;
    if (reader_.joinable()) reader_.join();  // it has handed its dictionary: it ends now
    loading_ = false;
    DATADIC* dic = read->dic;
    read->dic = nullptr;
    if (!dic) {
        UiError error{"ERREUR", "Erreur de création du dictionnaire", UiIcon::Error};
        showError(error);
        DICO_Close();
    } else {
        DICO_Install(dic, read->incomplete);
    }
    index_ = std::move(read->index);
    const QString warning = dic ? warningFor(path_, read->unreadable, read->report) : QString();
    warning_->setText(warning);
    warning_->setVisible(!warning.isEmpty());
    if (!warning.isEmpty()) trace("\n(!) %s", warning.toUtf8().constData());
    setWindowTitle(QString::fromStdString(DICO_Title(dic)));
    setStatus(QString());
    // What was typed while the file was read applies now.
    fill(searchField_->text());
    if (!searchField_->text().isEmpty())
        setStatus(QString::fromStdString(DICO_FoundText(model_->rowCount())));
    // Names whole, the description giving up room first: sized on the whole list once it is
    // laid out, and kept through the searches (which only narrow it).
    QTimer::singleShot(0, list_, [this] { fitColumns(list_, COL_DESCRIPTION); });
}

void DictionaryWindow::fill(const QString& filter) {
    const QByteArray text = filter.toUtf8();
    model_->setRows(loading_ ? nullptr : DICO_Current(), DICO_SearchIndexed(index_, text.constData()));
}

void DictionaryWindow::search(const QString& text) {
    setStatus("Recherche en cours");
    fill(text);
    if (loading_)
        setStatus("Chargement du dictionnaire");
    else
        setStatus(QString::fromStdString(DICO_FoundText(model_->rowCount())));
}

bool DictionaryWindow::applyRow(int row) {
    FileDesc* desc = gcontexte.currentFile;
    if (!desc) {
        setStatus("Aucune description courante : l'objet n'est pas ajouté");
        return false;
    }
    if (DICO_ApplyElement(desc, model_->element(row)) != 0) return false;
    desc->isModified = 1;
    uiPort().refresh(UiRefresh::Title);
    setStatus(QString("Colonne '%1' ajoutée à la description '%2'")
                  .arg(fromUtf8(model_->element(row)->code), fromUtf8(desc->ProjectName)));
    return true;
}

int DictionaryWindow::saveDictionary() {
    finishLoading();
    DATADIC* dic = DICO_Current();
    setWindowTitle(QString::fromStdString(DICO_Title(dic)));
    setStatus("Tri du dictionnaire");
    DATADIC_Sort(dic);
    setStatus("Chargement du dictionnaire");
    searchField_->blockSignals(true);
    searchField_->clear();
    searchField_->blockSignals(false);
    DICO_BuildSearchIndex(dic, &index_);
    fill(QString());
    setStatus("Enregistrement du dictionnaire");
    UiError error;
    const int result = DICO_Save(dic, &error);
    showError(error);
    setStatus("Terminé");
    return result;
}

void DictionaryWindow::setStatus(const QString& text) {
    status_->setText(text);
}

QString DictionaryWindow::statusText() const {
    return status_->text();
}

QString DictionaryWindow::warningText() const {
    return warning_->text();
}

DictionaryWindow* appelDlgDictionnaire(QWidget*) {
    if (!gWindow) {
        // A window of its own (no owner), destroyed when it is closed.
        gWindow = new DictionaryWindow(DICO_DefaultPath(gcontexte.dictionnariesDirectory));
        gWindow->setAttribute(Qt::WA_DeleteOnClose);
    }
    gWindow->show();
    gWindow->raise();
    gWindow->activateWindow();
    return gWindow.data();
}

DictionaryWindow* dictionaryWindow() {
    return gWindow.data();
}

int requestDictionarySave() {
    if (gWindow) return gWindow->saveDictionary();
    UiError error;
    const int result = DICO_Save(DICO_Current(), &error);
    showError(error);
    return result;
}

}  // namespace morvex
