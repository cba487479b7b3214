// zyn_log_output.cpp - CZYNLogOutput: one writer per selected output.
#include "zyn_log_output.h"

#include "zyn_log_writer.h"

bool CZYNLogOutput::dispatch(WORD outputMask, CZYNLogDetail& detail) const {
    // Text first, then XML, HTML, server and unknown; bit 16 has no writer.
    // Only the text output writes anything; the others report failure.
    static const WORD ORDER[] = {ZYN_OUTPUT_TEXT, ZYN_OUTPUT_XML, ZYN_OUTPUT_HTML,
                                 ZYN_OUTPUT_SERVER, ZYN_OUTPUT_UNKNOWN};
    bool result = false;
    for (WORD bit : ORDER) {
        if (!(outputMask & bit)) continue;
        if (bit == ZYN_OUTPUT_TEXT) {
            CZYNTextLogWriter writer;
            result = writer.write(detail);
        } else {
            CZYNLogWriter writer;
            result = writer.write(detail);
        }
    }
    return result;
}
