// Conversion of an older file list to the 2015 numbering.
#pragma once

#include "driver/run_state.h"

// Writes "<list>.neu" and "<list>.neu2".  Ends with the key wait; failures
// end the run with status 0 like success.
void convert_to_2015(RunState& run, const char* list_path);
