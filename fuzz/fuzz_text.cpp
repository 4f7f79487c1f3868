// Fuzz target: TextFile::copy_to, the path every merge takes, with any piece size and any block sizes,
// held to the model of the text translation (tests/text_model.h). The line buffer is a heap
// block of its size and one guard byte: AddressSanitizer and the model see any write past it.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>

#include "tests/text_model.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::size_t room =
        input.ConsumeBool() ? 9998 : input.ConsumeIntegralInRange<std::size_t>(1, 40);
    // A block written holds a CR LF at least.
    const std::size_t blocks[2] = {input.ConsumeIntegralInRange<std::size_t>(0, 600),
                                   input.ConsumeIntegralInRange<std::size_t>(2, 600)};
    auto block = [](std::size_t chosen) { return chosen == 0 ? TEXT_BLOCK_SIZE : chosen; };
    const std::string differs = text_model::copy_differs(input.ConsumeRemainingBytesAsString(),
                                                         room, block(blocks[0]), block(blocks[1]));
    if (!differs.empty()) {
        std::fprintf(stderr, "copy_to: %s (pieces of %zu, blocks %zu and %zu)\n", differs.c_str(),
                     room - 1, block(blocks[0]), block(blocks[1]));
        std::abort();
    }
    return 0;
}
