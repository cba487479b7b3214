// zyn_log_writer.h - the log writers. CZYNLogWriter writes nothing (the XML,
// HTML, server and unknown outputs); CZYNTextLogWriter appends one line per
// record to a UTF-16LE text file that starts with a byte-order mark.
#ifndef ZYN_LOG_WRITER_H
#define ZYN_LOG_WRITER_H

#include <windows.h>

#include "zyn_log_detail.h"

class CZYNLogWriter {
public:
    virtual ~CZYNLogWriter() {}
    // Writes nothing and reports failure.
    virtual bool write(CZYNLogDetail& detail);

    // Fills buffer with the level's name ("UNSPECIFIED" for anything but one
    // known level bit), copying at most maxChars - 1 characters and a NUL.
    static void getLevelName(DWORD level, WCHAR* buffer, DWORD maxChars);
};

class CZYNTextLogWriter : public CZYNLogWriter {
public:
    // Units in the line buffer; a longer line is cut, keeping its CR LF.
    static constexpr DWORD LINE_UNITS = 1024;

    // The full line: time, level, application, object and function, message,
    // result, source file and line. True when the line was handed to WriteFile.
    bool write(CZYNLogDetail& detail) override;
    // The short line: time, level, application, message and result.
    virtual bool writeShort(CZYNLogDetail& detail);

    // The pieces of a line, exposed so that tests compare them exactly.
    // Builds the full line (without the time piece's brackets) into `line`,
    // LINE_UNITS units at most, and returns its length in units.
    static DWORD buildLine(const CZYNLogDetail& detail, const WCHAR* timeText, WCHAR* line);
    static DWORD buildShortLine(const CZYNLogDetail& detail, const WCHAR* timeText, WCHAR* line);
    // The local time as "Sun Dec 06 17:35:48 2026" (24 characters and a NUL).
    static void formatTime(const SYSTEMTIME& time, WCHAR* buffer25);

private:
    bool appendLine(CZYNLogDetail& detail, bool checkFolder, bool shortLine);
};

#endif
