// The end-to-end tests' main: one application per process. Run whole (no
// filter), the binary runs each test in a process of its own, itself with
// that test's filter.
#include "process_per_test.h"

int main(int argc, char **argv) { return runEachTestInItsOwnProcess(argc, argv); }
