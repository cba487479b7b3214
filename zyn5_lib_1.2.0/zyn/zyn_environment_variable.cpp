// zyn_environment_variable.cpp - CZYNEnvironmentVariable: the value of one
// environment variable of the process, read with GetEnvironmentVariableW.
//
// The value is read into a buffer of 32767 code units, the longest value the
// system's own calls set. A value that does not fit (the process environment
// can hold longer ones) is read again into a buffer of the size the system
// reports, so it always comes back whole.
#include "zyn_environment_variable.h"

#include "zyn_failure.h"
#include "zyn_function_trace.h"
#include "zyn_log_exception.h"

static const WCHAR* const SOURCE = TEXT("zyn_environment_variable.cpp");
static const WCHAR* const OBJECT = TEXT("CZYNEnvironmentVariable");

namespace {

const DWORD kValueBuffer = 0x7FFF;
// Reads of a value that keeps growing between the size query and the read
// give up after this many.
const int kReadAttempts = 4;

}  // namespace

CZYNEnvironmentVariable::CZYNEnvironmentVariable(const CZYNWCharString& name) : variableName() {
    CZYNFunctionTrace trace(OBJECT, TEXT("CZYNEnvironmentVariable"), SOURCE, 28);
    variableName = name;
    trace.passed(variableName == name);
}

bool CZYNEnvironmentVariable::getValue(CZYNWCharString& value) const {
    CZYNFunctionTrace trace(OBJECT, TEXT("getValue"), SOURCE, 125);
    bool bResult = false;
    try {
        if (variableName.getLength() == 0) throw CZYNUnknownVariableNameException(SOURCE, 133);
        DWORD ulSize = kValueBuffer;
        CZYNBuffer<WCHAR> buffer(ulSize);
        DWORD ulRead = GetEnvironmentVariableW(variableName.getText(), buffer.getBuffer(), ulSize);
        // A value that does not fit: the call answered the size it needs,
        // terminator included.
        for (int attempt = 1; ulRead >= ulSize && attempt < kReadAttempts; ++attempt) {
            ulSize = ulRead;
            if (!buffer.allocate(ulSize)) break;
            ulRead = GetEnvironmentVariableW(variableName.getText(), buffer.getBuffer(), ulSize);
        }
        // 0: the variable is missing or empty.
        if (ulRead != 0 && ulRead < ulSize) {
            // Assigned from the text, which leaves value as it was when the
            // copy cannot be made.
            const CZYNWCharString text(buffer.getBuffer());
            value = text.getText();
            bResult = value == text;
        }
    } catch (CZYNLogging& record) {
        zyn::logIfNotLogged(record);
        bResult = false;
    } catch (...) {
        // Unlike the rest of the library, this operation lets such a failure
        // reach its caller, as an unhandled-exception record.
        trace.compared(false);
        throw CZYNUnhandledExceptionException(ZYN_NO_CODE, SOURCE, 160);
    }
    return trace.compared(bResult);
}
