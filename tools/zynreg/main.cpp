// main.cpp - zynreg's entry point and its platform part: the command line
// as UTF-16, output as UTF-8, file names and the registry's whereabouts on
// Windows and on POSIX.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "commands.h"
#include "platform.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <win32_posix/paths.h>
#include <win32_posix/text.h>
#endif

void printLine(const wstr& line) {
    const std::string text = toUtf8(line) + "\n";
    std::fwrite(text.data(), 1, text.size(), stdout);
}

void printError(const wstr& message) {
    const std::string text = "zynreg: " + toUtf8(message) + "\n";
    std::fflush(stdout);
    std::fwrite(text.data(), 1, text.size(), stderr);
}

#ifdef _WIN32

std::string toUtf8(const wstr& text) {
    if (text.empty()) return std::string();
    const int size = static_cast<int>(text.size());
    const int bytes =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), size, &out[0], bytes, nullptr, nullptr);
    return out;
}

wstr fromUtf8(const std::string& text) {
    if (text.empty()) return wstr();
    const int size = static_cast<int>(text.size());
    const int units = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    wstr out(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), size, &out[0], units);
    return out;
}

wstr fullWindowsPath(const wstr& given) {
    const DWORD needed = GetFullPathNameW(given.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return given;
    std::vector<WCHAR> full(needed);
    const DWORD length = GetFullPathNameW(given.c_str(), needed, full.data(), nullptr);
    return length > 0 && length < needed ? wstr(full.data(), length) : given;
}

bool useRegistryFile(const wstr&, wstr& problem) {
    problem =
        L"--registry is for POSIX, where the registry is a file; on Windows zynreg works "
        L"on the system's registry";
    return false;
}

bool registryIsKept(wstr&) { return true; }

// The arguments as UTF-16, so that every name reaches the tool whole; the
// output is UTF-8 with line feeds, as on POSIX.
int wmain(int argc, wchar_t** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    SetConsoleOutputCP(CP_UTF8);
    return runZynreg(Strings(argv + 1, argv + argc));
}

#else

namespace {
const char kRegistryVariable[] = "WIN32_POSIX_REGISTRY";
}

std::string toUtf8(const wstr& text) { return w32p::toUtf8(text); }

wstr fromUtf8(const std::string& text) { return w32p::fromUtf8(text); }

wstr fullWindowsPath(const wstr& given) {
    const bool windowsWay =
        (given.size() >= 2 && given[1] == u':') || given.find(u'\\') != wstr::npos;
    if (windowsWay) return given;
    return w32p::toWindowsPath(
        std::filesystem::absolute(toUtf8(given)).lexically_normal().string());
}

bool useRegistryFile(const wstr& file, wstr&) {
    const std::string path = std::filesystem::absolute(toUtf8(file)).lexically_normal().string();
    setenv(kRegistryVariable, path.c_str(), 1);
    return true;
}

bool registryIsKept(wstr& problem) {
    const char* file = std::getenv(kRegistryVariable);
    if (file && *file) return true;
    problem =
        u"no registry file: set WIN32_POSIX_REGISTRY or pass --registry FILE (without one "
        u"the registry lives only inside zynreg and is gone when it ends)";
    return false;
}

int main(int argc, char** argv) {
    Strings args;
    for (int i = 1; i < argc; ++i) args.push_back(fromUtf8(argv[i]));
    return runZynreg(args);
}

#endif
