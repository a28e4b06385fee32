// The variables window "Liste des variables": one row per variable of the calculator's table,
// in table order, with its value formatted by kind. Modeless; the main window refreshes it.
#pragma once

#include <QDialog>

#include "calc/calculation.h"

class QTreeWidget;

namespace morvex {

// Owned by the UI thread.
class VariablesWindow : public QDialog {
    Q_OBJECT
public:
    // `vars` is the calculator's table (not owned; it outlives the window).
    explicit VariablesWindow(const CalculatorVariables* vars, QWidget* parent = nullptr);

    // Fills the list again from the table.
    void refresh();

private:
    const CalculatorVariables* vars_;  // the table shown (not owned)
    QTreeWidget* list_;                // columns "Nom" and "Valeur"
};

}  // namespace morvex
