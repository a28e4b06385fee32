// The profile panel: the selected column's profile, computed over the whole example file in a
// worker thread.
#include "app/profilepanel.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <algorithm>

#include "appcore/application.h"
#include "filedesc/filedesc.h"
#include "foundation/trace.h"
#include "profile/profilereport.h"

namespace morvex {

namespace {

constexpr int kChartBars = 24;
constexpr int kShownValues = 5;

QString number(long long n) {
    return QLocale(QLocale::French).toString(n);
}

// A copy of `desc` through its .fyk text, its modified flag left as it was; nullptr on failure.
FileDesc* copyOf(FileDesc* desc) {
    QTemporaryDir dir;
    if (!dir.isValid()) return nullptr;
    const std::string path = dir.filePath("profil.fyk").toStdString();
    const int modified = desc->isModified;
    const int saved = FILEDESC_SaveToFile(desc, path.c_str());
    desc->isModified = modified;
    if (saved != 0) return nullptr;
    std::string error;
    FileDesc* copy = FILEDESC_OpenFileDesc(path.c_str(), &error);
    if (copy == nullptr) trace("\n[ProfilePanel] %s", error.c_str());
    return copy;
}

}  // namespace

ProfileChart::ProfileChart(QWidget* parent) : QWidget(parent) {
    setObjectName("profileChart");
    setMinimumHeight(130);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void ProfileChart::setBars(const std::vector<ProfileBin>& bins, const QString& first,
                           const QString& last, const QString& caption) {
    bins_ = bins;
    first_ = first;
    last_ = last;
    caption_ = caption;
    setAccessibleName(caption);
    update();
}

void ProfileChart::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().base());
    const QFontMetrics fm = p.fontMetrics();
    const int line = fm.height();
    const QRect plot = rect().adjusted(6, line + 4, -6, -2 * line - 4);
    p.setPen(palette().text().color());
    p.drawText(rect().adjusted(6, 2, -6, 0), Qt::AlignLeft | Qt::AlignTop, caption_);
    p.drawLine(plot.bottomLeft(), plot.bottomRight());
    if (bins_.empty()) {
        p.drawText(plot, Qt::AlignCenter, "Aucune valeur");
        return;
    }
    long long most = 1;
    for (const ProfileBin& b : bins_) most = std::max(most, b.count);
    const double width = static_cast<double>(plot.width()) / static_cast<double>(bins_.size());
    const QColor bar(0x3b, 0x6e, 0xa5);
    for (size_t i = 0; i < bins_.size(); ++i) {
        const double h = plot.height() * static_cast<double>(bins_[i].count) / most;
        const QRectF r(plot.left() + width * static_cast<double>(i) + 1, plot.bottom() - h,
                       std::max(1.0, width - 2), h);
        p.fillRect(r, bar);
    }
    p.drawText(plot.adjusted(0, 0, 0, 0), Qt::AlignRight | Qt::AlignTop, number(most));
    const QRect under(plot.left(), plot.bottom() + 2, plot.width(), line);
    p.drawText(under, Qt::AlignLeft | Qt::AlignTop, first_);
    p.drawText(under, Qt::AlignRight | Qt::AlignTop, last_);
}

ProfilePanel::ProfilePanel(QWidget* parent) : QWidget(parent) {
    setObjectName("profilePanel");
    setAccessibleName("Profil de la colonne");
    // The panel scrolls rather than ask the column list for more height than it has.
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    outer->addWidget(scroll);
    auto* content = new QWidget(scroll);
    scroll->setWidget(content);
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setSpacing(4);
    title_ = new QLabel(this);
    title_->setWordWrap(true);
    title_->setTextFormat(Qt::RichText);
    facts_ = new QLabel(this);
    facts_->setTextFormat(Qt::RichText);
    facts_->setWordWrap(true);
    facts_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    chart_ = new ProfileChart(this);
    top_ = new QLabel(this);
    top_->setTextFormat(Qt::RichText);
    top_->setWordWrap(true);
    top_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(title_);
    layout->addWidget(facts_);
    layout->addWidget(chart_);
    layout->addWidget(top_);
    layout->addStretch(1);
    title_->setText("<b>Profil de la colonne</b>");
}

ProfilePanel::~ProfilePanel() {
    stopWorker();
}

void ProfilePanel::stopWorker() {
    if (worker_.joinable()) {
        TASK_RequestStop(task_);
        worker_.join();
    }
    TASK_Destroy(task_);
    task_ = nullptr;
    if (copy_ != nullptr) FILEDESC_CloseFileDesc(copy_);
    copy_ = nullptr;
}

void ProfilePanel::refresh() {
    stopWorker();
    ++generation_;
    profile_.reset();
    done_ = true;
    FileDesc* desc = gcontexte.currentFile;
    const std::string path = desc && desc->ExampleFilePath ? desc->ExampleFilePath : "";
    if (desc == nullptr || path.empty()) {
        title_->setText("<b>Profil de la colonne</b><br>Aucun fichier exemple.");
        showCurrent();
        return;
    }
    copy_ = copyOf(desc);
    task_ = TASK_Create("Profil des colonnes", nullptr, nullptr);
    if (copy_ == nullptr || task_ == nullptr) {
        title_->setText("<b>Profil de la colonne</b><br>Le profil ne peut pas être calculé.");
        stopWorker();
        return;
    }
    title_->setText("<b>Profil de la colonne</b><br>Calcul du profil du fichier...");
    done_ = false;
    auto result = std::make_shared<FileProfile>();
    const unsigned generation = generation_;
    TASK* task = task_;
    FileDesc* copy = copy_;
    worker_ = std::thread([this, task, copy, path, result, generation] {
        PROFILE_Compute(task, copy, path.c_str(), result.get());
        QMetaObject::invokeMethod(
            this, [this, generation, result] { takeResult(generation, result); },
            Qt::QueuedConnection);
    });
}

void ProfilePanel::takeResult(unsigned generation, std::shared_ptr<FileProfile> result) {
    if (generation != generation_) return;  // a run stopped since
    stopWorker();
    done_ = true;
    if (result->complete) {
        profile_ = std::make_unique<FileProfile>(std::move(*result));
        title_->setText("<b>Profil de la colonne</b><br>" +
                        QString("%1 lignes profilées").arg(number(profile_->rows)));
    } else {
        title_->setText("<b>Profil de la colonne</b><br>" +
                        QString::fromStdString(result->failure).toHtmlEscaped());
    }
    showCurrent();
    emit profileReady();
}

void ProfilePanel::waitForWorker() {
    if (worker_.joinable()) worker_.join();
    QCoreApplication::sendPostedEvents(this);
}

void ProfilePanel::showColumn(const QString& code) {
    column_ = code;
    showCurrent();
}

QString ProfilePanel::factsText() const {
    return facts_->text();
}

void ProfilePanel::showCurrent() {
    const ColumnProfile* c = nullptr;
    if (profile_)
        for (const ColumnProfile& candidate : profile_->columns)
            if (QString::fromStdString(candidate.name) == column_) c = &candidate;
    if (c == nullptr) {
        // Until a column is chosen, the panel says where its figures come from.
        facts_->setText(!profile_           ? ""
                        : column_.isEmpty() ? "Choisissez une colonne dans la liste pour voir "
                                              "son profil."
                                            : "Colonne absente du profil.");
        chart_->setBars({}, {}, {}, {});
        chart_->setVisible(false);
        top_->clear();
        return;
    }
    auto esc = [](const std::string& s) { return QString::fromStdString(s).toHtmlEscaped(); };
    QString facts = "<b>" + esc(c->name) + "</b> (" + esc(PROFILE_TypeName(*c)) + ")<table>";
    auto row = [&facts](const QString& label, const QString& value) {
        facts += "<tr><td>" + label + "</td><td align=\"right\">" + value + "</td></tr>";
    };
    row("Lignes", number(c->rows));
    row("Vides", number(c->empty));
    row("NULL", number(c->nulls));
    row("Distinctes", esc(PROFILE_DistinctText(*c)));
    if (!c->minimum.empty()) {
        row("Minimum", esc(c->minimum));
        row("Maximum", esc(c->maximum));
    }
    if (c->values > 0)
        row("Longueur", QString("%1 à %2").arg(c->minLength).arg(c->maxLength));
    row("Non conformes", number(c->misfits));
    facts += "</table>";
    if (!c->misfitExamples.empty()) {
        facts += "<span style=\"color:#a4262c\">ex. : ";
        for (size_t i = 0; i < c->misfitExamples.size(); ++i)
            facts += (i ? ", " : "") + QString("« %1 »").arg(esc(c->misfitExamples[i]));
        facts += "</span>";
    }
    facts_->setText(facts);

    chart_->setVisible(true);
    if (c->kind != ProfileKind::Text && !c->histogram.empty()) {
        const std::vector<ProfileBin> bars = PROFILE_Regroup(c->histogram, kChartBars);
        chart_->setBars(bars, QString::fromStdString(PROFILE_BoundText(c->kind, bars.front().low)),
                        QString::fromStdString(PROFILE_BoundText(c->kind, bars.back().high)),
                        "Histogramme des valeurs");
    } else {
        std::vector<ProfileBin> lengths;
        for (size_t n = static_cast<size_t>(c->minLength); n < c->lengths.size(); ++n)
            lengths.push_back({static_cast<double>(n), static_cast<double>(n + 1), c->lengths[n]});
        const std::vector<ProfileBin> bars = PROFILE_Regroup(lengths, kChartBars);
        chart_->setBars(bars, bars.empty() ? QString() : QString::number(bars.front().low),
                        bars.empty() ? QString() : QString::number(bars.back().high - 1),
                        "Longueurs (caractères)");
    }
    QString top;
    if (!c->top.empty()) {
        top = c->topExact ? "<b>Valeurs fréquentes</b><table>"
                          : "<b>Valeurs fréquentes (au moins)</b><table>";
        for (size_t i = 0; i < c->top.size() && static_cast<int>(i) < kShownValues; ++i)
            top += "<tr><td>" + esc(c->top[i].value) + "</td><td align=\"right\">" +
                   number(c->top[i].count) + "</td></tr>";
        top += "</table>";
    } else if (c->values > 0) {
        top = "Aucune valeur répétée.";
    }
    top_->setText(top);
}

}  // namespace morvex
