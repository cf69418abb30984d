#include "messages.h"

#include <algorithm>
#include <array>

namespace {

constexpr std::array<std::string_view, MESSAGE_COUNT> kTexts = {
#define KOVALT_MESSAGE(id, text, meaning, adviceJapanese, adviceEnglish) text,
#include "messages.def"
#undef KOVALT_MESSAGE
};

// Every message ends its line, so none can be empty.
static_assert(std::all_of(kTexts.begin(), kTexts.end(),
                          [](std::string_view text) { return text.ends_with('\n'); }));

}  // namespace

std::string_view messageText(MessageId id) { return kTexts[id]; }

std::string messageWithLength(MessageId id, std::int64_t length) {
    std::string text(messageText(id));
    const std::size_t at = text.find("%d");
    if (at != std::string::npos) {
        text.replace(at, 2, std::to_string(length));
    }
    return text;
}
