/*
 * version.cpp - GetVersionExW: the Windows version WIN32_POSIX_VERSION names
 * (default 10.0), with the build number and service pack fields that
 * version of Windows reports.
 *
 *   the version setting   parsed here (pure), read once at the first call
 *   GetVersionExW         both record sizes, a wrong size refused
 *
 * The setting is read at the first GetVersionExW call, through configValue
 * (under the environment's lock), and kept for the life of the process, as
 * Windows fixes a process's version when it starts; a malformed value is
 * reported once on standard error and the default is used.
 */
#include <cstdio>
#include <mutex>

#include "internal.h"
#include "version_setting.h"

namespace w32p {

namespace {

const char* const kVariable = "WIN32_POSIX_VERSION";
constexpr DWORD kLargest = 255;

// Reads a number of at most kLargest at `pos`, moving past it. False, with
// the problem said, when there is none or it is too large.
bool readNumber(std::string_view text, size_t& pos, DWORD& value, const char* missing,
                std::string& problem) {
    size_t start = pos;
    unsigned long long number = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
        if (number <= kLargest) number = number * 10 + static_cast<unsigned>(text[pos] - '0');
        ++pos;
    }
    if (pos == start) {
        problem = missing;
        return false;
    }
    if (number > kLargest) {
        problem = std::string(text.substr(start, pos - start)) + " is more than " +
                  std::to_string(kLargest);
        return false;
    }
    value = static_cast<DWORD>(number);
    return true;
}

bool lowerEquals(char c, char lower) { return c == lower || c == lower - 'a' + 'A'; }

std::mutex g_mutex;
bool g_read = false;
WindowsVersion g_version;

WindowsVersion reportedVersion() {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!g_read) {
        const std::string text = configValue(kVariable);
        std::string problem;
        if (!parseVersionSetting(text, g_version, problem)) {
            std::string message = std::string("win32_posix: ") + kVariable + " \"" + text +
                                  "\": " + problem +
                                  "; expected MAJOR.MINOR with an optional service pack, as in "
                                  "6.1 or 5.1sp3; Windows 10.0 is reported\n";
            std::fwrite(message.data(), 1, message.size(), stderr);
            std::fflush(stderr);
        }
        g_read = true;
    }
    return g_version;
}

}  // namespace

bool parseVersionSetting(std::string_view text, WindowsVersion& version, std::string& problem) {
    version = WindowsVersion();
    if (text.empty()) return true;
    WindowsVersion read;
    size_t pos = 0;
    if (!readNumber(text, pos, read.major, "it does not begin with a major version number",
                    problem))
        return false;
    if (pos == text.size() || text[pos] != '.') {
        problem = "the major version is not followed by a dot and a minor version";
        return false;
    }
    ++pos;
    if (!readNumber(text, pos, read.minor, "there is no minor version after the dot", problem))
        return false;
    if (pos + 2 <= text.size() && lowerEquals(text[pos], 's') && lowerEquals(text[pos + 1], 'p')) {
        pos += 2;
        if (!readNumber(text, pos, read.servicePack,
                        "\"sp\" is not followed by a service pack number", problem))
            return false;
    }
    if (pos != text.size()) {
        problem = "unexpected \"" + std::string(text.substr(pos)) + "\" after the version";
        return false;
    }
    version = read;
    return true;
}

DWORD buildNumberOf(const WindowsVersion& v) {
    struct Row {
        DWORD major, minor, build, lastServicePack;  // later packs keep the last one's build
    };
    static const Row rows[] = {
        {4, 0, 1381, 0}, {5, 0, 2195, 0}, {5, 1, 2600, 0}, {5, 2, 3790, 0},   {6, 0, 6000, 2},
        {6, 1, 7600, 1}, {6, 2, 9200, 0}, {6, 3, 9600, 0}, {10, 0, 19045, 0},
    };
    for (const Row& row : rows) {
        if (row.major == v.major && row.minor == v.minor)
            return row.build +
                   (v.servicePack < row.lastServicePack ? v.servicePack : row.lastServicePack);
    }
    return 0;
}

void resetVersionConfiguration() {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_read = false;
}

}  // namespace w32p

/* Fills a version record. TRUE on success. dwOSVersionInfoSize must be
   sizeof(OSVERSIONINFOW) (276) or sizeof(OSVERSIONINFOEXW) (284): any other
   size gives FALSE and ERROR_INSUFFICIENT_BUFFER with nothing written. With
   276 the EX fields are not written; the size field is never changed. A null
   pointer gives FALSE and ERROR_INVALID_PARAMETER. */
extern "C" BOOL WINAPI GetVersionExW(LPOSVERSIONINFOW lpVersionInformation) {
    if (!lpVersionInformation) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const DWORD size = lpVersionInformation->dwOSVersionInfoSize;
    if (size != sizeof(OSVERSIONINFOW) && size != sizeof(OSVERSIONINFOEXW)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    const w32p::WindowsVersion version = w32p::reportedVersion();
    OSVERSIONINFOW& info = *lpVersionInformation;
    info.dwMajorVersion = version.major;
    info.dwMinorVersion = version.minor;
    info.dwBuildNumber = w32p::buildNumberOf(version);
    info.dwPlatformId = VER_PLATFORM_WIN32_NT;
    std::string servicePack =
        version.servicePack ? "Service Pack " + std::to_string(version.servicePack) : "";
    for (size_t i = 0; i < 128; ++i)
        info.szCSDVersion[i] = i < servicePack.size() ? static_cast<WCHAR>(servicePack[i]) : 0;
    if (size == sizeof(OSVERSIONINFOEXW)) {
        OSVERSIONINFOEXW& ex = *reinterpret_cast<OSVERSIONINFOEXW*>(lpVersionInformation);
        ex.wServicePackMajor = static_cast<WORD>(version.servicePack);
        ex.wServicePackMinor = 0;
        // What a Professional workstation reports: one interactive session.
        ex.wSuiteMask = VER_SUITE_SINGLEUSERTS;
        ex.wProductType = VER_NT_WORKSTATION;
        ex.wReserved = 0;
    }
    return TRUE;
}
