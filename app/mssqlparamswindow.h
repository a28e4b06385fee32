// The SQL Server generation parameters window ("Paramètres de génération pour MS SQL Server",
// modal): the database, the table and four file names of a parameter record (MSSQL_PARAMS,
// mssql/mssql.h), .prm parameter files opened and saved, and the generation of
// the BCP format file, the BULK INSERT script and the update script of the current description
// (MSSQL_Generer*), or the addition of a template to its generation process.
//
// Target files named without a folder are written in the folder of generated files of the
// settings; the scripts name them as typed. User-interface thread only.
#pragma once

#include <QDialog>
#include <string>

struct FileDesc;
struct MSSQL_PARAMS;
class QLabel;
class QLineEdit;
class QMenuBar;
class QPushButton;

namespace morvex {

// Command numbers of the parameters window.
enum MssqlParamsCommand {
    ITM_PRM_OPEN = 1201,         // "Ouvrir un fichier de paramètres"
    ITM_PRM_SAVEAS = 1202,       // "Enregistrer sous..."
    ITM_PRM_GENFORMAT = 1203,    // "Générer le fichier de format"
    ITM_PRM_GENBCP = 1204,       // "Générer le script SQL de chargement BULK COPY"
    ITM_PRM_GENMAJ = 1205,       // "Générer le script SQL de MAJ de la table"
    ITM_PRM_GENTEMPLATE = 1206,  // "Générer à partir d'un template"
    ITM_PRM_BROWSEDATA = 1207,   // the four "..." buttons
    ITM_PRM_BROWSEFORMAT = 1208,
    ITM_PRM_BROWSEBCP = 1209,
    ITM_PRM_BROWSEMAJ = 1210,
    ITM_PRM_GENERATE = 1211,  // "Générer"
    ITM_PRM_CANCEL = 1212,    // "Annuler"
};

class MssqlParamsWindow : public QDialog {
    Q_OBJECT

public:
    // The window over `params` (not owned, kept up to date) and the description `desc` (may be
    // nullptr: nothing can then be generated).
    MssqlParamsWindow(MSSQL_PARAMS* params, FileDesc* desc, QWidget* parent = nullptr);

    // Runs one command (gererFrmDlgPrmGenMSSQL). False when it failed (its message shown) or
    // was cancelled.
    bool runCommand(int command);
    // The record shown in the fields (LoadInformations), the fields copied into the record
    // (SaveInformations).
    void LoadInformations();
    void SaveInformations();

    // The six fields in order: database, table, data file, format file, BULK INSERT script,
    // update script (tests, screenshots).
    QLineEdit* field(int n) const { return fields_[n]; }
    QMenuBar* menu() const { return menu_; }
    QPushButton* generateButton() const { return generate_; }
    QString noteText() const;

private:
    bool generateOne(int command);
    bool browse(int slot);
    bool openParameters();
    bool saveParameters();
    bool addTemplate();
    // The path a target of the record is written to: as typed when it names a folder, else in
    // the folder of generated files.
    std::string targetPath(const char* path) const;

    MSSQL_PARAMS* params_;
    FileDesc* desc_;
    QMenuBar* menu_;
    QLineEdit* fields_[6];
    QPushButton* generate_;
    QLabel* note_;
    std::string lastWritten_;  // the file the last generation command wrote
};

// Shows the parameters window over `params` (the record the main window keeps for the whole
// run) and the current description (appelDlgPrmGenMSSQL).
void appelDlgPrmGenMSSQL(QWidget* owner, MSSQL_PARAMS* params);

}  // namespace morvex
