// The data dictionary window ("Dictionnaire - <name>", modeless): the objects of the process's
// dictionary (datadic/dico.h) with their references, a search box that narrows the list as the
// person types, and a double click that appends an object's default definition as a new column
// of the current description. The list is a model over the dictionary's compact objects, read
// on display (an object's full element is built only when it is double-clicked): a dictionary
// of a hundred thousand objects opens, searches and scrolls at once.
//
// The file is read on a worker thread: the window shows at once with "Chargement du
// dictionnaire" in its status line and an empty list, stays usable (the search typed meanwhile
// applies when the list comes), and closing it stops the read. The dictionary read becomes the
// process's (DICO_Install) back on the user-interface thread.
//
// A dictionary file that could not be read whole is told above the list (what was read, where
// the reading stopped); the file is then never written over (DICO_Save refuses).
//
// One window for the whole program (appelDlgDictionnaire); user-interface thread only.
#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <QMainWindow>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "datadic/dico.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeView;

namespace morvex {

// The rows of the list: objects of the dictionary (places in its list order), read from its
// compact store when drawn.
class DictionaryModel : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit DictionaryModel(QObject* parent = nullptr);
    // Shows the objects `rows` of `dic`, which must outlive them on display (or be replaced by
    // another setRows first); nullptr shows nothing.
    void setRows(DATADIC* dic, std::vector<int> rows);
    // The element of a row, built on demand and owned by the dictionary, or nullptr.
    DATADIC_ELT* element(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& at, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    DATADIC* dic_ = nullptr;
    std::vector<int> rows_;
    QIcon icon_;
};

struct DictionaryRead;

class DictionaryWindow : public QMainWindow {
    Q_OBJECT

public:
    // The window over the dictionary file `path` (initFrmDlgDictionnaire), its read started.
    explicit DictionaryWindow(const std::string& path, QWidget* parent = nullptr);
    // Stops the read under way and waits for it (at most one block of the file).
    ~DictionaryWindow() override;

    // Reads the file again on the worker (or an empty dictionary "ZRT"), sorted; its objects are
    // shown when the read ends. A read under way is stopped first.
    void reload();
    // Whether a read is under way (its dictionary not shown yet).
    bool loading() const { return loading_; }
    // Waits for the read under way and shows its dictionary now: before the process's
    // dictionary is changed from elsewhere (columns sent to it), and for tests.
    void finishLoading();
    // The search: the objects whose code or description holds `text` (case ignored), with
    // "<n> objet(s) trouvé(s)" in the status line.
    void search(const QString& text);
    // A double click on a row: appends its object's default definition to the current
    // description. False without an object or a current description.
    bool applyRow(int row);
    // The save sequence, after columns were sent to the dictionary: sort, show every object,
    // write the file (unless it holds more than the dictionary), each step in the status line.
    // DICO_Save's result.
    int saveDictionary();

    // Parts of the window (tests, screenshots, benchmark).
    QTreeView* list() const { return list_; }
    DictionaryModel* model() const { return model_; }
    QLineEdit* searchField() const { return searchField_; }
    QString statusText() const;
    // The warning about a dictionary file not read whole ("" when read whole).
    QString warningText() const;

private:
    void fill(const QString& filter);
    void setStatus(const QString& text);
    void stopReading();
    // Takes the dictionary of the read that ended (nothing when already taken) and shows it.
    void showRead();

    std::string path_;
    std::thread reader_;                     // the read under way, joined before another
    std::shared_ptr<std::atomic<bool>> stop_;  // set to stop it
    std::mutex readLock_;                    // guards read_
    std::unique_ptr<DictionaryRead> read_;   // what the ended read gave, until shown
    bool loading_ = false;
    DICO_SEARCHINDEX index_;  // what the search reads, built at each change of the dictionary
    QLineEdit* searchField_;
    QPushButton* searchButton_;
    QLabel* warning_;
    QTreeView* list_;
    DictionaryModel* model_;
    QLabel* status_;
};

// Opens the dictionary window (appelDlgDictionnaire) over the dictionary file of the settings,
// or raises it when it is open.
DictionaryWindow* appelDlgDictionnaire(QWidget* parent);
// The open dictionary window, or nullptr.
DictionaryWindow* dictionaryWindow();
// After columns were sent to the dictionary: the open window runs its save sequence, else the
// dictionary is saved. 0, or 1 when it could not be saved.
int requestDictionarySave();

}  // namespace morvex
