// The page's one file: the save that the player chose, under the name savedata.sav.
#include <emscripten.h>

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

#include "input_file.h"
#include "save_image.h"

namespace {

constexpr FileHandle kInput = 1;

struct ChosenFile {
    bool readable = false;
    std::int64_t length = 0;
    // The browser's two reads of it, each as far as a run reads at most: the image and
    // one more byte, which tells a file that grew. A file of gigabytes is refused by its
    // length and never read whole into the page.
    std::array<std::vector<std::uint8_t>, 2> reads;
};

ChosenFile gChosen;

}  // namespace

extern "C" EMSCRIPTEN_KEEPALIVE std::size_t kovaltReadLimit() { return kSaveImageSize + 1; }

// The length the browser gave when the file was chosen.
extern "C" EMSCRIPTEN_KEEPALIVE void kovaltChooseFile(double length) {
    gChosen = {};
    gChosen.readable = true;
    gChosen.length = static_cast<std::int64_t>(length);
}

// Where the page puts the bytes of one of its two reads, 0 or 1.
extern "C" EMSCRIPTEN_KEEPALIVE std::uint8_t* kovaltReadInto(std::size_t read, std::size_t bytes) {
    std::vector<std::uint8_t>& into = gChosen.reads[std::min<std::size_t>(read, 1)];
    into.assign(std::min(bytes, kovaltReadLimit()), 0);
    return into.data();
}

// A folder, or a file that the browser could not read (gone, or changed since it was
// chosen): it cannot be opened, as on a disk.
extern "C" EMSCRIPTEN_KEEPALIVE void kovaltChooseUnreadable() { gChosen = {}; }

FileHandle openForReading(const char* name) {
    return gChosen.readable && std::string_view(name) == "savedata.sav" ? kInput : kNoFile;
}

// A page cannot keep other programs from the file; its two reads tell a change.
WriterHold holdOffWriters(FileHandle) { return WriterHold::Unavailable; }

bool releaseWriters(FileHandle) { return true; }

std::int64_t fileLength(FileHandle) { return gChosen.length; }

std::size_t readAt(FileHandle, ReadPass pass, std::uint64_t offset,
                   std::span<std::uint8_t> buffer) {
    const std::vector<std::uint8_t>& read = gChosen.reads[pass == ReadPass::First ? 0 : 1];
    const std::size_t from = std::min<std::size_t>(offset, read.size());
    const std::size_t count = std::min(buffer.size(), read.size() - from);
    std::copy_n(read.begin() + static_cast<std::ptrdiff_t>(from), count, buffer.begin());
    return count;
}

FileIdentity identityOf(FileHandle) {
    return {.known = true,
            .volume = 1,
            .fileHigh = 0,
            .fileLow = 1,
            .links = 1,
            .created = 0,
            .written = 0};
}

// No output.sav exists beside the chosen save, so none can be it.
FileIdentity identityOfName(const char*) { return {}; }

bool closeFile(FileHandle) { return true; }
