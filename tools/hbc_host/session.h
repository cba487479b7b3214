// session.h - one load of the module as a host makes it, with the registry
// set for it and put back afterwards.
#ifndef HBC_HOST_SESSION_H
#define HBC_HOST_SESSION_H

#include <string>

#include "options.h"
#include "report.h"

// Writes the item folder and the logging settings, loads the module, asks
// for every item, unloads it, restores the registry, and reads the module's
// log of that load into `report`. Answers "" or, when hbc-host cannot do its
// work, one line saying what is wrong and what to do.
std::string runSession(const Options& options, Report& report);

#endif
