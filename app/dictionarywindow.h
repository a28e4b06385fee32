// The data dictionary window ("Dictionnaire - <name>", modeless): the objects of the process's
// dictionary (datadic/dico.h) with their references, a search box that narrows the list as the
// person types, and a double click that appends an object's default definition as a new column
// of the current description. The list is a model over the dictionary's elements, read on
// display: a dictionary of a hundred thousand objects opens, searches and scrolls at once.
//
// A dictionary file that could not be read whole is told above the list (what was read, where
// the reading stopped); the file is then never written over (DICO_Save refuses).
//
// One window for the whole program (appelDlgDictionnaire); user-interface thread only.
#pragma once

#include <QAbstractTableModel>
#include <QIcon>
#include <QMainWindow>
#include <string>
#include <vector>

#include "datadic/dico.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeView;

namespace morvex {

// The rows of the list: elements of the dictionary, in list order, read when drawn.
class DictionaryModel : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit DictionaryModel(QObject* parent = nullptr);
    // Shows `rows` (elements owned by the dictionary, which outlives them on display).
    void setRows(std::vector<DATADIC_ELT*> rows);
    // The element of a row, or nullptr.
    DATADIC_ELT* element(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& at, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::vector<DATADIC_ELT*> rows_;
    QIcon icon_;
};

class DictionaryWindow : public QMainWindow {
    Q_OBJECT

public:
    // The window over the dictionary file `path` (initFrmDlgDictionnaire: loaded at once).
    explicit DictionaryWindow(const std::string& path, QWidget* parent = nullptr);
    ~DictionaryWindow() override;

    // Loads the file again (or an empty dictionary "ZRT"), sorts it and shows every object.
    void reload();
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

    std::string path_;
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
