#include <gtest/gtest.h>

#include <cerrno>
#include <tuple>

#include "posix/file_errors.h"
#include "save_file.h"
#include "windows/file_errors.h"
#include "windows/file_identity.h"
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
// program's hold, waited out for about a second; not found, exists, a full disk and
// already exists are final.
TEST(FileErrors, OnlyAHoldIsRetriedAndOnlyAnExistingNameTriesTheNext) {
    for (const unsigned long error : {5ul, 32ul, 33ul}) {
        unsigned long waited = 0, tries = 1;
        for (unsigned long pause = pauseBeforeRetry(error, 0); pause != 0 && tries < 100;
             pause = pauseBeforeRetry(error, pause), ++tries) {
            waited += pause;
        }
        EXPECT_EQ(waited, 1023u) << error;
        EXPECT_EQ(tries, 11u) << error;
        EXPECT_FALSE(nameTakenBy(error)) << error;
    }
    for (const unsigned long error : {2ul, 80ul, 112ul, 183ul}) {
        EXPECT_EQ(pauseBeforeRetry(error, 0), 0u) << error;
        EXPECT_EQ(pauseBeforeRetry(error, 4), 0u) << error;
    }
    EXPECT_TRUE(nameTakenBy(80));  // CREATE_NEW's answer for an existing file
    EXPECT_FALSE(nameTakenBy(183));
    // And POSIX's: only EEXIST, not a folder that refuses or is full, tries the next name.
    EXPECT_TRUE(nameTakenByErrno(EEXIST));
    for (const int error : {EACCES, ENOENT, ENOSPC, EROFS, EISDIR}) {
        EXPECT_FALSE(nameTakenByErrno(error)) << error;
    }
}

// The 128-bit ID wins where there is one, whole, with its volume; a handle that shows
// under another name than the one asked for was reached through a link.
TEST(FileIdentityOnWindows, MadeOfTheRecordsTheSystemGives) {
    const auto fields = [](const FileIdentity& i) {
        return std::tuple(i.known, i.volume, i.fileHigh, i.fileLow, i.links, i.created, i.written);
    };
    const HandleRecord handle{0xAABBCCDD, 0x11, 0x22, 2, 1000, 2000};
    EXPECT_EQ(fields(identityFrom(handle, nullptr)),
              std::tuple(true, 0xAABBCCDDu, 0u, 0x1100000022u, 2u, 1000, 2000));
    const IdRecord id{0x0123456789ABCDEF, {1, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0x80}};
    EXPECT_EQ(fields(identityFrom(handle, &id)),
              std::tuple(true, 0x0123456789ABCDEFu, 0x8000000000000002u, 1u, 2u, 1000, 2000));

    EXPECT_FALSE(reachedThroughALink(L"\\games\\output.sav", L"output.sav"));
    EXPECT_FALSE(reachedThroughALink(L"", L"output.sav"));
    EXPECT_TRUE(reachedThroughALink(L"\\games\\savedata.sav", L"output.sav"));
    EXPECT_TRUE(reachedThroughALink(L"\\games\\old_output.sav", L"output.sav"));
}

}  // namespace
