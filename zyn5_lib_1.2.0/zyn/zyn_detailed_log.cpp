// zyn_detailed_log.cpp - CZYNDetailedLog: the logging decision and the
// writing of one record; CZYNMessage, the formatting of catalogue messages.
#include "zyn_detailed_log.h"

#include "zyn_text.h"

CZYNDetailedLog::CZYNDetailedLog(DWORD level, const WCHAR* message, LONG result, DWORD resultType,
                                 const WCHAR* objectName, const WCHAR* functionName,
                                 const WCHAR* sourceFile, DWORD line, bool logNow,
                                 bool logOnDestruction, WORD outputMask,
                                 const WCHAR* applicationName, const WCHAR* outputFile)
    : CZYNLogging(outputMask, logOnDestruction ? 1 : 0) {
    m_detail.m_ulLevel = level;
    m_detail.setMessage(message);
    m_detail.setApplicationName(applicationName);
    m_detail.setOutputFile(outputFile);
    m_detail.m_ulResultType = resultType;
    m_detail.m_lResult = result;
    m_detail.setObjectName(objectName);
    m_detail.setFunctionName(functionName);
    m_detail.setSourceFile(sourceFile);
    m_detail.m_ulLine = line;
    if (logNow) log();
}

CZYNDetailedLog::~CZYNDetailedLog() {
    if (m_bLogOnDestruction) log();
}

bool CZYNDetailedLog::log() {
    // Logging never changes the error that the caller is about to read.
    DWORD savedError = GetLastError();
    bool written = false;
    try {
        if (shouldLog()) {
            written = m_output.dispatch(m_usOutputMask, m_detail);
            if (written) m_bLogged = 1;
        }
    } catch (...) {
        written = false;
    }
    SetLastError(savedError);
    return written;
}

bool CZYNDetailedLog::applicationNameFromPath(const WCHAR* path, WCHAR* name, DWORD capacity) {
    DWORD length = zyn::textLength(path);
    if (length == 0 || length > MAX_EXECUTABLE_PATH) return false;
    if (path[length - 1] == u'\\') return false;
    if (length <= 3 && length >= 2 && path[1] == u':') return false;  // a bare drive
    DWORD start = 0;
    DWORD end = length;
    bool dotSeen = false;
    for (DWORD i = 0; i < length; ++i) {
        if (path[i] == u'\\') start = i + 1;
        if (path[i] == u'.') {
            end = i;
            dotSeen = true;
        }
    }
    if (!dotSeen) end = length;
    if (end <= start || end - start + 1 > capacity) return false;
    zyn::copyText(name, end - start + 1, path + start);
    return true;
}

bool CZYNDetailedLog::shouldLog() {
    m_usDetailMask = 0;
    if (!m_settings.isLoggingEnabled()) return false;

    // The application name, from the executable when the record has none.
    if (zyn::isEmptyText(m_detail.getApplicationName())) {
        const DWORD MODULE_UNITS = 512;
        WCHAR path[MODULE_UNITS + 1] = {0};
        DWORD length = GetModuleFileNameW(nullptr, path, MODULE_UNITS);
        path[length < MODULE_UNITS ? length : MODULE_UNITS] = 0;
        WCHAR name[MAX_EXECUTABLE_PATH + 1];
        if (!applicationNameFromPath(path, name, MAX_EXECUTABLE_PATH + 1)) return false;
        if (!m_detail.setApplicationName(name)) return false;
    }
    const WCHAR* application = m_detail.getApplicationName();

    if (m_settings.applicationValueExists(application)) {
        // A per-application value decides alone: no level test.
        m_usDetailMask = m_settings.getApplicationDetailMask(application);
        m_usOutputMask = m_settings.getApplicationOutputMask(application);
    } else {
        m_usDetailMask = m_settings.getDetailMask();
        DWORD level = m_detail.m_ulLevel;
        if ((m_usDetailMask & level) != level) return false;
        if (level == ZYN_EXIT) {
            DWORD type = m_detail.m_ulResultType;
            LONG result = m_detail.m_lResult;
            if (type == ZYN_RESULT_ERROR_CODE && (m_usDetailMask & ZYN_FILTER_NONZERO_CODES)) {
                if (result == 0) return false;
            } else if ((type == ZYN_RESULT_PASSED && (m_usDetailMask & ZYN_FILTER_FAILURES)) ||
                       (type == ZYN_RESULT_LOGICAL && (m_usDetailMask & ZYN_FILTER_FAILED_LOGICAL))) {
                if ((result & 0xFF) != 0) return false;
            } else if (m_usDetailMask & (ZYN_FILTER_NONZERO_CODES | ZYN_FILTER_FAILURES |
                                         ZYN_FILTER_FAILED_LOGICAL)) {
                return false;
            }
        }
    }

    // The object filter: an allow list wins over an exclude list.
    const WCHAR* object = m_detail.getObjectName();
    if (zyn::isEmptyText(object)) return true;
    bool answer = false;
    if (m_settings.objectAllowed(object, &answer)) return answer;
    if (m_settings.objectExcluded(object, &answer)) return !answer;
    return true;
}

CZYNMessage::CZYNMessage(const WCHAR* format, const WCHAR* insert1, const WCHAR* insert2,
                         bool unknownForNull2) {
    static const WCHAR* const UNKNOWN = TEXT("Unknown");
    m_text[0] = 0;
    wsprintfW(m_text, format, insert1 ? insert1 : UNKNOWN,
              insert2 || !unknownForNull2 ? insert2 : UNKNOWN);
    // wsprintfW may fill all 1024 units; the message keeps 1023 and its NUL.
    m_text[UNITS - 1] = 0;
}
