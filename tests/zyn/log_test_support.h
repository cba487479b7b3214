// log_test_support.h - what the diagnostics tests share: the time piece's
// shape, and building records without the noise of every parameter.
#ifndef LOG_TEST_SUPPORT_H
#define LOG_TEST_SUPPORT_H

#include <regex>
#include <string>

#include "hbc_test.h"
#include "zyn_detailed_log.h"

// "<Sun Dec 06 17:35:48 2026>: " at the start of a line.
inline const std::regex& timePiece() {
    static const std::regex re(
        "^<(Sun|Mon|Tue|Wed|Thu|Fri|Sat) (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) "
        "[0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-5][0-9] [0-9]{4}>: ");
    return re;
}

// The line without its time piece; "" when the piece is malformed.
inline std::string withoutTime(const std::string& line) {
    std::smatch m;
    if (!std::regex_search(line, m, timePiece())) return "";
    return line.substr(static_cast<size_t>(m.length(0)));
}

// A record written at once to the text output.
inline bool writeRecord(DWORD level, const WCHAR* message, LONG result, DWORD resultType,
                        const WCHAR* object = nullptr, const WCHAR* function = nullptr,
                        const WCHAR* source = nullptr, DWORD line = 0, WORD mask = 1) {
    CZYNDetailedLog record(level, message, result, resultType, object, function, source, line,
                           false, false, mask, nullptr, nullptr);
    return record.log();
}

#endif
