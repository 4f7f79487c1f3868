// Choosing the work file: a free name next to the output, created by the run itself.
#pragma once

#include "run/run_state.h"

// Tries the candidates "___00000.___" to "___00299.___" in the output's drive and folder and
// creates the first free one as an empty file, exclusively (no other process can take it in
// between), leaving it open for writing in work. A candidate that already exists, or that names
// one of the run's inputs or its output however spelled, is passed over. run.work_name holds
// the file chosen or the candidate last tried.
//   0: created; the run now owns that file, and work is its handle.
//  -1: all WORK_NAME_TRIES candidates are taken.
//  -2: the first free candidate cannot be created (a folder of that name, a missing folder,
//      no permission, a name longer than MAX_NAME_LENGTH).
int choose_work_file(const char* drive, const char* folder, RunState& run, FileHandle& work);
