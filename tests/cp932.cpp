#include "cp932.h"

#include <iconv.h>

#include <stdexcept>
#include <vector>

std::string encodedByIconv(const char* codeset, std::string_view utf8) {
    iconv_t converter = iconv_open(codeset, "UTF-8");
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        throw std::runtime_error(std::string("iconv has no ") + codeset);
    }
    std::string input(utf8);
    std::vector<char> output(input.size() * 2 + 1);
    char* in = input.data();
    std::size_t inLeft = input.size();
    char* out = output.data();
    std::size_t outLeft = output.size();
    const std::size_t result = iconv(converter, &in, &inLeft, &out, &outLeft);
    iconv_close(converter);
    if (result == static_cast<std::size_t>(-1)) {
        throw std::runtime_error("iconv cannot encode: " + input);
    }
    return std::string(output.data(), output.size() - outLeft);
}
