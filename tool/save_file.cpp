#include "save_file.h"

#include <algorithm>

namespace {

constexpr const char* kInputName = "savedata.sav";
constexpr const char* kOutputName = "output.sav";
constexpr auto kImageLength = static_cast<std::int64_t>(kSaveImageSize);

bool sameFile(const FileIdentity& a, const FileIdentity& b) {
    return a.known && b.known && a.device == b.device && a.file == b.file;
}

}  // namespace

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
    const std::size_t delivered = readUpTo(file, image);
    // A save that changed length after it was measured is not the save that was measured.
    std::uint8_t beyond = 0;
    const bool grew = delivered == kSaveImageSize && readUpTo(file, {&beyond, 1}) == 1;
    const std::int64_t grownTo = grew ? std::max(fileLength(file), kImageLength + 1) : 0;
    const FileIdentity input = identityOf(file);
    closeFile(file);
    if (grew) {
        return {LoadKind::TooLarge, grownTo};
    }
    if (delivered != kSaveImageSize) {
        return {LoadKind::WrongSize, static_cast<std::int64_t>(delivered)};
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
