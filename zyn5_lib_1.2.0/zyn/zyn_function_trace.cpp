// zyn_function_trace.cpp - CZYNFunctionLog and CZYNFunctionTrace: the ENTRY
// record of a traced operation, turned into its EXIT record at scope end.
#include "zyn_function_trace.h"

#include <new>

CZYNFunctionLog::CZYNFunctionLog(const WCHAR* objectName, const WCHAR* functionName,
                                 const WCHAR* sourceFile, DWORD line, WORD outputMask,
                                 bool logEntry, bool logExit)
    : CZYNDetailedLog(ZYN_ENTRY, nullptr, 0, ZYN_RESULT_PASSED, objectName, functionName,
                      sourceFile, line, logEntry, logExit, outputMask, nullptr, nullptr) {}

// The base destructor writes the record when logExit was set: as EXIT.
CZYNFunctionLog::~CZYNFunctionLog() { m_detail.m_ulLevel = ZYN_EXIT; }

CZYNFunctionTrace::CZYNFunctionTrace(const WCHAR* objectName, const WCHAR* functionName,
                                     const WCHAR* sourceFile, DWORD line, WORD outputMask,
                                     bool logEntry, bool logExit)
    : m_pRecord(nullptr) {
    // With logging off the trace costs one registry query and holds nothing,
    // even if logging is switched on before the operation ends.
    CZYNLogSettings settings;
    if (!settings.isLoggingEnabled()) return;
    try {
        m_pRecord = new (std::nothrow)
            CZYNFunctionLog(objectName, functionName, sourceFile, line, outputMask, logEntry, logExit);
    } catch (...) {
        m_pRecord = nullptr;
    }
}

CZYNFunctionTrace::~CZYNFunctionTrace() { delete m_pRecord; }

void CZYNFunctionTrace::setResult(DWORD resultType, LONG result) {
    if (!m_pRecord) return;
    m_pRecord->getDetail().m_ulResultType = resultType;
    m_pRecord->getDetail().m_lResult = result;
}

bool CZYNFunctionTrace::passed(bool success) {
    setResult(ZYN_RESULT_PASSED, success ? 1 : 0);
    return success;
}

bool CZYNFunctionTrace::compared(bool outcome) {
    setResult(ZYN_RESULT_LOGICAL, outcome ? 1 : 0);
    return outcome;
}
