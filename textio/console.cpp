#include "textio/console.h"

#include <algorithm>
#include <cstddef>
#include <span>

#include "os/os.h"
#include "textio/utf8.h"

namespace {

// Standard output redirected to a file or a pipe is written in blocks of this size.
constexpr std::size_t CONSOLE_BUFFER_SIZE = 512;

struct ConsoleBuffer {
    char bytes[CONSOLE_BUFFER_SIZE];
    std::size_t used = 0;
};
ConsoleBuffer console;

// The tool's Japanese texts in the locale's codeset, each converted once; a size of 0 where the
// codeset cannot hold the text (it is then shown in English). The longest text, the usage line
// of 60 Shift-JIS bytes, takes at most 3 bytes for each in any codeset.
struct ConvertedText {
    const ToolText* text = nullptr;
    std::size_t size = 0;
    char bytes[256];
};
ConvertedText converted[32];
std::size_t converted_count = 0;

std::string_view converted_form(const ToolText& text) {
    for (std::size_t i = 0; i < converted_count; ++i) {
        if (converted[i].text == &text) {
            return {converted[i].bytes, converted[i].size};
        }
    }
    ConvertedText scratch;
    ConvertedText& slot =
        converted_count < std::size(converted) ? converted[converted_count++] : scratch;
    slot.text = &text;
    slot.size = convert_tool_text(text.japanese, slot.bytes);
    return {slot.bytes, slot.size};
}

// The length of the Shift-JIS character that starts with byte.
std::size_t shift_jis_length(char byte) {
    const auto value = static_cast<unsigned char>(byte);
    return (value >= 0x81 && value <= 0x9F) || (value >= 0xE0 && value <= 0xFC) ? 2 : 1;
}

// A text made at run time, given to take in stretches as the locale's codeset has them: each run
// of ASCII as it is (every codeset a Japanese locale uses holds ASCII as ASCII), each run of
// other characters converted on the spot, cut between characters into pieces that fit a
// ConvertedText. False, at the first piece the codeset cannot hold.
template <typename Take>
bool in_the_locale_codeset(std::string_view text, Take take) {
    constexpr std::size_t PIECE = sizeof ConvertedText::bytes / 3;  // 3 bytes a byte at most
    while (!text.empty()) {
        const bool ascii = static_cast<unsigned char>(text[0]) < 0x80;
        std::size_t size = 0;
        while (size < text.size() && (static_cast<unsigned char>(text[size]) < 0x80) == ascii &&
               (ascii || size + 2 <= PIECE)) {
            size += ascii ? 1 : shift_jis_length(text[size]);
        }
        size = std::min(size, text.size());
        char bytes[sizeof ConvertedText::bytes];
        const std::size_t converted_size =
            ascii ? size : convert_tool_text(text.substr(0, size), bytes);
        if (converted_size == 0 ||
            !take(ascii ? text.substr(0, size) : std::string_view(bytes, converted_size))) {
            return false;
        }
        text.remove_prefix(size);
    }
    return true;
}

// The text of the language and codeset the console shows.
std::string_view in_its_form(const ToolText& text, const ConsoleForm& form) {
    if (form.exact || (form.japanese && form.unicode_console)) {
        return text.japanese;
    }
    const std::string_view japanese = form.japanese ? converted_form(text) : std::string_view{};
    return japanese.empty() ? text.english : japanese;
}

// The clean-up after an interruption writes the buffer out, so interruptions wait while it
// changes; never while the console is written, which may wait without end (a full pipe nobody
// reads, a terminal stopped with Ctrl-S), and an interruption must still end the run then.
void buffer(std::string_view bytes) {
    while (!bytes.empty()) {
        if (console.used == CONSOLE_BUFFER_SIZE) {
            flush_console();
        }
        const HeldInterruptions held;
        const std::size_t size = std::min(bytes.size(), CONSOLE_BUFFER_SIZE - console.used);
        std::copy_n(bytes.data(), size, console.bytes + console.used);
        console.used += size;
        bytes.remove_prefix(size);
    }
}

// One message on its way out, in the form the console shows.
class Output {
public:
    Output() : form_(console_form()) {}
    const ConsoleForm& form() const { return form_; }

    // Text of the tool's own, LF as the form writes a line break.
    void text(std::string_view text) {
        for (;;) {
            const std::size_t line_break = text.find('\n');
            put(text.substr(0, line_break), ConsoleText::tool_text);
            if (line_break == std::string_view::npos) {
                return;
            }
            put(form_.unicode_console || form_.exact ? "\r\n" : "\n", ConsoleText::tool_text);
            text.remove_prefix(line_break + 1);
        }
    }

    // A name as given: exact, as it is; otherwise a byte that would reach the terminal as a
    // command, or (UTF-8) that is no character, as \xHH. C1 controls are what a UTF-8 terminal
    // takes for U+0080 to U+009F, and an 8-bit one for the bytes 0x80 to 0x9F; a Windows console
    // shows them as characters of the code page. No multibyte character of the encodings names
    // come in holds a byte below 0x20, so a name is cut only between characters.
    void name(std::string_view name) {
        if (form_.exact) {
            put(name, ConsoleText::name);
            return;
        }
        while (!name.empty()) {
            const std::size_t escaped = escaped_at_start(name);
            const std::size_t taken = escaped != 0 ? escaped : character_at_start(name);
            if (escaped == 0) {
                put(name.substr(0, taken), ConsoleText::name);
            }
            for (const char byte : name.substr(0, escaped)) {
                constexpr std::string_view HEX = "0123456789ABCDEF";
                const auto value = static_cast<unsigned char>(byte);
                const char bytes[] = {'\\', 'x', HEX[value >> 4], HEX[value & 0xF]};
                put({bytes, sizeof bytes}, ConsoleText::tool_text);
            }
            name.remove_prefix(taken);
        }
    }

private:
    // How many bytes at the start of name are shown as \xHH: none, one, or (UTF-8) the two of a
    // C1 control.
    std::size_t escaped_at_start(std::string_view name) const {
        const auto byte = static_cast<unsigned char>(name[0]);
        if (byte < 0x20 || byte == 0x7F) {
            return 1;
        }
        if (form_.utf8 && byte >= 0x80) {
            const std::size_t length = utf8_character_length(name);
            return length == 0                                                  ? 1
                   : byte == 0xC2 && static_cast<unsigned char>(name[1]) < 0xA0 ? 2
                                                                                : 0;
        }
        return !form_.unicode_console && byte >= 0x80 && byte <= 0x9F ? 1 : 0;
    }

    // The bytes of the character at the start of name, shown as they are.
    std::size_t character_at_start(std::string_view name) const {
        return form_.utf8 ? std::max<std::size_t>(utf8_character_length(name), 1) : 1;
    }

    void put(std::string_view bytes, ConsoleText kind) const {
        if (bytes.empty()) {
            return;
        }
        if (!form_.interactive) {
            buffer(bytes);
        } else if (form_.unicode_console) {
            show_console_text(bytes.data(), bytes.size(), kind);
        } else {
            write_console(bytes.data(), bytes.size());
        }
    }

    ConsoleForm form_;
};

// The system's words for a failure, or the tool's own, in the form's language: empty where the
// form shows no reasons.
std::string_view words_for(const Reason& reason, const ConsoleForm& form, std::span<char> room) {
    if (form.exact || form.unicode_console) {
        return {};
    }
    if (reason.own != nullptr) {
        return in_its_form(*reason.own, form);
    }
    return reason.system_error == 0
               ? std::string_view{}
               : std::string_view(room.data(), describe_error(reason.system_error, room));
}

}  // namespace

void show_line(const ToolText& text) {
    Output output;
    output.text(in_its_form(text, output.form()));
    output.text("\n");
}

void show_message(const ToolText& format_text, std::string_view name, std::string_view name_tail,
                  Reason reason) {
    Output output;
    std::string_view format = in_its_form(format_text, output.form());
    // In the locale's form every message ends its line.
    const bool ends_line =
        !output.form().exact && !output.form().unicode_console && !format.ends_with('\n');
    char room[256];
    const std::string_view words = words_for(reason, output.form(), room);
    const std::size_t placeholder = format.find("%s");
    if (placeholder != std::string_view::npos) {
        output.text(format.substr(0, placeholder));
        output.name(name);
        output.name(name_tail);
        format.remove_prefix(placeholder + 2);
    }
    std::size_t reason_at = format.find("%r");
    const std::size_t reason_size = reason_at == std::string_view::npos ? 0 : 2;
    if (reason_at == std::string_view::npos) {
        reason_at = format.ends_with('\n') ? format.size() - 1 : format.size();
    }
    output.text(format.substr(0, reason_at));
    if (!words.empty()) {
        output.text(" (");
        output.text(words);
        output.text(")");
    }
    output.text(format.substr(reason_at + reason_size));
    if (ends_line) {
        output.text("\n");
    }
}

void show_named_line(const ToolText& text, std::span<const std::string_view> names) {
    Output output;
    const ConsoleForm& form = output.form();
    const bool converted =
        !form.exact && !form.unicode_console && form.japanese &&
        in_the_locale_codeset(text.japanese, [](std::string_view) { return true; });
    std::string_view line = form.exact || (form.japanese && form.unicode_console) || converted
                                ? text.japanese
                                : text.english;
    for (std::size_t name = 0;; ++name) {
        const std::size_t mark = line.find("%s");
        const std::string_view piece = line.substr(0, mark);
        if (converted) {
            (void)in_the_locale_codeset(piece, [&](std::string_view bytes) {
                output.text(bytes);
                return true;
            });
        } else {
            output.text(piece);
        }
        if (mark == std::string_view::npos) {
            break;
        }
        output.name(name < names.size() ? names[name] : std::string_view{});
        line.remove_prefix(mark + 2);
    }
    output.text("\n");
}

void prepare_console_texts(std::initializer_list<const ToolText*> texts) {
    if (console_form().japanese) {
        for (const ToolText* text : texts) {
            (void)converted_form(*text);
        }
    }
}

// Written with interruptions allowed, the bytes stay in the buffer until they are out: the
// clean-up after an interruption that comes meanwhile writes them itself (a write to a pipe that
// waits has written nothing yet).
void flush_console() {
    write_console(console.bytes, console.used);
    const HeldInterruptions held;
    console.used = 0;
}
