#include "save_file.h"

#include <algorithm>

#include "replace_file.h"

namespace {

constexpr const char* kInputName = "savedata.sav";
constexpr const char* kOutputName = "output.sav";
constexpr auto kImageLength = static_cast<std::int64_t>(kSaveImageSize);

// Some network file systems report no volume or file number at all, as zeros.
bool identified(const FileIdentity& identity) {
    return identity.known && identity.volume != 0 && (identity.fileHigh | identity.fileLow) != 0;
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
    const FileIdentity before = identityOf(file);
    image.fill(0xFF);
    const std::size_t delivered = readUpTo(file, image);
    // A save that changed after it was measured is not the save that was measured.
    std::uint8_t beyond = 0;
    const bool grew = delivered == kSaveImageSize && readUpTo(file, {&beyond, 1}) == 1;
    const std::int64_t lengthAfter = fileLength(file);
    const FileIdentity input = identityOf(file);
    closeFile(file);
    if (grew) {
        return {LoadKind::TooLarge, std::max(lengthAfter, kImageLength + 1)};
    }
    if (delivered != kSaveImageSize) {
        return {LoadKind::WrongSize, static_cast<std::int64_t>(delivered)};
    }
    // Rewritten in place while it was read, its length kept: what was read may be a
    // mixture of the old and the new bytes. Its times tell, as only POSIX lets it happen.
    if (input != before || lengthAfter != length) {
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
