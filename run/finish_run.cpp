#include "run/finish_run.h"

#include "textio/console.h"

WorkFile the_work_file;

void finish_run(int exit_code) {
    the_work_file.discard();
    flush_console();
    end_process(exit_code);
}
