// zyn_environment_variable.h - CZYNEnvironmentVariable: reads the value of
// one named environment variable of the running process.
//
// Both operations are traced (object "CZYNEnvironmentVariable", source file
// zyn_environment_variable.cpp). The value comes from the process's own
// environment (GetEnvironmentVariableW), not from the registry's copy.
#ifndef ZYN_ENVIRONMENT_VARIABLE_H
#define ZYN_ENVIRONMENT_VARIABLE_H

#include <windows.h>

#include "zyn_wchar_string.h"

class CZYNEnvironmentVariable {
public:
    // Keeps a copy of the name. Throws CZYNBufferInitException when the name
    // cannot be held at all.
    explicit CZYNEnvironmentVariable(const CZYNWCharString& name);

    // True, with the variable's whole value in value, when the variable
    // exists and is not empty. False otherwise, and value is not touched. A
    // name without text is logged as CZYNUnknownVariableNameException. A
    // failure that is not one of the library's records is logged and thrown
    // on to the caller as CZYNUnhandledExceptionException.
    bool getValue(CZYNWCharString& value) const;

private:
    CZYNWCharString variableName;  // the name as passed in
};

#endif
