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

// Reads the save once more from its start and compares, a piece at a time so that no
// second image is needed. A program that writes the save while it is read (through a
// mapping, or within one tick of a coarse clock) changes neither its length nor its
// times, only its bytes; one read would then hold a mixture of two states.
bool readsTheSameAgain(FileHandle file, const SaveImage& image) {
    std::array<std::uint8_t, 16384> piece;
    for (std::size_t offset = 0; offset < kSaveImageSize; offset += piece.size()) {
        if (readAt(file, offset, piece) != piece.size() ||
            !std::equal(piece.begin(), piece.end(), image.begin() + offset)) {
            return false;
        }
    }
    return true;
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
    image.fill(0xFF);
    const std::size_t delivered = readAt(file, 0, image);
    const bool same = delivered == kSaveImageSize && readsTheSameAgain(file, image);
    std::uint8_t beyond = 0;
    const bool grew =
        delivered == kSaveImageSize && readAt(file, kSaveImageSize, {&beyond, 1}) == 1;
    const std::int64_t lengthAfter = fileLength(file);
    const FileIdentity input = identityOf(file);
    closeFile(file);
    if (grew) {
        return {LoadKind::TooLarge, std::max(lengthAfter, kImageLength + 1)};
    }
    if (delivered != kSaveImageSize) {
        return {LoadKind::WrongSize, static_cast<std::int64_t>(delivered)};
    }
    if (!same) {
        return {LoadKind::WrongSize, lengthAfter};
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
