// Publication: the output replaced by the work file's text.
#pragma once

// Deletes the old output (a failure to do so is ignored), creates it anew and copies the work
// file's text into it. On any failure after the output was created, the output begun is deleted
// again; the work file is never touched.
//   0: done
//  -1: the output cannot be created
//  -2: the work file does not open for reading
//  -3: writing the output (or closing it) failed
//  -4: reading the work file failed
int publish_output(const char* work_name, const char* output_name);
