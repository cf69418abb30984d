// The page's "file system": the one file that the player chose, under the name
// savedata.sav, and an output that goes to the page instead of a disk. Nothing else is
// there, so no other run's temporaries either.
#include <emscripten.h>

#include <algorithm>
#include <vector>

#include "files.h"
#include "save_image.h"

namespace {

constexpr FileHandle kInput = 1;
constexpr FileHandle kOutput = 2;

struct ChosenFile {
    std::int64_t length = 0;
    std::vector<std::uint8_t> start;  // as much of it as a run reads
};

ChosenFile gChosen;
std::vector<std::uint8_t> gWritten;

EM_JS(void, offerToPage, (const std::uint8_t* bytes, std::size_t length),
      { Module.kovaltOfferOutput(HEAPU8.slice(bytes, bytes + length)); });

}  // namespace

// The page hands over a file by its length and its first bytes, as many as a run reads
// at most: the image and one more, which tells a file that grew. A file of gigabytes is
// refused by its length and never read whole into the page.
extern "C" EMSCRIPTEN_KEEPALIVE std::size_t kovaltReadLimit() { return kSaveImageSize + 1; }

// Where the page puts those first bytes.
extern "C" EMSCRIPTEN_KEEPALIVE std::uint8_t* kovaltChooseFile(double length, std::size_t bytes) {
    gChosen = {static_cast<std::int64_t>(length),
               std::vector<std::uint8_t>(std::min(bytes, kovaltReadLimit()))};
    return gChosen.start.data();
}

FileHandle openForReading(const char* name) {
    if (std::string_view(name) != "savedata.sav") {
        return kNoFile;
    }
    return kInput;
}

std::int64_t fileLength(FileHandle) { return gChosen.length; }

std::size_t readAt(FileHandle, std::uint64_t offset, std::span<std::uint8_t> buffer) {
    const std::size_t from = std::min<std::size_t>(offset, gChosen.start.size());
    const std::size_t count = std::min(buffer.size(), gChosen.start.size() - from);
    std::copy_n(gChosen.start.begin() + static_cast<std::ptrdiff_t>(from), count, buffer.begin());
    return count;
}

FileIdentity identityOf(FileHandle) { return {true, 1, 0, 1, 1, 0, 0}; }

FileIdentity identityOfName(const char*) { return {}; }

bool closeFile(FileHandle) { return true; }

FileHandle createExclusive(const std::string&, bool&) {
    gWritten.clear();
    return kOutput;
}

bool writeFile(FileHandle, std::span<const std::uint8_t> bytes) {
    gWritten.insert(gWritten.end(), bytes.begin(), bytes.end());
    return true;
}

bool syncFile(FileHandle) { return true; }

bool closeBeforeRename() { return false; }

// The page gets the bytes at the moment a disk would get the file.
bool renameOver(const std::string&, const char*) {
    offerToPage(gWritten.data(), gWritten.size());
    return true;
}

void syncFolder() {}

void removeFile(const std::string&) { gWritten.clear(); }

std::vector<std::string> namesStartingWith(const std::string&) { return {}; }

unsigned long currentProcessId() { return 1; }

bool processAlive(unsigned long) { return true; }

void removeIfUnheld(const std::string&) {}

void holdTermination() {}

void releaseTermination() {}
