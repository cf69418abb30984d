// The page's one file: the save that the player chose, under the name savedata.sav.
#include <emscripten.h>

#include <algorithm>
#include <string_view>
#include <vector>

#include "input_file.h"
#include "save_image.h"

namespace {

constexpr FileHandle kInput = 1;

struct ChosenFile {
    bool readable = false;
    std::int64_t length = 0;
    std::vector<std::uint8_t> start;  // as much of it as a run reads
};

ChosenFile gChosen;

}  // namespace

// The page hands over a file by its length and its first bytes, as many as a run reads
// at most: the image and one more, which tells a file that grew. A file of gigabytes is
// refused by its length and never read whole into the page.
extern "C" EMSCRIPTEN_KEEPALIVE std::size_t kovaltReadLimit() { return kSaveImageSize + 1; }

// Where the page puts those first bytes.
extern "C" EMSCRIPTEN_KEEPALIVE std::uint8_t* kovaltChooseFile(double length, std::size_t bytes) {
    gChosen = {true, static_cast<std::int64_t>(length),
               std::vector<std::uint8_t>(std::min(bytes, kovaltReadLimit()))};
    return gChosen.start.data();
}

// A folder, or a file that the browser could not read (gone, or changed since it was
// chosen): it cannot be opened, as on a disk.
extern "C" EMSCRIPTEN_KEEPALIVE void kovaltChooseUnreadable() { gChosen = {}; }

FileHandle openForReading(const char* name) {
    return gChosen.readable && std::string_view(name) == "savedata.sav" ? kInput : kNoFile;
}

std::int64_t fileLength(FileHandle) { return gChosen.length; }

std::size_t readAt(FileHandle, std::uint64_t offset, std::span<std::uint8_t> buffer) {
    const std::size_t from = std::min<std::size_t>(offset, gChosen.start.size());
    const std::size_t count = std::min(buffer.size(), gChosen.start.size() - from);
    std::copy_n(gChosen.start.begin() + static_cast<std::ptrdiff_t>(from), count, buffer.begin());
    return count;
}

FileIdentity identityOf(FileHandle) { return {true, 1, 0, 1, 1, 0, 0}; }

// No output.sav exists beside the chosen save, so none can be it.
FileIdentity identityOfName(const char*) { return {}; }

bool closeFile(FileHandle) { return true; }
