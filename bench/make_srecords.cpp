// Writes a Motorola S-record file of a given size for the benchmarks (see srecords.h).
//
//   srjoin_make_srecords [--type 1|2|3] [--crlf] [--seed N] SIZE OUT
//
// SIZE is in bytes, or with a suffix K (KiB) or M (MiB): data records of 32 bytes are added
// until the file holds at least SIZE bytes before its termination record. The same arguments
// give the same bytes on every machine.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "bench/srecords.h"

namespace {

[[noreturn]] void usage(const char* message) {
    std::fprintf(stderr,
                 "srjoin_make_srecords: %s\n"
                 "usage: srjoin_make_srecords [--type 1|2|3] [--crlf] [--seed N] SIZE OUT\n",
                 message);
    std::exit(2);
}

std::uint64_t parse_number(const char* text, bool allow_suffix) {
    char* end = nullptr;
    errno = 0;
    std::uint64_t value = std::strtoull(text, &end, 10);
    if (end == text || errno != 0 || *text == '-') {
        usage("not a number");
    }
    if (allow_suffix && (*end == 'K' || *end == 'k')) {
        value *= 1024;
        ++end;
    } else if (allow_suffix && (*end == 'M' || *end == 'm')) {
        value *= 1024 * 1024;
        ++end;
    }
    if (*end != '\0') {
        usage("not a number");
    }
    return value;
}

}  // namespace

int main(int argc, char** argv) {
    srecords::Options options;
    const char* size_text = nullptr;
    const char* out_name = nullptr;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--crlf") {
            options.crlf = true;
        } else if (arg == "--type" && i + 1 < argc) {
            const std::uint64_t type = parse_number(argv[++i], false);
            if (type < 1 || type > 3) {
                usage("--type must be 1, 2 or 3");
            }
            options.type = static_cast<int>(type);
        } else if (arg == "--seed" && i + 1 < argc) {
            options.seed = parse_number(argv[++i], false);
        } else if (size_text == nullptr) {
            size_text = argv[i];
        } else if (out_name == nullptr) {
            out_name = argv[i];
        } else {
            usage("too many arguments");
        }
    }
    if (out_name == nullptr) {
        usage("SIZE and OUT are needed");
    }
    options.size = parse_number(size_text, true);

    std::FILE* out = std::fopen(out_name, "wb");
    if (out == nullptr) {
        std::perror(out_name);
        return 1;
    }
    srecords::make(options, [&](std::string_view line) {
        if (std::fwrite(line.data(), 1, line.size(), out) != line.size()) {
            std::perror(out_name);
            std::exit(1);
        }
    });
    if (std::fclose(out) != 0) {
        std::perror(out_name);
        return 1;
    }
    return 0;
}
