// The main window of tallymor, "Morvex Tallymor": formula field, result field, the messages
// and history lists, menus and the history's context menu. It holds layout and wiring only;
// every calculation is done by calc/calculation.h against the variable table it is given.
#pragma once

#include <QDialog>
#include <QPointer>
#include <string>
#include <vector>

#include "calc/calculation.h"

class QAction;
class QGroupBox;
class QLineEdit;
class QMenu;
class QMenuBar;
class QPushButton;
class QStatusBar;
class QTreeWidget;

namespace morvex {

class VariablesWindow;

// Menu and context menu commands of the main window.
enum {
    IDM_OUVRIR_CALCULS = 1003,      // "Ouvrir un fichier de calculs"
    IDM_ENREGISTRER_SOUS = 1004,    // "Enregistrer sous..."
    IDM_QUITTER = 1005,             // "Quitter"
    IDM_AFFICHER_ERREURS = 1006,    // "Afficher les erreurs"
    IDM_AFFICHER_VARIABLES = 1007,  // "Afficher les variables"
    IDM_AIDE = 1008,                // "Aide"
    IDM_A_PROPOS = 1009,            // "A propos de..."
    IDM_SUPPRIMER = 1010,           // history: "Supprimer"
    IDM_RAPPELER = 1011,            // history: "Rappeler dans la zone de calcul"
};

// The caption of the status bar.
extern const char* const TALLYMOR_STATUS_CAPTION;

// Owned by the UI thread. Runs as a modal dialog: the program lasts as long as it is open.
class MainWindow : public QDialog {
    Q_OBJECT
public:
    // `vars` is the process-wide variable table (not owned; it outlives the window).
    explicit MainWindow(CalculatorVariables* vars, QWidget* parent = nullptr);

    // Calculates one formula: messages, result field, variable table, history, and a refresh
    // of the variables window when it is open. An empty formula does nothing.
    void Calculer(const std::string& formula);

    // Runs a numbered command (IDM_...), as the menus and the context menu do.
    void onCommand(int id);

    // Calculates every line of a calculation file, in order. False when it cannot be read
    // (`error`, optional, then says why in French).
    bool openCalculationFile(const std::string& path, std::string* error = nullptr);
    // Writes every formula of the history, top to bottom, whole or not at all. False when it
    // cannot be written (`error`, when given, says why).
    bool saveCalculationFile(const std::string& path, std::string* error = nullptr);

    // The formulas of the history list, top to bottom.
    std::vector<std::string> historyFormulas() const;
    // The variables window, when open.
    VariablesWindow* variablesWindow() const { return variables_; }
    // Whether the messages group is shown.
    bool errorsShown() const { return errorsShown_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildMenus();
    void doLayout();
    void addMessages(const CalculationResult& result, bool compilation);
    void onHistoryContextMenu(const QPoint& pos);
    QAction* addCommand(QMenu* menu, const QString& text, int id);

    CalculatorVariables* vars_;            // the process-wide variable table (not owned)
    QMenuBar* menuBar_;                    // Fichier, Affichage, ?
    QAction* errorsAction_;                // "Afficher les erreurs" (checkable)
    QLineEdit* formula_;                   // the formula field
    QPushButton* calculate_;               // "Calculer"
    QLineEdit* result_;                    // the result field (read-only)
    QGroupBox* errorsGroup_;               // "Erreurs"
    QTreeWidget* messages_;                // columns "Etat", "Message"
    QGroupBox* historyGroup_;              // "Historique"
    QTreeWidget* history_;                 // columns "Formule", "Valeur"
    QStatusBar* statusBar_;                // the fixed caption
    QPointer<VariablesWindow> variables_;  // the modeless variables window, when open
    bool errorsShown_ = true;              // the messages group is shown
};

}  // namespace morvex
