// host_answers.cpp - asking a loaded module for every id, and the answers as text.
#include "host_answers.h"

#include <cstring>
#include <sstream>

namespace {

const DWORD kLastId = 200;  // list 2: beyond the two lists
const DWORD kLargestId = 0xFFFFFFFF;

}  // namespace

HostAnswers queryAll(const HostFunctions& host, DWORD languageId) {
    HostAnswers answers;
    answers.status = host.getStatus(0, 0, 0);
    auto ask = [&](DWORD id) {
        Answer& answer = answers.byId[id];
        std::memset(&answer.record, kHostFill, sizeof answer.record);
        answer.record.functionId = id;
        DWORD size = sizeof answer.record;
        answer.infoCode = host.getFunctionInfo(languageId, &answer.record, &size);
        answer.capability = kCapabilityUntouched;
        answer.capabilityCode = host.getCapability(id, &answer.capability);
    };
    for (DWORD id = 0; id <= kLastId; ++id) ask(id);
    ask(kLargestId);
    return answers;
}

std::string formatAnswers(const HostAnswers& answers) {
    static const char digits[] = "0123456789abcdef";
    std::ostringstream out;
    out << "status " << answers.status << "\n";
    for (const auto& [id, answer] : answers.byId) {
        out << id << ' ' << answer.infoCode << ' ' << answer.capabilityCode << ' '
            << answer.capability << ' ';
        const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&answer.record);
        for (size_t i = 0; i < sizeof answer.record; ++i)
            out << digits[bytes[i] >> 4] << digits[bytes[i] & 15];
        out << "\n";
    }
    return out.str();
}

bool parseAnswers(const std::string& text, HostAnswers& answers) {
    std::istringstream in(text);
    std::string word;
    if (!(in >> word >> answers.status) || word != "status") return false;
    DWORD id = 0;
    while (in >> id) {
        Answer& answer = answers.byId[id];
        std::string hex;
        if (!(in >> answer.infoCode >> answer.capabilityCode >> answer.capability >> hex) ||
            hex.size() != 2 * sizeof answer.record)
            return false;
        unsigned char* bytes = reinterpret_cast<unsigned char*>(&answer.record);
        for (size_t i = 0; i < sizeof answer.record; ++i)
            bytes[i] = static_cast<unsigned char>(std::stoi(hex.substr(2 * i, 2), nullptr, 16));
    }
    return in.eof() && !answers.byId.empty();
}
