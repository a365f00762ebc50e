#include "driver/run.h"

// The run's tables live for the whole process.
static RunState the_run;

int main(int argc, char** argv) {
  the_run.platform = system_platform();
  return run_klangbau(the_run, argc, argv);
}
