#include "app/previewsplitter.h"

#include <QList>
#include <QStringList>
#include <string>

#include "foundation/registry.h"

namespace morvex {

namespace {

const char kSizesValue[] = "PreviewSplitterSizes";

}  // namespace

PreviewSplitter::PreviewSplitter(QWidget* editor, QWidget* source, QWidget* result,
                                 QWidget* parent)
    : QSplitter(Qt::Vertical, parent) {
    setObjectName("previewSplitter");
    setChildrenCollapsible(false);
    setHandleWidth(6);
    for (QWidget* part : {editor, source, result}) addWidget(part);
    setStretchFactor(0, 1);  // a taller window goes to the column list first
    sizes_ = savedSizes();
    if (sizes_.empty()) sizes_ = {400, 120, 200};
    source->hide();
    result->hide();
    connect(this, &QSplitter::splitterMoved, this, [this] {
        if (!widget(1)->isVisible()) return;
        const QList<int> now = sizes();
        sizes_.assign(now.begin(), now.end());
        saveSizes();
    });
}

void PreviewSplitter::setPreviewsShown(bool shown) {
    widget(1)->setVisible(shown);
    widget(2)->setVisible(shown);
    // Sizes that do not add up to the height are spread in proportion.
    if (shown) setSizes(QList<int>(sizes_.begin(), sizes_.end()));
}

std::vector<int> PreviewSplitter::savedSizes() {
    auto key = SettingsKey::open(kSettingsKeyPath, REG_KEY_READ);
    const std::optional<std::string> text = key ? key->get(kSizesValue) : std::nullopt;
    if (!text) return {};
    const QStringList parts = QString::fromStdString(*text).split(',');
    if (parts.size() != 3) return {};
    std::vector<int> sizes;
    for (const QString& part : parts) {
        bool ok = false;
        const int size = part.trimmed().toInt(&ok);
        if (!ok || size <= 0 || size > 100000) return {};
        sizes.push_back(size);
    }
    return sizes;
}

void PreviewSplitter::saveSizes() const {
    auto key = SettingsKey::create(kSettingsKeyPath, REG_KEY_ALL_ACCESS);
    if (!key) return;
    key->set(kSizesValue, QString("%1,%2,%3")
                              .arg(sizes_[0])
                              .arg(sizes_[1])
                              .arg(sizes_[2])
                              .toStdString());
}

}  // namespace morvex
