#include "run/finish_run.h"

#include "textio/console.h"

void finish_run(int exit_code, RunState& run) {
    (void)close_text(run.work_file);
    (void)close_text(run.input_file);
    if (run.owns_work_file) {
        (void)remove_file(run.work_name);
    }
    flush_console();
    end_process(exit_code);
}
