// zyn_log_output.h - CZYNLogOutput: hands a record to one writer per output
// bit, in the order text (1), XML (2), HTML (8), server (4), unknown (32).
// The answer is the last writer's result; false when no bit was set.
#ifndef ZYN_LOG_OUTPUT_H
#define ZYN_LOG_OUTPUT_H

#include <windows.h>

#include "zyn_log_detail.h"

class CZYNLogOutput {
public:
    bool dispatch(WORD outputMask, CZYNLogDetail& detail) const;
};

#endif
