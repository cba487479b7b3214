// zyn_detailed_log.h - CZYNDetailedLog: a record with its detail (level,
// message, names, result, source position); it decides with the settings
// whether it is written, and writes itself through the output dispatcher.
#ifndef ZYN_DETAILED_LOG_H
#define ZYN_DETAILED_LOG_H

#include "zyn_log_detail.h"
#include "zyn_logging.h"

class CZYNDetailedLog : public CZYNLogging {
public:
    CZYNDetailedLog(DWORD level, const WCHAR* message, LONG result, DWORD resultType,
                    const WCHAR* objectName, const WCHAR* functionName, const WCHAR* sourceFile,
                    DWORD line, bool logNow, bool logOnDestruction, WORD outputMask,
                    const WCHAR* applicationName, const WCHAR* outputFile);
    CZYNDetailedLog(const CZYNDetailedLog& other) = default;
    CZYNDetailedLog& operator=(const CZYNDetailedLog& other) = default;
    // Writes the record first when logOnDestruction is set.
    ~CZYNDetailedLog() override;

    // Saves the last-error value, writes the record if shouldLog accepts it,
    // restores the last-error value. True when a write succeeded.
    bool log() override;
    // The logging decision for this record.
    bool shouldLog();

    CZYNLogDetail& getDetail() { return m_detail; }
    const CZYNLogDetail& getDetail() const { return m_detail; }

    // The application name of an executable path: from after the last
    // backslash up to before the last dot of the whole path. False when the
    // path is refused (128 characters or more, empty, a folder, a bare drive)
    // or the name would be empty. `name` holds `capacity` units.
    static bool applicationNameFromPath(const WCHAR* path, WCHAR* name, DWORD capacity);

    // Longest executable path that still names an application.
    static constexpr DWORD MAX_EXECUTABLE_PATH = 127;

protected:
    CZYNLogDetail m_detail;
};

// Builds a formatted message: wsprintfW of `format` with up to two %s inserts,
// where a null insert shows as "Unknown". The result fits the 1024-unit
// message buffer (1023 units and a NUL), cut if longer.
struct CZYNMessage {
    static constexpr DWORD UNITS = 1024;
    CZYNMessage(const WCHAR* format, const WCHAR* insert1 = nullptr, const WCHAR* insert2 = nullptr,
                bool unknownForNull2 = true);
    const WCHAR* text() const { return m_text; }

    WCHAR m_text[UNITS + 1];
};

#endif
