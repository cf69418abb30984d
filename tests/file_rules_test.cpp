#include <gtest/gtest.h>

#include <cerrno>

#include "posix/file_errors.h"
#include "save_file.h"
#include "windows/file_errors.h"
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
        {"only the upper half of a 128-bit number",
         {true, 7, 9, 0, 1, 1000, 2000},
         {true, 7, 9, 0, 1, 1000, 2000},
         true},
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

// Win32 error codes: access denied, a sharing and a lock violation are another
// program's hold, worth waiting out; not found, exists and a full disk are final.
TEST(FileErrors, OnlyAHoldIsRetriedAndOnlyAnExistingNameTriesTheNext) {
    for (const unsigned long error : {5ul, 32ul, 33ul}) {
        EXPECT_TRUE(heldForAMoment(error)) << error;
        EXPECT_FALSE(nameTakenBy(error)) << error;
    }
    for (const unsigned long error : {2ul, 80ul, 112ul, 183ul}) {
        EXPECT_FALSE(heldForAMoment(error)) << error;
    }
    EXPECT_TRUE(nameTakenBy(80));  // CREATE_NEW's answer for an existing file
    EXPECT_FALSE(nameTakenBy(183));
    // And POSIX's: only EEXIST, not a folder that refuses or is full, tries the next name.
    EXPECT_TRUE(nameTakenByErrno(EEXIST));
    for (const int error : {EACCES, ENOENT, ENOSPC, EROFS, EISDIR}) {
        EXPECT_FALSE(nameTakenByErrno(error)) << error;
    }
}

}  // namespace
