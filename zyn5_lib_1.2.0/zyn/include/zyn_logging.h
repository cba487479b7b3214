// zyn_logging.h - CZYNLogging: the root of every diagnostic record. Catch
// sites catch thrown records by reference to this class.
#ifndef ZYN_LOGGING_H
#define ZYN_LOGGING_H

#include <windows.h>

#include "zyn_log_output.h"
#include "zyn_log_settings.h"

class CZYNLogging {
public:
    CZYNLogging(WORD outputMask, BYTE logOnDestruction);
    // Copies the four flag and mask fields, `logged` included.
    CZYNLogging(const CZYNLogging& other) = default;
    CZYNLogging& operator=(const CZYNLogging& other) = default;
    virtual ~CZYNLogging() {}
    // Writes the record if the settings accept it; true when a write succeeded.
    virtual bool log() = 0;

    BYTE m_bLogOnDestruction;   // the destructor writes the record (again)
    WORD m_usOutputMask;        // which outputs receive the record
    WORD m_usDetailMask;        // the detail mask in force at the last test
    BYTE m_bLogged;             // set once a write was reported successful
    CZYNLogSettings m_settings;
    CZYNLogOutput m_output;
};

#endif
