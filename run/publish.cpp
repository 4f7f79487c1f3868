#include "run/publish.h"

#include "run/run_state.h"
#include "textio/text_file.h"

int publish_output(const char* work_name, const char* output_name) {
    (void)remove_file(output_name);
    TextFilePointer output = open_text(output_name, "w");
    if (!output) {
        return -1;
    }
    TextFilePointer work = open_text(work_name, "r");
    if (!work) {
        (void)close_text(output);
        (void)remove_file(output_name);
        return -2;
    }
    // The work file's text in pieces of at most 1021 characters, written back to back.
    char buffer[COPY_READ_SIZE + 2];
    int result = copy_text(*work, *output, buffer, COPY_READ_SIZE) ? 0 : -3;
    if (result == 0 && text_failed(*work)) {
        result = -4;
    }
    (void)close_text(work);
    if (close_text(output) < 0 && result == 0) {
        result = -3;
    }
    if (result != 0) {
        (void)remove_file(output_name);
    }
    return result;
}
