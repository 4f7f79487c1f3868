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
    char buffer[COPY_READ_SIZE + 2];
    int result = 0;
    while (read_line(buffer, COPY_READ_SIZE, *work) > 0) {
        if (write_text(buffer, *output) < 0) {
            result = -3;
            break;
        }
    }
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
