// The about box: program name, purpose, version line, picture and a "Fermer" button.
#pragma once

#include <QDialog>

namespace morvex {

class AboutDialog : public QDialog {
    Q_OBJECT

public:
    explicit AboutDialog(QWidget* parent = nullptr);
    // "Version 1.5.2 build 5697 du <build date>".
    static QString versionLine();
};

}  // namespace morvex
