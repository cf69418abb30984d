#include <emscripten.h>

#include "console.h"

namespace {

// The page shows each text as a line of its dialogue, explained by its id.
EM_JS(void, showOnPage, (int id, const char* utf8, std::size_t length),
      { Module.kovaltShowText(id, UTF8ToString(utf8, length)); });

}  // namespace

void startConsole() {}

void printText(MessageId id, std::string_view utf8) { showOnPage(id, utf8.data(), utf8.size()); }

// A page has no key to wait for: the prompt shows as the dialogue's last line, and the
// page is then ready for another save.
void readKeyPress(std::string_view) {}
