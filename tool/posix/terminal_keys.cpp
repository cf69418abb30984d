#include "terminal_keys.h"

#include <cstddef>

#include "terminal_locale.h"
#include "text/unicode.h"

namespace {

constexpr unsigned char kEscape = 0x1B;

// The bytes after ESC [ or ESC O: parameters (0x30-0x3F) and intermediates
// (0x20-0x2F) until a final byte; anything else cannot belong and ends it too.
bool isWholeSequenceBody(std::span<const unsigned char> body) {
    for (const unsigned char byte : body) {
        if (byte < 0x20 || byte > 0x3F) {
            return true;
        }
    }
    return false;
}

bool characterIncomplete(std::span<const unsigned char> bytes, TerminalEncoding encoding) {
    if (encoding == TerminalEncoding::LocaleMultibyte) {
        return localeCharacterIncomplete(bytes);
    }
    return bytes.size() < utf8Length(bytes[0]) &&
           (bytes.size() == 1 || isUtf8Continuation(bytes.back()));
}

}  // namespace

bool isWholeKey(std::span<const unsigned char> bytes, TerminalEncoding encoding) {
    if (bytes.empty()) {
        return false;
    }
    if (bytes[0] != kEscape) {
        return !characterIncomplete(bytes, encoding);
    }
    if (bytes.size() == 1) {
        return false;
    }
    switch (bytes[1]) {
        case '[':
            // ESC [ [ A to ESC [ [ E: F1 to F5 on the Linux console.
            if (bytes.size() >= 3 && bytes[2] == '[') {
                return bytes.size() >= 4;
            }
            // CSI: cursor keys, Home, End, F5 and up, modified keys (ESC [ 1 ; 5 A).
            return isWholeSequenceBody(bytes.subspan(2));
        case 'O':
            // SS3: F1 to F4 and the cursor keys in application mode (ESC O P, ESC O A).
            return isWholeSequenceBody(bytes.subspan(2));
        default:
            // Alt held with a key: ESC, then that key's own bytes.
            return isWholeKey(bytes.subspan(1), encoding);
    }
}
