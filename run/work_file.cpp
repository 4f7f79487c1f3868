#include "run/work_file.h"

#include <cstdio>
#include <cstring>

namespace {

// True when the work file just created is also one of the run's inputs or its output, as the
// file system resolves them: the run would then read or replace its own work file.
bool is_input_or_output(const RunState& run) {
    for (int i = 0; i < run.input_count; ++i) {
        const char* input = run.input_names[i].name;
        if (input[0] != '\0' && same_file(input, run.work_name)) {
            return true;
        }
    }
    return same_file(run.output_name, run.work_name);
}

}  // namespace

int choose_work_file(const char* drive, const char* folder, RunState& run, FileHandle& work) {
    for (int k = 0; k < WORK_NAME_TRIES; ++k) {
        char stem[16];
        std::snprintf(stem, sizeof stem, WORK_STEM_FORMAT, k);
        if (!make_path(run.work_name, drive, folder, stem, WORK_EXTENSION, run.name_rules) ||
            std::strlen(run.work_name) > MAX_NAME_LENGTH) {
            return -2;
        }
        if (name_is_taken(run.work_name)) {
            continue;
        }
        switch (create_new_file(run.work_name, work)) {
            case CreateResult::created:
                if (is_input_or_output(run)) {
                    (void)remove_if_same(run.work_name, file_identity(work));
                    (void)close_file(work);
                    work = NO_FILE;
                    continue;
                }
                return 0;
            case CreateResult::name_taken:
                continue;  // another process took it since the test above
            case CreateResult::failed:
                return -2;
        }
    }
    return -1;
}
