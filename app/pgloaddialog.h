// "Envoyer les données dans PostgreSQL": the connection dialog (host, port, database, user,
// schema, or a connection string; the password asked each time and never stored; the last
// connections kept without password in the settings), the load mode and keys, then the load
// under the progress window and its outcome. The query tool opens its PostgreSQL connection
// through the same dialog, without the load's fields.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "filedesc/filedesc.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

class PgLoadDialog : public QDialog {
    Q_OBJECT

public:
    // What the dialog is opened for: a load (schema, mode and keys asked too) or the query
    // tool's connection (the connection alone).
    enum class Purpose { Load, Query };
    PgLoadDialog(QWidget* parent, const FileDesc* desc, Purpose purpose = Purpose::Load);

    // libpq's connection string of the fields (or the string typed), with the password typed.
    std::string connection() const;
    // The same without any password: what the settings keep and the messages name.
    std::string connectionWithoutPassword() const;
    std::string schema() const;
    int mode() const;  // LOADMODE
    bool keys() const;

    // The last connections kept in the settings, newest first (never with a password).
    static std::vector<std::string> recentConnections();
    // Puts `connection` (already without password) first in the settings' list.
    static void rememberConnection(const std::string& connection);

private:
    void fillFrom(const std::string& connection);

    QComboBox* recent_;
    QLineEdit* host_;
    QLineEdit* port_;
    QLineEdit* database_;
    QLineEdit* user_;
    QLineEdit* password_;
    QLineEdit* schema_;
    QLineEdit* string_;
    QComboBox* mode_;
    QCheckBox* keys_;
};

// The whole command: the dialog, the load of `desc`'s data file, the outcome in a message box.
void sendDataToPostgresql(QWidget* parent, FileDesc* desc);
