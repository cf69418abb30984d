#include "save_file.h"

#include "files.h"

namespace {

constexpr const char* kInputName = "savedata.sav";
constexpr const char* kOutputName = "output.sav";
constexpr auto kImageLength = static_cast<std::int64_t>(kSaveImageSize);

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
    closeFile(file);
    // A file that shrank after it was measured must not pass for a whole save.
    if (delivered != kSaveImageSize) {
        return {LoadKind::WrongSize, static_cast<std::int64_t>(delivered)};
    }
    return {LoadKind::Loaded, length};
}

bool writeOutputFile(const SaveImage& image) { return replaceFile(kOutputName, image); }
