// The profile panel of the main window, beside the column list: the profile of the selected
// column (counts, distinct values, extremes, commonest values and a chart: the histogram of
// numbers and dates, the lengths of text) over the current description's example file.
//
// The profile of the whole file is computed by profile/profile.h in a worker thread of the
// panel over a copy of the description (so that the person may edit the description
// meanwhile), and shown once ready; refresh() starts it again (after an analysis, on another
// description). User-interface thread only, but for the worker, which touches nothing of the
// panel: it hands its result over by a queued call.
#pragma once

#include <QWidget>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "foundation/task.h"
#include "profile/profile.h"

class QLabel;

namespace morvex {

// A bar chart drawn with QPainter: the bars' counts, the bounds written under the first and
// last, and the largest count.
class ProfileChart : public QWidget {
    Q_OBJECT

public:
    explicit ProfileChart(QWidget* parent = nullptr);
    // Shows `bins` (empty: "Aucune valeur"); `first` and `last` are the bounds under the axis.
    void setBars(const std::vector<ProfileBin>& bins, const QString& first, const QString& last,
                 const QString& caption);
    int barCount() const { return static_cast<int>(bins_.size()); }
    QSize sizeHint() const override { return {260, 150}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<ProfileBin> bins_;
    QString first_, last_, caption_;
};

class ProfilePanel : public QWidget {
    Q_OBJECT

public:
    explicit ProfilePanel(QWidget* parent = nullptr);
    ~ProfilePanel() override;  // stops the worker and waits for it

    // Profiles the current description's example file again in the worker (a running profile is
    // stopped first); the panel says so when there is no description or no example file.
    void refresh();
    // Shows the profile of the column named `code` once the profile is ready (kept until then).
    void showColumn(const QString& code);
    // Waits for the worker and takes its result in (tests, closing).
    void waitForWorker();

    bool busy() const { return worker_.joinable() && !done_; }
    // The last complete profile, or nullptr.
    const FileProfile* profile() const { return profile_.get(); }
    QString factsText() const;
    const ProfileChart* chart() const { return chart_; }

signals:
    // The profile of the file is shown (or its failure).
    void profileReady();

private:
    void takeResult(unsigned generation, std::shared_ptr<FileProfile> result);
    void stopWorker();
    void showCurrent();

    QLabel* title_;
    QLabel* facts_;
    ProfileChart* chart_;
    QLabel* top_;
    std::thread worker_;
    TASK* task_ = nullptr;                  // the running profile's stop request
    FileDesc* copy_ = nullptr;              // the description the worker reads
    unsigned generation_ = 0;               // results of older runs are dropped
    bool done_ = false;
    std::unique_ptr<FileProfile> profile_;  // the last complete profile
    QString column_;                        // the column shown
};

}  // namespace morvex
