// The PostgreSQL load command of the main window.
#include "app/pgloaddialog.h"

#include <cstring>

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/windowplacement.h"
#include "appcore/application.h"
#include "appcore/loadsummary.h"
#include "foundation/registry.h"
#include "foundation/uiport.h"
#include "pgload/pgload.h"
#include "pgload/libpq.h"


namespace pq = morvex::pq;
namespace {

constexpr int kRecentConnections = 8;

std::string settingsPath() {
    return std::string(morvex::kSettingsKeyPath) + "\\PostgreSQL";
}

std::string text(const QLineEdit* edit) {
    return edit->text().trimmed().toStdString();
}

}  // namespace

PgLoadDialog::PgLoadDialog(QWidget* parent, const FileDesc* desc, Purpose purpose)
    : QDialog(parent) {
    const bool load = purpose == Purpose::Load;
    setWindowTitle(load ? "Envoyer les données dans PostgreSQL" : "Ouvrir une connexion PostgreSQL");
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    recent_ = new QComboBox(this);
    recent_->addItem("");
    for (const std::string& c : recentConnections()) recent_->addItem(QString::fromStdString(c));
    form->addRow("Connexions récentes :", recent_);
    host_ = new QLineEdit("localhost", this);
    port_ = new QLineEdit("5432", this);
    database_ = new QLineEdit(this);
    user_ = new QLineEdit(QString::fromLocal8Bit(qgetenv("USER")), this);
    password_ = new QLineEdit(this);
    password_->setEchoMode(QLineEdit::Password);
    password_->setPlaceholderText("vide : ~/.pgpass ou PGPASSWORD");
    schema_ = new QLineEdit(this);
    schema_->setPlaceholderText(desc != nullptr && desc->SchemaName[0] != '\0'
                                    ? QString::fromUtf8(desc->SchemaName)
                                    : QString(PGLOAD_DEFAULT_SCHEMA));
    string_ = new QLineEdit(this);
    string_->setPlaceholderText("postgresql://… ou host=… dbname=… (remplace les champs)");
    // Named for the tests.
    host_->setObjectName("host");
    port_->setObjectName("port");
    database_->setObjectName("database");
    user_->setObjectName("user");
    password_->setObjectName("password");
    string_->setObjectName("connectionString");
    form->addRow("Serveur :", host_);
    form->addRow("Port :", port_);
    form->addRow("Base :", database_);
    form->addRow("Utilisateur :", user_);
    form->addRow("Mot de passe :", password_);
    form->addRow("Schéma :", schema_);
    form->addRow("Chaîne de connexion :", string_);
    mode_ = new QComboBox(this);
    mode_->addItem("Remplacer la table chargée depuis une description", LOADMODE_DEFAULT);
    mode_->addItem("Remplacer la table, quelle qu'elle soit", LOADMODE_REPLACE);
    mode_->addItem("Créer la table (refusé si elle existe)", LOADMODE_CREATE);
    mode_->addItem("Compléter la table existante", LOADMODE_APPEND);
    mode_->addItem("Compléter en remplaçant les lignes de même clé", LOADMODE_UPSERT);
    form->addRow("Table :", mode_);
    keys_ = new QCheckBox("Créer la clé primaire, les index et les colonnes obligatoires", this);
    form->addRow("", keys_);
    if (!load) {
        form->setRowVisible(schema_, false);
        form->setRowVisible(mode_, false);
        form->setRowVisible(keys_, false);
    }
    layout->addLayout(form);
    auto* note = new QLabel("Le mot de passe n'est jamais enregistré.", this);
    layout->addWidget(note);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(load ? "Envoyer" : "Ouvrir");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    connect(recent_, &QComboBox::currentTextChanged, this,
            [this](const QString& chosen) { fillFrom(chosen.toStdString()); });
    if (recent_->count() > 1) recent_->setCurrentIndex(1);
    morvex::placeOnParent(this, parent, sizeHint());
}

void PgLoadDialog::fillFrom(const std::string& connection) {
    if (connection.empty()) return;
    char* error = nullptr;
    PQconninfoOption* options = pq::PQconninfoParse(connection.c_str(), &error);
    if (error != nullptr) pq::PQfreemem(error);
    if (options == nullptr) return;
    for (PQconninfoOption* o = options; o->keyword != nullptr; ++o) {
        const QString v = o->val != nullptr ? QString::fromUtf8(o->val) : QString();
        const std::string k = o->keyword;
        if (k == "host") host_->setText(v);
        if (k == "port") port_->setText(v);
        if (k == "dbname") database_->setText(v);
        if (k == "user") user_->setText(v);
    }
    pq::PQconninfoFree(options);
    string_->clear();
}

std::string PgLoadDialog::connectionWithoutPassword() const {
    if (!text(string_).empty()) return PGLOAD_DescribeConnection(text(string_));
    std::string c;
    auto add = [&c](const char* key, const std::string& value) {
        if (!value.empty())
            c += (c.empty() ? "" : " ") + std::string(key) + "=" + PGLOAD_ConnectionWord(value);
    };
    add("host", text(host_));
    add("port", text(port_));
    add("dbname", text(database_));
    add("user", text(user_));
    return PGLOAD_DescribeConnection(c);
}

std::string PgLoadDialog::connection() const {
    std::string c = !text(string_).empty() ? text(string_) : connectionWithoutPassword();
    if (!password_->text().isEmpty()) {
        // A URI takes the password as a word after it only in libpq's words form.
        if (c.rfind("postgres", 0) == 0) c = PGLOAD_DescribeConnection(c);
        c += " password=" + PGLOAD_ConnectionWord(password_->text().toStdString());
    }
    return c;
}

std::string PgLoadDialog::schema() const {
    return text(schema_);
}

int PgLoadDialog::mode() const {
    return mode_->currentData().toInt();
}

bool PgLoadDialog::keys() const {
    return keys_->isChecked();
}

std::vector<std::string> PgLoadDialog::recentConnections() {
    std::vector<std::string> out;
    auto key = morvex::SettingsKey::open(settingsPath(), REG_KEY_READ);
    if (!key) return out;
    for (int i = 1; i <= kRecentConnections; ++i) {
        const auto v = key->get("Connexion" + std::to_string(i));
        if (v && !v->empty()) out.push_back(*v);
    }
    return out;
}

void PgLoadDialog::rememberConnection(const std::string& connection) {
    if (connection.empty()) return;
    std::vector<std::string> list = {connection};
    for (const std::string& c : recentConnections())
        if (c != connection && static_cast<int>(list.size()) < kRecentConnections) list.push_back(c);
    std::vector<std::pair<std::string, std::string>> values;
    for (size_t i = 0; i < list.size(); ++i)
        values.emplace_back("Connexion" + std::to_string(i + 1), list[i]);
    auto key = morvex::SettingsKey::create(settingsPath(), REG_KEY_ALL_ACCESS);
    if (key) key->set(values);
}

void sendDataToPostgresql(QWidget* parent, FileDesc* desc) {
    if (desc == nullptr) return;
    PgLoadDialog dialog(parent, desc);
    if (dialog.exec() != QDialog::Accepted) return;
    const std::string shown = dialog.connectionWithoutPassword();
    PgLoadDialog::rememberConnection(shown);
    PGLOAD_OPTIONS options;
    options.schema = dialog.schema();
    options.load.mode = dialog.mode();
    options.load.keys = dialog.keys();
    if (desc->TableName[0] == '\0') strcpy(desc->TableName, "datafile");
    SQLITE4FYK_LOADSTATS stats{};
    const int batch = gcontexte.sqliteBatchSize > 0 ? static_cast<int>(gcontexte.sqliteBatchSize)
                                                    : SQLITE4FYK_DEFAULT_BATCH_SIZE;
    if (PGLOAD_RunLoadTask(desc, dialog.connection().c_str(), batch, &stats, &options) != 0)
        return;
    const std::string schema = !options.schema.empty()        ? options.schema
                               : desc->SchemaName[0] != '\0' ? desc->SchemaName
                                                             : PGLOAD_DEFAULT_SCHEMA;
    const std::string outcome = LOAD_Outcome(stats, shown, schema + "." + desc->TableName);
    const bool done = stats.status == SQLITE4FYK_LOAD_DONE;
    morvex::uiPort().messageBox("Chargement du fichier de données", outcome, morvex::UiButtons::Ok,
                                done ? morvex::UiIcon::Info : morvex::UiIcon::Warning);
}
