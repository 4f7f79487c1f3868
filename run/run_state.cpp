#include "run/run_state.h"

RunState the_run{};
