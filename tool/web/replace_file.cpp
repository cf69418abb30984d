// The page's output: no disk, so no temporary either; the bytes go to the page, which
// offers them as output.sav.
#include <emscripten.h>

#include "replace_file.h"

namespace {

EM_JS(void, offerToPage, (const std::uint8_t* bytes, std::size_t length),
      { Module.kovaltOfferOutput(HEAPU8.slice(bytes, bytes + length)); });

}  // namespace

bool replaceFile(const char*, std::span<const std::uint8_t> bytes) {
    offerToPage(bytes.data(), bytes.size());
    return true;
}
