// zyn_log_detail.h - CZYNLogDetail: the content of one diagnostic record, and
// the level, result-type and output constants shared by the diagnostics.
#ifndef ZYN_LOG_DETAIL_H
#define ZYN_LOG_DETAIL_H

#include <windows.h>

// Levels: one bit per record; the name of each is written in every log line.
enum ZYNLogLevel : DWORD {
    ZYN_CRITICAL = 1,
    ZYN_EXCEPTION_BAD = 2,
    ZYN_EXCEPTION_OK = 4,
    ZYN_ERROR = 8,
    ZYN_WARNING = 16,
    ZYN_DEBUG = 32,
    ZYN_INFORMATION = 64,
    ZYN_NOTIFICATION = 128,
    ZYN_ENTRY = 256,
    ZYN_EXIT = 512,
    ZYN_SUCCESS = 1024,
    ZYN_FAILURE = 2048
};

// How a record's result is shown.
enum ZYNResultType : DWORD {
    ZYN_RESULT_ERROR_CODE = 0,   // "<Error: 0x...> " unless 0 or -1
    ZYN_RESULT_PASSED = 1,       // EXIT only: "<Passed> " / "<Failed> "
    ZYN_RESULT_LOGICAL = 2,      // EXIT only: "<Passed> " / "<Failed Logical Result> "
    ZYN_RESULT_RETURN_CODE = 3   // "<Return Code: 0x...> "
};

// Output mask bits.
enum ZYNOutput : WORD {
    ZYN_OUTPUT_TEXT = 1,
    ZYN_OUTPUT_XML = 2,
    ZYN_OUTPUT_SERVER = 4,
    ZYN_OUTPUT_HTML = 8,
    ZYN_OUTPUT_NONE16 = 16,
    ZYN_OUTPUT_UNKNOWN = 32
};

// Detail mask bits beyond the levels: EXIT result filters.
enum ZYNExitFilter : DWORD {
    ZYN_FILTER_NONZERO_CODES = 0x1000,   // result type 0: only non-zero codes
    ZYN_FILTER_FAILURES = 0x2000,        // result type 1: only failures
    ZYN_FILTER_FAILED_LOGICAL = 0x4000   // result type 2: only failed comparisons
};

// "No code" in a record's result.
const LONG ZYN_NO_CODE = -1;

class CZYNLogDetail {
public:
    CZYNLogDetail();
    // Copies the numbers and makes fresh copies of every string.
    CZYNLogDetail(const CZYNLogDetail& other);
    CZYNLogDetail& operator=(const CZYNLogDetail& other);
    ~CZYNLogDetail();

    // String setters free the previous copy first. A null argument leaves the
    // field absent and succeeds; an empty text leaves it absent and fails.
    bool setMessage(const WCHAR* text);
    bool setApplicationName(const WCHAR* text);
    bool setOutputFile(const WCHAR* text);
    bool setObjectName(const WCHAR* text);
    bool setFunctionName(const WCHAR* text);
    bool setSourceFile(const WCHAR* text);

    const WCHAR* getMessage() const { return m_szMessage; }
    const WCHAR* getApplicationName() const { return m_szApplicationName; }
    const WCHAR* getOutputFile() const { return m_szOutputFile; }
    const WCHAR* getObjectName() const { return m_szObjectName; }
    const WCHAR* getFunctionName() const { return m_szFunctionName; }
    const WCHAR* getSourceFile() const { return m_szSourceFile; }

    DWORD m_ulLevel;
    DWORD m_ulResultType;
    LONG m_lResult;
    DWORD m_ulLine;

private:
    bool setText(WCHAR*& field, const WCHAR* text);
    void copyFrom(const CZYNLogDetail& other);
    void freeAll();

    WCHAR* m_szMessage;
    WCHAR* m_szApplicationName;
    WCHAR* m_szOutputFile;
    WCHAR* m_szObjectName;
    WCHAR* m_szFunctionName;
    WCHAR* m_szSourceFile;
};

#endif
