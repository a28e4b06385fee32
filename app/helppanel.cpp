#include "app/helppanel.h"

#include <QAction>
#include <QLabel>
#include <QResizeEvent>
#include <QStyle>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QToolBar>
#include <QUrl>

#include "app/qtuiport.h"
#include "foundation/trace.h"

namespace morvex {

namespace {

// Colours of the help topics (0x00BBGGRR).
constexpr unsigned kTitleColour = 0x640000;    // RGB(0, 0, 100)
constexpr unsigned kHeadingColour = 0x640048;  // RGB(72, 0, 100)
constexpr unsigned kLinkColour = 0xFF0000;     // RGB(0, 0, 255)

const char kLinkScheme[] = "morvex";

QUrl commandLink(int value) { return QUrl(QString("%1:cmd/%2").arg(kLinkScheme).arg(value)); }

QUrl pathLink(size_t index) { return QUrl(QString("%1:path/%2").arg(kLinkScheme).arg(index)); }

}  // namespace

HelpPanel::HelpPanel(QWidget* parent) : QWidget(parent) {
    setObjectName("helpPanel");
    toolBar_ = new QToolBar(this);
    toolBar_->setIconSize(QSize(16, 16));
    struct Button {
        int command;
        QStyle::StandardPixmap icon;
        const char* text;
    };
    const Button buttons[] = {
        {1044, QStyle::SP_FileIcon, "Nouveau"},
        {1045, QStyle::SP_DialogOpenButton, "Ouvrir"},
        {1057, QStyle::SP_DialogCloseButton, "Aide contextuelle"},
    };
    for (const Button& b : buttons) {
        QAction* action = toolBar_->addAction(style()->standardIcon(b.icon), b.text);
        action->setToolTip(b.command == 1057 ? "Masquer l'aide contextuelle" : b.text);
        int command = b.command;
        connect(action, &QAction::triggered, this, [this, command] { emit commandRequested(command); });
    }

    title_ = new QLabel("Assistant", this);
    QFont font("Tahoma");
    font.setBold(true);
    font.setPixelSize(13);
    title_->setFont(font);
    title_->setAutoFillBackground(true);
    QPalette palette = title_->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Active, QPalette::Highlight));
    palette.setColor(QPalette::WindowText,
                     palette.color(QPalette::Active, QPalette::HighlightedText));
    title_->setPalette(palette);

    text_ = new QTextBrowser(this);
    text_->setObjectName("helpText");
    text_->setOpenLinks(false);
    text_->setOpenExternalLinks(false);
    connect(text_, &QTextBrowser::anchorClicked, this, &HelpPanel::activateLink);

    lower_ = new QWidget(this);
    lower_->setObjectName("pkIndexesArea");
    resize(190, 500);
}

void HelpPanel::setLowerWidget(QWidget* widget) {
    if (!widget) return;
    delete lower_;
    lower_ = widget;
    lower_->setParent(this);
    lower_->show();
    resizeEvent(nullptr);
}

void HelpPanel::resizeEvent(QResizeEvent*) {
    const int w = width();
    const int h = height();
    toolBar_->setGeometry(0, 0, w, 28);
    title_->setGeometry(0, 28, w, 15);
    const int textHeight = std::max(0, h - 245);
    text_->setGeometry(0, 45, w, textHeight);
    const int lowerTop = 45 + textHeight + 2;
    lower_->setGeometry(0, lowerTop, w, std::max(0, h - lowerTop));
}

QColor HelpPanel::colourFromRef(unsigned colour) {
    return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

void HelpPanel::request(UiPanel request, unsigned value, const std::string& text) {
    const QString run = QString::fromUtf8(text.c_str());
    switch (request) {
        case UiPanel::Clear: clear(); break;
        case UiPanel::HelpTopic: EcrireMessageInfo(static_cast<int>(value)); break;
        case UiPanel::Normal: RE_EcrireNormal(run); break;
        case UiPanel::BoldColour: RE_EcrireGrasCouleur(run, value); break;
        case UiPanel::Link: RE_EcrireLien(run, value, text); break;
    }
}

void HelpPanel::clear() {
    text_->clear();
    paths_.clear();
}

int HelpPanel::RE_Ecrire(const QString& text, unsigned colour, bool bold, bool link,
                         const QString& value) {
    QTextCursor cursor(text_->document());
    cursor.movePosition(QTextCursor::End);
    QTextCharFormat format;
    format.setForeground(colourFromRef(colour));
    format.setFontWeight(bold ? QFont::Bold : QFont::Normal);
    if (link) {
        format.setAnchor(true);
        format.setAnchorHref(value);
        format.setFontUnderline(true);
    }
    cursor.insertText(text, format);
    return 0;
}

int HelpPanel::RE_EcrireNormal(const QString& text) { return RE_Ecrire(text, 0, false, false, {}); }

int HelpPanel::RE_EcrireGrasCouleur(const QString& text, unsigned colour) {
    return RE_Ecrire(text, colour, true, false, {});
}

int HelpPanel::RE_EcrireLien(const QString& text, unsigned colour, const std::string& path) {
    paths_.push_back(path);
    return RE_Ecrire(text, colour, false, true, pathLink(paths_.size() - 1).toString());
}

void HelpPanel::activateLink(const QUrl& link) {
    if (link.scheme() != kLinkScheme) return;
    const QString target = link.path();
    bool ok = false;
    if (target.startsWith("cmd/")) {
        int value = target.mid(4).toInt(&ok);
        if (!ok) return;
        trace("\n[HelpPanel::activateLink] Lien %i", value);
        if (value == 1) emit commandRequested(1044);
        else if (value == 2) emit commandRequested(1051);
        else if (value == 3) EcrireMessageInfo(3);
    } else if (target.startsWith("path/")) {
        size_t index = target.mid(5).toULongLong(&ok);
        if (!ok || index >= paths_.size()) return;
        // A copy: opening may run an event loop that clears the panel.
        const std::string path = paths_[index];
        openWithDesktop(QUrl::fromLocalFile(QString::fromStdString(path)));
    }
}

QList<QUrl> HelpPanel::links() const {
    QList<QUrl> found;
    for (QTextBlock block = text_->document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            QTextCharFormat format = it.fragment().charFormat();
            if (format.isAnchor()) found.append(QUrl(format.anchorHref()));
        }
    }
    return found;
}

QString HelpPanel::plainText() const { return text_->toPlainText(); }

void HelpPanel::EcrireMessageInfo(int topic) {
    clear();
    auto link = [this](const QString& text, int value) {
        RE_Ecrire(text, kLinkColour, false, true, commandLink(value).toString());
    };
    switch (topic) {
        case 1:
            RE_EcrireGrasCouleur("Bienvenue dans Morvex Fylatek!", kTitleColour);
            RE_EcrireNormal(
                "\n\nFylatek vous permet de définir des formats de fichiers non structurés, "
                "communément appelés \"fichiers plats\". Un format, ou description, dit comment "
                "lire un fichier de données : comment se terminent ses lignes, si ses champs sont "
                "séparés par un délimiteur ou occupent une largeur fixe, quelle ligne porte le nom "
                "des champs et, pour chaque colonne, son code, sa description, sa largeur et le "
                "type de donnée qu'elle doit recevoir dans une base. Une fois le fichier décrit, "
                "vous pouvez en voir le découpage, en compter les lignes, le charger dans une base "
                "SQLite, produire le script SQL qui l'insère dans une table, ou lancer un "
                "processus de génération qui écrit scripts, programmes et documents à partir de "
                "la description.");
            RE_EcrireGrasCouleur("\n\nVous voulez :\n", 0);
            link("\n- Créer un fichier de format libre pour des données délimitée...\n", 1);
            link("\n- Créer un fichier de format libre pour des données de longueur fixe...\n", 1);
            link("\n- Créer un fichier de format automatiquement à partir d'un fichier de "
                 "données...\n",
                 2);
            break;
        case 2:
            RE_EcrireGrasCouleur("Fenêtre de création d'un nouveau fichier de format.",
                                 kTitleColour);
            RE_EcrireNormal(
                "\n\nCette fenêtre permet de définir les propriétés d'un nouveau fichier de "
                "format. Il s'agit principalement de renseigner les paramètres du fichier de "
                "données.");
            RE_EcrireGrasCouleur("\n\nNom du projet : ", kHeadingColour);
            RE_EcrireNormal("Nom court définissant le fichier de format (ex : Clients)");
            RE_EcrireGrasCouleur("\n\nDescription du projet : ", kHeadingColour);
            RE_EcrireNormal(
                "Décrit à quoi sert le fichier de format, pour quel type de fichier, pour quelle "
                "application, d'où viennent les données, etc...");
            RE_EcrireGrasCouleur("\n\nIdentification des champs : ", kHeadingColour);
            RE_EcrireNormal(
                "Les champs d'une ligne sont identifiés de deux manières : soit ils sont "
                "délimités par un séparateur (point-virgule, tabulation, virgule...), que vous "
                "indiquez, soit ils ont une longueur fixe, et chaque champ occupe alors toujours "
                "le même nombre de caractères à la même place sur la ligne ; vous donnerez la "
                "largeur de chaque colonne en la saisissant.");
            RE_EcrireGrasCouleur("\n\nParamètres : ", kHeadingColour);
            RE_EcrireNormal(
                "Indiquez si la première ligne du fichier porte le nom des champs (ligne "
                "d'en-tête), à partir de quelle ligne les données doivent être importées, et "
                "l'indicateur de fin de ligne : \\r\\n pour un fichier venu de Windows, \\n pour "
                "un fichier Unix, ou la suite de caractères qui termine chaque ligne.");
            RE_EcrireGrasCouleur("\n\nExemple de fichier : ", kHeadingColour);
            RE_EcrireNormal(
                "Si vous souhaitez avoir un aperçu du résultat de l'application du format, "
                "indiquez un exemple de fichier de données. Fylatek prendra alors les premières "
                "lignes comme exemple.");
            break;
        case 0:
            RE_EcrireGrasCouleur("Saisie des colonnes", kTitleColour);
            RE_EcrireNormal(
                "\nPour ajouter une description de colonne du fichier de données, indiquer le nom "
                "codé de la colonne ainsi qu'une petite description (ex : CNUMCLI, Numéro "
                "client). Précisez ensuite sa largeur en caractères, le type de donnée qu'elle "
                "recevra (entier, décimal, date, chaîne fixe ou variable, texte, booléen) avec "
                "son format, et si elle peut rester vide ou doit être ignorée. L'aperçu du "
                "résultat montre aussitôt le découpage du fichier exemple avec les colonnes "
                "saisies, et les colonnes dont une valeur ne respecte pas le type sont signalées. "
                "Les commandes Monter et Descendre changent l'ordre des colonnes ; la clé "
                "primaire et les index se définissent dans la partie basse de ce panneau.");
            break;
        default:
            break;
    }
    text_->moveCursor(QTextCursor::Start);
}

}  // namespace morvex
