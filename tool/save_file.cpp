#include "save_file.h"

#include <algorithm>
#include <array>

#include "replace_file.h"

namespace {

constexpr const char* kInputName = "savedata.sav";
constexpr const char* kOutputName = "output.sav";
constexpr auto kImageLength = static_cast<std::int64_t>(kSaveImageSize);

// Some network file systems report no volume or file number at all, as zeros.
bool identified(const FileIdentity& identity) {
    return identity.known && identity.volume != 0 && (identity.fileHigh | identity.fileLow) != 0;
}

struct SecondRead {
    std::size_t delivered;  // how far it got
    bool same;              // whether all it got is what the first read gave
};

// Reads the save once more from its start and compares, a piece at a time so that no
// second image is needed. A program that writes the save while it is read (through a
// mapping, or within one tick of a coarse clock) changes neither its length nor its
// times, only its bytes; one read would then hold a mixture of two states.
SecondRead readAgain(FileHandle file, const SaveImage& image) {
    std::array<std::uint8_t, 16384> piece;
    SecondRead read{0, true};
    while (read.delivered < kSaveImageSize) {
        const std::size_t got = readAt(file, ReadPass::Second, read.delivered, piece);
        read.same =
            read.same && std::equal(piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(got),
                                    image.begin() + static_cast<std::ptrdiff_t>(read.delivered));
        read.delivered += got;
        if (got != piece.size()) {
            break;
        }
    }
    return read;
}

// A byte past the image: the save grew since it was measured.
bool byteBeyond(FileHandle file, ReadPass pass) {
    std::uint8_t beyond = 0;
    return readAt(file, pass, kSaveImageSize, {&beyond, 1}) == 1;
}

}  // namespace

bool sameFile(const FileIdentity& a, const FileIdentity& b) {
    // File numbers can repeat (ReFS's 64-bit ones, shared folders of virtual machines and
    // remote desktops), so the times, which one file always shares with itself, must agree too.
    return identified(a) && identified(b) && a.volume == b.volume && a.fileHigh == b.fileHigh &&
           a.fileLow == b.fileLow && a.created == b.created && a.written == b.written;
}

LoadOutcome loadSaveFile(SaveImage& image) {
    const FileHandle file = openForReading(kInputName);
    if (file == kNoFile) {
        return {LoadKind::NotFound, 0};
    }
    const std::int64_t length = fileLength(file);
    if (length != kImageLength) {
        closeFile(file);
        return {length > kImageLength ? LoadKind::TooLarge : LoadKind::WrongSize, length};
    }
    // A program that has the save open for writing may be paused in the middle of a
    // write: the file then holds a mixture that no longer changes, and that two reads
    // would agree on. Such a save counts as locked, as on Windows.
    const WriterHold hold = holdOffWriters(file);
    if (hold == WriterHold::WriterOpen) {
        closeFile(file);
        return {LoadKind::Locked, 0};
    }
    image.fill(0xFF);
    const std::size_t delivered = readAt(file, ReadPass::First, 0, image);
    bool grew = delivered == kSaveImageSize && byteBeyond(file, ReadPass::First);
    SecondRead second{0, false};
    if (delivered == kSaveImageSize && !grew) {
        second = readAgain(file, image);
        grew = second.delivered == kSaveImageSize && byteBeyond(file, ReadPass::Second);
    }
    const bool keptFromWriters = hold != WriterHold::Held || releaseWriters(file);
    const std::int64_t lengthAfter = fileLength(file);
    const FileIdentity input = identityOf(file);
    closeFile(file);
    if (grew) {
        return {LoadKind::Changed, std::max(lengthAfter, kImageLength + 1)};
    }
    // It shrank, or a read failed: refused with the count that the short read gave.
    if (delivered != kSaveImageSize) {
        return {LoadKind::WrongSize, static_cast<std::int64_t>(delivered)};
    }
    if (second.delivered != kSaveImageSize) {
        return {LoadKind::WrongSize, static_cast<std::int64_t>(second.delivered)};
    }
    if (!second.same || !keptFromWriters) {
        return {LoadKind::Changed, lengthAfter};
    }
    return {LoadKind::Loaded, length, input};
}

bool writeOutputFile(const SaveImage& image, const FileIdentity& input) {
    // A save that is output.sav under another name, through a symbolic link, would go
    // with the old output.sav; with a second link it would live on under that one.
    const FileIdentity output = identityOfName(kOutputName);
    if (sameFile(input, output) && output.links < 2) {
        return false;
    }
    return replaceFile(kOutputName, image);
}
