#include "console_text.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace {

std::string to_cp932(std::string_view utf8) {
    iconv_t converter = iconv_open("CP932", "UTF-8");
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        throw std::runtime_error("iconv cannot convert UTF-8 to CP932");
    }
    std::string input(utf8);
    std::string result(input.size() * 2 + 1, '\0');
    char* in = input.data();
    std::size_t in_left = input.size();
    char* out = result.data();
    std::size_t out_left = result.size();
    // Shift-JIS never takes more bytes than UTF-8 for the same text, so one call suffices.
    const std::size_t converted = iconv(converter, &in, &in_left, &out, &out_left);
    iconv_close(converter);
    if (converted == static_cast<std::size_t>(-1)) {
        throw std::runtime_error("text has no CP932 form: " + std::string(utf8));
    }
    result.resize(result.size() - out_left);
    return result;
}

}  // namespace

std::string with_crlf(std::string_view text) {
    std::string result;
    for (const char byte : text) {
        if (byte == '\n') {
            result += '\r';
        }
        result += byte;
    }
    return result;
}

std::string printed(std::string_view utf8) {
    return with_crlf(to_cp932(utf8));
}

std::string printed(std::string_view utf8_format, std::string_view name) {
    std::string text = to_cp932(utf8_format);
    const std::size_t mark = text.find("%s");
    if (mark != std::string::npos) {
        text.replace(mark, 2, name);
    }
    return with_crlf(text);
}

std::string banner() {
    return printed("Srjoin Ver1.00\n");
}
