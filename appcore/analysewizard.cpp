// The desktop's analysis wizard and the re-analysis, driving the analysis's stages.
#include "appcore/analysewizard.h"

#include <optional>
#include <string>

#include "foundation/owned.h"
#include "foundation/uiport.h"

namespace morvex {

void showAnalysisReport(const FILEANALYSE_REPORT& report) {
    for (const FILEANALYSE_NOTICE& notice : report.notices)
        uiPort().panelMessage(UiPanel::BoldColour, notice.colour, notice.text);
}

namespace {

using NewDescPtr = Owned<FileDesc, FILEDESC_CloseFileDesc>;

// Analyses `path` through `desc`, shows the report and refreshes what shows the description.
int analyseAndShow(void* window, FileDesc* desc, const char* path,
                   const FILEANALYSE_OPTIONS& options) {
    FILEANALYSE_REPORT report;
    if (FYK_RunFileAnalyse(window, desc, path, options, &report) != 0) return 1;
    showAnalysisReport(report);
    UiPort& ui = uiPort();
    ui.refresh(UiRefresh::ColumnList);
    ui.showFilePreview(path);
    ui.refresh(UiRefresh::ResultView);
    return 0;
}

// The dialect of the data file at `path` as its first bytes show it; nullopt when the file is
// not text (told).
std::optional<DATAFILE_SHAPE> detectDialect(const std::string& path) {
    const DATAFILE_SHAPE detected = FILEANALYSE_DetectDialect(FILEANALYSE_ReadSample(path));
    UiPort& ui = uiPort();
    if (!detected.binary.empty()) {
        ui.messageBox("Analyse d'un fichier délimité",
                      "Fichier binaire : " + path + " (" + detected.binary +
                          ") n'est pas un fichier de données texte.",
                      UiButtons::Ok, UiIcon::Warning);
        return std::nullopt;
    }
    if (!detected.fixedWidth.empty())
        ui.panelMessage(UiPanel::BoldColour, PANEL_INFO,
                        "(i) Fichier à largeur fixe probable : " + detected.fixedWidth + ".\n");
    return detected;
}

}  // namespace

}  // namespace morvex

int FYK_DataFileReverseEngenering(void* window, const char* path, int rules,
                                  const DATAFILE_SHAPE* shape, int maxRows) {
    using namespace morvex;
    UiPort& ui = uiPort();
    std::string dataPath;
    if (path) {
        dataPath = path;
    } else {
        std::optional<std::string> chosen =
            ui.promptFile("Analyse d'un fichier délimité", "*.*", "*.*", false);
        if (!chosen || chosen->empty()) return 1;
        dataPath = *chosen;
    }
    ui.showFilePreview(dataPath);
    ui.refresh(UiRefresh::ResultView);

    std::optional<DATAFILE_SHAPE> detected;
    if (!shape && (rules & FILEANALYSE_DETECTED) != 0) {
        detected = detectDialect(dataPath);
        if (!detected) {
            ui.refresh(UiRefresh::ColumnList);
            ui.showFilePreview("");
            return 1;
        }
        shape = &*detected;
    }
    NewDescPtr desc(FILEANALYSE_NewDescription(dataPath, shape, rules));
    if (!desc) return 1;
    ui.openDescription(desc.get());
    ui.refresh(UiRefresh::ColumnList);
    ui.refresh(UiRefresh::ResultView);

    if (!ui.editProjectProperties(desc.get(), true)) {
        desc.reset();
        ui.refresh(UiRefresh::ColumnList);
        ui.showFilePreview("");
        ui.refresh(UiRefresh::ResultView);
        return 1;
    }
    // The window holds the description from here on.
    FileDesc* kept = desc.release();
    kept->isModified = 1;
    ui.refresh(UiRefresh::Title);  // the tab caption follows the project name
    analyseAndShow(window, kept, dataPath.c_str(),
                   FILEDESC_AnalyseOptions(maxRows, 1, rules));
    return 0;
}

int FYK_LaunchFileAnalyse(void* window, FileDesc* desc, const char* path, int maxRows,
                          int addColumns, int rules) {
    if (!desc || !path) return 1;
    FILEANALYSE_OPTIONS options = FILEDESC_AnalyseOptions(0, addColumns, rules);
    options.maxRows = maxRows;
    return morvex::analyseAndShow(window, desc, path, options);
}
