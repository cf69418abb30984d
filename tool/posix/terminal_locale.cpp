#include "terminal_locale.h"

#include <iconv.h>
#include <langinfo.h>

#include <cctype>
#include <clocale>
#include <cstdlib>
#include <cwchar>
#include <optional>

#include "text/shift_jis.h"

namespace {

enum class TextForm { Utf8, ShiftJis, Converted };

struct TerminalLocale {
    TextForm form = TextForm::ShiftJis;
    iconv_t converter = reinterpret_cast<iconv_t>(-1);
    bool multibyte = false;
};

// Lower case, letters and digits only: "UTF-8", "utf8" and "Shift_JIS" compare plainly.
std::string folded(std::string_view name) {
    std::string out;
    for (const char c : name) {
        if (std::isalnum(static_cast<unsigned char>(c))) {
            out.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
        }
    }
    return out;
}

bool namesUtf8(std::string_view name) { return folded(name).find("utf8") != std::string::npos; }

bool namesShiftJis(std::string_view name) {
    const std::string f = folded(name);
    return f.starts_with("shiftjis") || f == "sjis" || f == "cp932" || f == "windows31j" ||
           f == "mskanji";
}

// The locale the environment names, by the C library's precedence.
std::string_view namedLocale() {
    for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* name = std::getenv(variable);
        if (name != nullptr && *name != '\0') {
            return name;
        }
    }
    return "";
}

TerminalLocale loadTerminalLocale() {
    TerminalLocale locale;
    if (std::setlocale(LC_CTYPE, "") == nullptr) {
        // A locale that is named but not installed here (ja_JP.UTF-8 on a minimal system)
        // still tells how the terminal shows text.
        locale.form = namesUtf8(namedLocale()) ? TextForm::Utf8 : TextForm::ShiftJis;
        return locale;
    }
    const char* codeset = nl_langinfo(CODESET);
    locale.multibyte = MB_CUR_MAX > 1;
    if (namesUtf8(codeset)) {
        locale.form = TextForm::Utf8;
    } else if (!namesShiftJis(codeset)) {
        locale.converter = iconv_open(codeset, "UTF-8");
        if (locale.converter != reinterpret_cast<iconv_t>(-1)) {
            locale.form = TextForm::Converted;
        }
    }
    return locale;
}

const TerminalLocale& terminalLocale() {
    static const TerminalLocale locale = loadTerminalLocale();
    return locale;
}

// Nothing when the codeset lacks one of the text's characters.
std::optional<std::string> converted(iconv_t converter, std::string_view utf8) {
    std::string in(utf8);
    std::string out(in.size() * 4 + 16, '\0');
    char* from = in.data();
    std::size_t fromLeft = in.size();
    char* to = out.data();
    std::size_t toLeft = out.size();
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    if (iconv(converter, &from, &fromLeft, &to, &toLeft) == static_cast<std::size_t>(-1) ||
        iconv(converter, nullptr, nullptr, &to, &toLeft) == static_cast<std::size_t>(-1)) {
        return std::nullopt;
    }
    out.resize(out.size() - toLeft);
    return out;
}

}  // namespace

std::string forTerminal(std::string_view utf8) {
    const TerminalLocale& locale = terminalLocale();
    switch (locale.form) {
        case TextForm::Utf8:
            return std::string(utf8);
        case TextForm::Converted:
            if (std::optional<std::string> text = converted(locale.converter, utf8)) {
                return *text;
            }
            break;
        case TextForm::ShiftJis:
            break;
    }
    return toShiftJis(utf8);
}

bool localeCharacterIncomplete(std::span<const unsigned char> bytes) {
    std::mbstate_t state{};
    return std::mbrlen(reinterpret_cast<const char*>(bytes.data()), bytes.size(), &state) ==
           static_cast<std::size_t>(-2);
}

TerminalEncoding terminalEncoding() {
    return terminalLocale().multibyte ? TerminalEncoding::LocaleMultibyte : TerminalEncoding::Utf8;
}
