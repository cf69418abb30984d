#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The ids in the catalogue's order, from its one definition.
enum MessageId {
#define KOVALT_MESSAGE(id, text, meaning, adviceJapanese, adviceEnglish) id,
#include "messages.def"
#undef KOVALT_MESSAGE
    MESSAGE_COUNT
};

// The catalogue text in UTF-8; the console turns it into the bytes it needs.
std::string_view messageText(MessageId id);

// The text with its "%d" replaced by the length, in full and signed.
std::string messageWithLength(MessageId id, std::int64_t length);
