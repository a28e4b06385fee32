// How fast the wizard's preview follows its options on a large example file: the time to open
// the wizard on the file (its first bytes read once), then the time of each refresh as the
// separator, the header and the first line change. Not a test; see bench/preview.sh.
//
//     preview_bench FILE [CHANGES]

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QRadioButton>
#include <QSpinBox>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/cutpreviewgrid.h"
#include "app/projectpropertiesdialog.h"
#include "filedesc/filedesc.h"
#include "foundation/trace.h"

using namespace morvex;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: preview_bench FILE [CHANGES]\n");
        return 2;
    }
    traceOpenFile("/dev/null");
    const int changes = argc > 2 ? std::atoi(argv[2]) : 200;
    FILEDESC_Initialize();
    FileDesc* desc = FILEDESC_CreateFileDesc("Bench", nullptr, STRUCTFILE_DELIMITED, "\\r\\n", ";");
    FILEDESC_SetExampleFilePath(desc, argv[1]);
    QElapsedTimer clock;
    clock.start();
    std::vector<double> refreshMs;
    int rows = 0;
    {
        ProjectPropertiesDialog wizard(desc, true);
        const double openMs = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        std::printf("wizard open (shape and sample read): %.2f ms\n", openMs);
        for (int i = 0; i < changes; ++i) {
            clock.restart();
            switch (i % 3) {
                case 0:
                    wizard.separatorButton(i % 2 ? SEPARATOR_SEMICOLON : SEPARATOR_COMMA)
                        ->setChecked(true);
                    break;
                case 1:
                    wizard.headerBox()->setChecked(!wizard.headerBox()->isChecked());
                    break;
                default:
                    wizard.firstLineField()->setValue(1 + i % 40);
                    break;
            }
            refreshMs.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        }
        rows = wizard.previewGrid()->previewModel()->rowCount();
    }
    FILEDESC_CloseFileDesc(desc);
    std::sort(refreshMs.begin(), refreshMs.end());
    double sum = 0;
    for (double ms : refreshMs) sum += ms;
    std::printf("refresh over %zu changes: mean %.3f ms, median %.3f ms, max %.3f ms\n",
                refreshMs.size(), sum / refreshMs.size(), refreshMs[refreshMs.size() / 2],
                refreshMs.back());
    std::printf("rows=%d\n", rows);
    return 0;
}
