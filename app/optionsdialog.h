// The Options sheet: one page "Répertoires par défaut" with every folder the programs read
// (descriptions, templates, libraries, generated files, databases, dictionaries, logs), each
// empty one showing what stands for it (appcore/foldersettings.h). Applying it writes the
// fields into the context and saves every setting. User-interface thread only.
#pragma once

#include <QDialog>
#include <functional>
#include <vector>

#include "appcore/application.h"

class QGridLayout;
class QLineEdit;

namespace morvex {

class OptionsDialog : public QDialog {
    Q_OBJECT

public:
    OptionsDialog(CONTEXTE* ctx, QWidget* parent = nullptr);

    // Fields of the folders (tests).
    QLineEdit* formatsField() const { return formats_; }
    QLineEdit* templatesField() const { return templates_; }
    QLineEdit* generatedField() const { return generated_; }

    // Reads the fields back into the context (at most 260 characters each) and saves the
    // settings (APPLICATION_UpdateRegister).
    void apply();

    void accept() override;

    // The folder chooser of the "..." buttons: (title, start) -> chosen folder, empty for a
    // cancel. Tests replace it; an empty function restores the desktop's chooser.
    static void setFolderChooser(std::function<QString(const QString&, const QString&)> chooser);

private:
    QLineEdit* addRow(QGridLayout* grid, int row, const QString& label, const char* value);

    struct Field {
        QLineEdit* field;
        char* value;  // the setting it edits in ctx_
    };

    CONTEXTE* ctx_;
    std::vector<Field> fields_;  // every folder, in the order shown
    QLineEdit* formats_;
    QLineEdit* templates_;
    QLineEdit* generated_;
};

// Shows the Options sheet on `ctx` (modal); true when it was applied.
bool DoPropertySheetOptions(QWidget* parent, CONTEXTE* ctx);

}  // namespace morvex
