// host_answers.h - everything a host gets from a loaded module: its status
// and, for every id worth asking (0 to 200 and 0xFFFFFFFF), the answers of
// both query functions, the record asked for in a buffer the host filled
// with its own bytes. The same answers as text let a child process
// (probe_host) hand them to a test byte for byte.
#ifndef HOST_ANSWERS_H
#define HOST_ANSWERS_H

#include <map>
#include <string>

#include "loaded_module.h"

// What the host puts in its buffers before asking.
const unsigned char kHostFill = 0xCD;
const LONG kCapabilityUntouched = static_cast<LONG>(0xdeadbeef);

struct Answer {
    DWORD infoCode = 0;        // HB_GetFunctionInfo
    FunctionInfo record;       // the host's buffer after the call
    DWORD capabilityCode = 0;  // HB_GetCapability
    LONG capability = 0;       // the host's value after the call
};

struct HostAnswers {
    DWORD status = 0;  // HB_GetStatus
    std::map<DWORD, Answer> byId;
};

// Asks for every id, in the host's language `languageId`.
HostAnswers queryAll(const HostFunctions& host, DWORD languageId);

// One line "status <n>", then one line per id:
// "<id> <info code> <capability code> <capability> <the record's 940 bytes in hex>".
std::string formatAnswers(const HostAnswers& answers);
// Reads that text back; false when it is not in that form.
bool parseAnswers(const std::string& text, HostAnswers& answers);

#endif
