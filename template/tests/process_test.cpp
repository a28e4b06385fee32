// Runs of a generation process as a task: the time-stamped directory, one generation per
// process task, the states, the panel texts and colours, and the stop request.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>

#include "foundation/task.h"
#include "template/tests/tpl_fixture.h"

using tpltest::Contains;
using tpltest::StartsWith;
using tpltest::TemplateTest;
namespace fs = std::filesystem;

namespace {

class Process : public TemplateTest {
protected:
    void SetUp() override {
        TemplateTest::SetUp();
        describe({{"ID", 0}});
    }
    void addTask(const std::string& templatePath) {
        PROCESSTASK* t = PROCESS_CreateTask();
        t->templatePath = strdup(templatePath.c_str());
        PROCESS_AddTask(desc_->processes, t);
    }
    // Runs the description's process into `root` through the UI port's task runner.
    GENERATIONRUN* runProcess(const std::string& root) {
        GENERATIONRUN* run = GENERATION_CreateRun(desc_, desc_->processes, root.c_str());
        TASKSLIST* tasks = TASKSLIST_Create();
        TASKSLIST_AddTask(tasks, TASK_Create("Génération", LaunchProcessing, run));
        port_.runTasks(tasks);
        TASKSLIST_Destroy(tasks);
        return run;
    }
    std::string root() {
        std::string r = dir_.path() + "/gen";
        fs::create_directories(r);
        return r;
    }
};

TEST_F(Process, GeneratesEveryTaskIntoOneTimeStampedDirectory) {
    addTask(dir_.write("a.tpl", "%targetfilename a.txt\nA {table.name}\n"));
    addTask(dir_.write("bad.tpl", "%if 1\n"));
    addTask(dir_.write("b.tpl", "%targetfilename b.txt\nB\n"));
    GENERATIONRUN* run = runProcess(root());
    ASSERT_TRUE(std::regex_match(fs::path(run->outputDirectory).filename().string(),
                                 std::regex(R"(\d{4}-\d\d-\d\d_\d\dh\d\dm\d\ds)")))
        << run->outputDirectory;
    EXPECT_EQ(tpltest::readFile(std::string(run->outputDirectory) + "/a.txt"), "A CLIENT\n");
    EXPECT_EQ(tpltest::readFile(std::string(run->outputDirectory) + "/b.txt"), "B\n");
    ASSERT_EQ(run->stateCount, 3);
    EXPECT_STREQ(GENERATION_StateText(run->states[0]), "Terminé");
    EXPECT_STREQ(GENERATION_StateText(run->states[1]), "Erreur");
    EXPECT_STREQ(GENERATION_StateText(run->states[2]), "Terminé");
    EXPECT_EQ(run->failedCount, 1);

    // The panel was cleared, then got one "- Génération : " line, the result and a link each.
    ASSERT_FALSE(port_.panel.empty());
    EXPECT_EQ(port_.panel[0].request, morvex::UiPanel::Clear);
    const std::string p = panel();
    EXPECT_TRUE(
        StartsWith(p, "\n- Génération : OK\n" + std::string(run->outputDirectory) + "/a.txt"));
    EXPECT_TRUE(
        Contains(p,
                 "\n- Génération : \nSyntax Error : BEGIN expected after line 1.\n(E) Error while "
                 "resolving links and references.Erreur\n"));
    EXPECT_EQ(colourOf("OK\n"), morvex::PANEL_SUCCESS);
    EXPECT_EQ(colourOf("Erreur\n"), morvex::PANEL_ERROR);
    int links = 0;
    for (const auto& r : port_.panel) links += r.request == morvex::UiPanel::Link;
    EXPECT_EQ(links, 3);

    ASSERT_FALSE(port_.events.empty());
    EXPECT_EQ(port_.events.back().event, TASK_EVENT_FINISHED);
    EXPECT_EQ(port_.events.back().message, "Terminé.");
    bool announced = false;
    for (const auto& e : port_.events)
        announced = announced || e.message == "Processing Task 2 '" + dir_.file("bad.tpl") + "'";
    EXPECT_TRUE(announced);
    ASSERT_FALSE(desc_->processes->tasks.empty());
    auto* first = desc_->processes->tasks.front().get();
    EXPECT_EQ(std::string(first->outputPath), std::string(run->outputDirectory) + "/a.txt");
    GENERATION_DestroyRun(run);
}

// A task that a limit ends is an error of that task, not a stop of the run: the next task runs.
TEST_F(Process, RunawayTaskFailsAloneAndTheNextTaskRuns) {
    const std::string self = dir_.file("self.tpl");
    std::string body = "%targetfilename self.txt\n";
    for (int i = 0; i < 10; ++i) body += "%template.generate " + self + "\n";
    addTask(dir_.write("self.tpl", body));
    addTask(dir_.write("b.tpl", "%targetfilename b.txt\nB\n"));
    GENERATIONRUN* run = runProcess(root());
    ASSERT_EQ(run->stateCount, 2);
    EXPECT_EQ(run->states[0], GENTASK_ERROR);
    EXPECT_EQ(run->states[1], GENTASK_DONE);
    EXPECT_EQ(run->stopped, 0);
    EXPECT_EQ(tpltest::readFile(std::string(run->outputDirectory) + "/b.txt"), "B\n");
    GENERATION_DestroyRun(run);
}

TEST_F(Process, EmptyProcessStillMakesTheDirectoryAndFinishes) {
    GENERATIONRUN* run = runProcess(root());
    EXPECT_TRUE(fs::is_directory(run->outputDirectory));
    EXPECT_EQ(port_.events.back().event, TASK_EVENT_FINISHED);
    EXPECT_EQ(port_.panel.size(), 1u);
    GENERATION_DestroyRun(run);
}

TEST_F(Process, SecondRunInTheSameDirectoryIsTracedAndWritesIntoIt) {
    addTask(dir_.write("a.tpl", "%targetfilename a.txt\nA\n"));
    std::string r = root();
    // Pre-create the directories of the next few seconds so that the run meets one of them.
    for (int s = 0; s < 3; ++s) {
        time_t t = time(nullptr) + s;
        struct tm tmv;
        localtime_r(&t, &tmv);
        char name[64];
        strftime(name, sizeof name, "%Y-%m-%d_%Hh%Mm%Ss", &tmv);
        fs::create_directories(r + "/" + name);
    }
    GENERATIONRUN* run = runProcess(r);
    EXPECT_TRUE(Contains(trace_.text(), "\n[LaunchProcessing] ERROR : Directory already exists"));
    EXPECT_EQ(tpltest::readFile(std::string(run->outputDirectory) + "/a.txt"), "A\n");
    GENERATION_DestroyRun(run);
}

TEST_F(Process, MissingParentDirectoryFailsEachTaskAndGoesOn) {
    addTask(dir_.write("a.tpl", "%targetfilename a.txt\nA\n"));
    addTask(dir_.write("b.tpl", "%targetfilename b.txt\nB\n"));
    GENERATIONRUN* run = runProcess(dir_.path() + "/no/such/dir");
    EXPECT_TRUE(Contains(trace_.text(), "\n[LaunchProcessing] ERROR : Path not found"));
    EXPECT_EQ(run->failedCount, 2);
    EXPECT_TRUE(Contains(panel(), "\nErreur : impossible d'ouvrir le fichier à générer.Erreur\n"));
    GENERATION_DestroyRun(run);
}

TEST_F(Process, StopRequestEndsTheRunBetweenInstructionsAndSkipsTheNextTasks) {
    // Enough rows for the run to be stopped in the middle of the first task.
    std::string rows = "ID\n";
    for (int i = 0; i < 200000; ++i) rows += std::to_string(i) + "\n";
    desc_->FirstLineIsHeader = 1;
    desc_->ExampleFilePath = strdup(dir_.write("rows.csv", rows).c_str());
    TEMPLATE_SetDetailedTrace(false);
    addTask(dir_.write("a.tpl",
                       "%targetfilename a.txt\n%for_each_datafile_row\n%begin\n"
                       "{row.number}\n%end\n"));
    addTask(dir_.write("b.tpl", "%targetfilename b.txt\nB\n"));
    port_.stopAfterEvents = 2;  // "Prêt", then "Processing Task 1"
    GENERATIONRUN* run = runProcess(root());
    TEMPLATE_SetDetailedTrace(true);
    EXPECT_EQ(run->stopped, 1);
    EXPECT_EQ(run->states[0], GENTASK_STOPPED);
    EXPECT_EQ(run->states[1], GENTASK_STOPPED);
    EXPECT_EQ(port_.events.back().event, TASK_EVENT_INTERRUPTED);
    EXPECT_FALSE(fs::exists(std::string(run->outputDirectory) + "/b.txt"));
    // The first file was closed with what was written before the stop.
    std::string a = tpltest::readFile(std::string(run->outputDirectory) + "/a.txt");
    EXPECT_LT(a.size(), rows.size());
    GENERATION_DestroyRun(run);
}

}  // namespace
