// zyn_function_trace.h - CZYNFunctionLog and CZYNFunctionTrace: the scoped
// trace that a traced operation builds first. It writes an ENTRY record at
// once and, when it is destroyed, an EXIT record with the operation's
// outcome. When logging is off at construction it holds nothing at all.
#ifndef ZYN_FUNCTION_TRACE_H
#define ZYN_FUNCTION_TRACE_H

#include "zyn_detailed_log.h"

// The record a trace owns: level ENTRY while the operation runs; its
// destructor turns it into the EXIT record before it is written.
class CZYNFunctionLog : public CZYNDetailedLog {
public:
    CZYNFunctionLog(const WCHAR* objectName, const WCHAR* functionName, const WCHAR* sourceFile,
                    DWORD line, WORD outputMask, bool logEntry, bool logExit);
    ~CZYNFunctionLog() override;
};

class CZYNFunctionTrace {
public:
    CZYNFunctionTrace(const WCHAR* objectName, const WCHAR* functionName, const WCHAR* sourceFile,
                      DWORD line, WORD outputMask = 1, bool logEntry = true, bool logExit = true);
    ~CZYNFunctionTrace();
    CZYNFunctionTrace(const CZYNFunctionTrace&) = delete;
    CZYNFunctionTrace& operator=(const CZYNFunctionTrace&) = delete;

    // Stores the outcome in the record, when there is one.
    void setResult(DWORD resultType, LONG result);
    // Result type passed/failed with the success flag; returns the flag.
    bool passed(bool success);
    // Result type logical comparison with the outcome; returns the outcome.
    bool compared(bool outcome);

    // The record, or null when logging was off at construction.
    CZYNFunctionLog* getRecord() const { return m_pRecord; }

private:
    CZYNFunctionLog* m_pRecord;
};

#endif
