// commands.h - zynreg's commands over the zyn library.
#ifndef ZYNREG_COMMANDS_H
#define ZYNREG_COMMANDS_H

#include "value_text.h"

// Exit statuses.
const int kDone = 0;      // the command did its work
const int kFailed = 1;    // the operation failed
const int kBadUsage = 2;  // the command line is wrong

// Runs the command line (without the program's name) and returns the exit
// status. Results go to standard output; every failure is one line on
// standard error that says what is wrong.
int runZynreg(const Strings& args);

#endif
