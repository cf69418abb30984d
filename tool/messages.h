#pragma once

#include <cstdint>
#include <string>
#include <string_view>

enum MessageId {
    MSG_BANNER,
    MSG_SUBTITLE,
    MSG_BLANK,
    MSG_NOT_FOUND,
    MSG_TOO_LARGE,
    MSG_WRONG_SIZE,
    MSG_LOADED,
    MSG_CHECKING,
    MSG_CHECKSUM_OK,
    MSG_CHECKSUM_ERROR,
    MSG_CHANGING,
    MSG_RECALCULATING,
    MSG_WRITING,
    MSG_FINISHED,
    MSG_WRITE_FAILED,
    MSG_PRESS_ANY_KEY,
    MESSAGE_COUNT
};

// The catalogue text in UTF-8; the console turns it into the bytes it needs.
std::string_view messageText(MessageId id);

// The text with its "%d" replaced by the length, in full and signed.
std::string messageWithLength(MessageId id, std::int64_t length);
