// Loading the save, over a fake of the system's input side: a save that changes at the
// moment a row chooses, as a program writing it would change it.
#include <gtest/gtest.h>

#include <vector>

#include "input_file.h"
#include "replace_file.h"
#include "save_file.h"

namespace {

constexpr std::int64_t kSize = kSaveImageSize;
constexpr FileHandle kSave = 5;

// When a row's change comes: after how many reads, or when the writers are let in.
constexpr int kNever = -1, kBeforeTheFirstRead = 0, kAfterTheFirstRead = 1, kAfterTheFirstProbe = 2,
              kAtTheRelease = 1000;

struct Staged {
    std::int64_t length = kSize;  // at the open; 0 for none, -1 for one without a length
    WriterHold hold = WriterHold::Unavailable;
    bool broken = false;         // a writer asked to open it while it was held off
    int when = kNever;           // and then:
    std::int64_t resized = -1;   // the length it is given
    std::int64_t flip = -1;      // a byte changed
    std::int64_t failFrom = -1;  // reads fail from this offset on
};

struct {
    Staged staged;
    std::vector<std::uint8_t> bytes;
    std::int64_t failFrom = -1;
    int reads = 0, closes = 0, releases = 0, readsAfterRelease = 0;
} gSave;

void changeIfDue(int moment) {
    const Staged& staged = gSave.staged;
    if (staged.when != moment) {
        return;
    }
    if (staged.resized >= 0) {
        gSave.bytes.resize(static_cast<std::size_t>(staged.resized), 0x33);
    }
    if (staged.flip >= 0) {
        gSave.bytes[static_cast<std::size_t>(staged.flip)] ^= 0xFF;
    }
    gSave.failFrom = staged.failFrom;
}

}  // namespace

FileHandle openForReading(const char*) { return gSave.bytes.empty() ? kNoFile : kSave; }
std::int64_t fileLength(FileHandle) {
    return gSave.staged.length < 0 ? -1 : static_cast<std::int64_t>(gSave.bytes.size());
}
WriterHold holdOffWriters(FileHandle) { return gSave.staged.hold; }
bool releaseWriters(FileHandle) {
    ++gSave.releases;
    changeIfDue(kAtTheRelease);
    return !gSave.staged.broken;
}
std::size_t readAt(FileHandle, ReadPass, std::uint64_t offset, std::span<std::uint8_t> buffer) {
    gSave.readsAfterRelease += gSave.releases;
    changeIfDue(gSave.reads++);
    std::uint64_t end = std::min<std::uint64_t>(offset + buffer.size(), gSave.bytes.size());
    if (gSave.failFrom >= 0) {
        end = std::min<std::uint64_t>(end, static_cast<std::uint64_t>(gSave.failFrom));
    }
    if (end <= offset) {
        return 0;
    }
    std::copy(gSave.bytes.begin() + static_cast<std::ptrdiff_t>(offset),
              gSave.bytes.begin() + static_cast<std::ptrdiff_t>(end), buffer.begin());
    return end - offset;
}
FileIdentity identityOf(FileHandle) { return {true, 7, 0, 42, 1, 1000, 2000}; }
FileIdentity identityOfName(const char*) { return {}; }
bool closeFile(FileHandle file) {
    gSave.closes += file == kSave ? 1 : 100;
    return true;
}
bool replaceFile(const char*, std::span<const std::uint8_t>) { return false; }

namespace {

// Each refusal with the length it reports; the save is closed once, and writers are let
// in again exactly when they were held off, and only once both reads are over.
TEST(LoadSaveFile, EveryOutcomeAndTheLengthItReports) {
    using enum LoadKind;
    using enum WriterHold;
    const struct {
        const char* what;
        Staged staged;
        LoadKind kind;
        std::int64_t reported;
    } rows[] = {
        // clang-format off
        {"missing", {.length = 0}, NotFound, 0},
        {"one byte long", {.length = kSize + 1}, TooLarge, kSize + 1},
        {"one byte short", {.length = kSize - 1}, WrongSize, kSize - 1},
        {"no length, a device", {.length = -1}, WrongSize, -1},
        {"held open by a writer", {.hold = WriterOpen}, Locked, 0},
        {"quiet, writers held off", {.hold = Held}, Loaded, kSize},
        {"quiet, no lease", {}, Loaded, kSize},
        {"a writer came while held off", {.hold = Held, .broken = true}, Changed, kSize},
        {"a writer came and emptied it once let in",
         {.hold = Held, .broken = true, .when = kAtTheRelease, .resized = 0}, Changed, 0},
        {"grew before the first read",
         {.when = kBeforeTheFirstRead, .resized = kSize + 10}, Changed, kSize + 10},
        {"grew by one byte after the first read",
         {.when = kAfterTheFirstRead, .resized = kSize + 1}, Changed, kSize + 1},
        {"grew by one byte after the first probe",
         {.when = kAfterTheFirstProbe, .resized = kSize + 1}, Changed, kSize + 1},
        {"shrank before the first read",
         {.when = kBeforeTheFirstRead, .resized = 1000}, WrongSize, 1000},
        {"shrank between the reads",
         {.when = kAfterTheFirstProbe, .resized = 1000}, WrongSize, 1000},
        {"the first read failed part way",
         {.when = kBeforeTheFirstRead, .failFrom = 100000}, WrongSize, 100000},
        {"the second read failed part way",
         {.when = kAfterTheFirstProbe, .failFrom = 100000}, WrongSize, 100000},
        {"changed between the reads, its first byte",
         {.when = kAfterTheFirstProbe, .flip = 0}, Changed, kSize},
        {"changed between the reads, its last byte",
         {.when = kAfterTheFirstProbe, .flip = kSize - 1}, Changed, kSize},
        // clang-format on
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        gSave = {};
        gSave.staged = row.staged;
        gSave.bytes.resize(static_cast<std::size_t>(std::abs(row.staged.length)));
        for (std::size_t at = 0; at < gSave.bytes.size(); ++at) {
            gSave.bytes[at] = static_cast<std::uint8_t>(at * 7 + at / 251);
        }
        const std::vector<std::uint8_t> before = gSave.bytes;
        SaveImage image{};
        const LoadOutcome outcome = loadSaveFile(image);
        EXPECT_EQ(outcome.kind, row.kind);
        EXPECT_EQ(outcome.length, row.reported);
        EXPECT_EQ(gSave.closes, row.staged.length == 0 ? 0 : 1);
        EXPECT_EQ(gSave.releases, row.staged.hold == Held && gSave.reads > 0 ? 1 : 0);
        EXPECT_EQ(gSave.readsAfterRelease, 0);
        if (row.kind == Loaded) {
            EXPECT_TRUE(std::equal(image.begin(), image.end(), before.begin()));
            EXPECT_TRUE(sameFile(outcome.input, identityOf(kSave)));
        }
    }
}

}  // namespace
