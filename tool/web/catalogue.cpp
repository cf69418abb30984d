// The catalogue's meanings and advice, which only the page shows, handed to it row by row
// from the catalogue's one definition.
#include <emscripten.h>

#include "messages.h"

namespace {

EM_JS(void, addToPage,
      (int id, const char* name, const char* meaning, const char* japanese, const char* english), {
          Module.kovaltCatalogueRow(id, UTF8ToString(name), UTF8ToString(meaning),
                                    UTF8ToString(japanese), UTF8ToString(english));
      });

}  // namespace

extern "C" EMSCRIPTEN_KEEPALIVE void kovaltCatalogue() {
#define KOVALT_MESSAGE(id, text, meaning, adviceJapanese, adviceEnglish) \
    addToPage(id, #id, meaning, adviceJapanese, adviceEnglish);
#include "messages.def"
#undef KOVALT_MESSAGE
}
