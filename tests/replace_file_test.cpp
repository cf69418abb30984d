// The replacement's order and its failure paths, over a fake of the system's steps that
// records each one and fails where a row says.
#include <gtest/gtest.h>

#include <string>

#include "replace_file.h"
#include "replace_steps.h"

namespace {

std::string gSteps;
std::string gFailing;  // the step that fails
int gNamesTaken = 0;   // how many names exist already

bool step(const std::string& name) {
    gSteps += gSteps.empty() ? name : " " + name;
    return name != gFailing;
}

}  // namespace

FileHandle createExclusive(const std::string& name, bool& nameTaken) {
    nameTaken = gNamesTaken-- > 0;
    return step("create " + name) && !nameTaken ? 3 : kNoFile;
}
bool writeWhole(FileHandle, std::span<const std::uint8_t>) { return step("write"); }
bool syncFile(FileHandle) { return step("sync"); }
bool closeFile(FileHandle) { return step("close"); }
bool moveIntoPlace(const std::string& from, const char* to) {
    return step("move " + from + " " + to);
}
void removeFile(const std::string& name) { step("remove " + name); }
unsigned long currentProcessId() { return 7; }
void holdTermination() { step("hold"); }
void releaseTermination() { step("release"); }

namespace {

TEST(ReplaceFile, StepsInOrderAndEveryFailureRemovesTheTemporary) {
    const std::string tmp = ".output.sav.7-0.tmp";
    const std::string written = "hold create " + tmp + " write sync close";
    const struct {
        const char* failing;
        int namesTaken;
        std::string steps;
        bool replaced;
    } rows[] = {
        {"", 0, written + " move " + tmp + " output.sav release", true},
        {"", 2,
         "hold create .output.sav.7-0.tmp create .output.sav.7-1.tmp create "
         ".output.sav.7-2.tmp write sync close move .output.sav.7-2.tmp output.sav release",
         true},
        {"create .output.sav.7-0.tmp", 0, "hold create " + tmp + " release", false},
        {"write", 0, "hold create " + tmp + " write close remove " + tmp + " release", false},
        {"sync", 0, written + " remove " + tmp + " release", false},
        {"close", 0, written + " remove " + tmp + " release", false},
        {"move .output.sav.7-0.tmp output.sav", 0,
         written + " move " + tmp + " output.sav remove " + tmp + " release", false},
    };
    const std::uint8_t bytes[4] = {1, 2, 3, 4};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.failing);
        gSteps.clear();
        gFailing = row.failing;
        gNamesTaken = row.namesTaken;
        EXPECT_EQ(replaceFile("output.sav", bytes), row.replaced);
        EXPECT_EQ(gSteps, row.steps);
    }
}

// Every name taken: the run gives up after the hundredth, with nothing to remove.
TEST(ReplaceFile, GivesUpOnceEveryNameIsTaken) {
    gSteps.clear();
    gFailing.clear();
    gNamesTaken = 1000;
    std::string expected = "hold";
    for (int attempt = 0; attempt < 100; ++attempt) {
        expected += " create .output.sav.7-" + std::to_string(attempt) + ".tmp";
    }
    EXPECT_FALSE(replaceFile("output.sav", {}));
    EXPECT_EQ(gSteps, expected + " release");
}

}  // namespace
