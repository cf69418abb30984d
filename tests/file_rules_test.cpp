#include <gtest/gtest.h>

#include "save_file.h"
#include "write_progress.h"

namespace {

// Fields: known, volume, file number (upper and lower half), links, created, written.
TEST(SameFile, NeedsKnownNumbersAndTheSameTimes) {
    const FileIdentity save{true, 7, 0, 42, 1, 1000, 2000};
    const struct {
        const char* what;
        FileIdentity a, b;
        bool same;
    } rows[] = {
        {"itself", save, save, true},
        {"itself under a second name", save, {true, 7, 0, 42, 2, 1000, 2000}, true},
        {"unknown", save, {}, false},
        {"both unknown", {}, {}, false},
        {"no volume serial",
         {true, 0, 0, 42, 1, 1000, 2000},
         {true, 0, 0, 42, 1, 1000, 2000},
         false},
        {"no file number", {true, 7, 0, 0, 1, 1000, 2000}, {true, 7, 0, 0, 1, 1000, 2000}, false},
        {"another volume", save, {true, 8, 0, 42, 1, 1000, 2000}, false},
        {"another number", save, {true, 7, 0, 43, 1, 1000, 2000}, false},
        {"another upper half of a 128-bit number", save, {true, 7, 1, 42, 1, 1000, 2000}, false},
        {"a number reused by a file created since", save, {true, 7, 0, 42, 1, 1001, 2000}, false},
        {"a number reused by a file written since", save, {true, 7, 0, 42, 1, 1000, 2001}, false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(sameFile(row.a, row.b), row.same) << row.what;
    }
}

TEST(WriteProgress, AReportOfAllOrMoreLeavesNothing) {
    EXPECT_EQ(leftToWrite(10, 10), 0u);  // all
    EXPECT_EQ(leftToWrite(10, 4), 6u);   // part: the loop goes on from there
    EXPECT_EQ(leftToWrite(10, 20), 0u);  // twice, from a console blocked by a selection
    EXPECT_EQ(leftToWrite(10, 0), 10u);  // none: the loop gives up
}

}  // namespace
