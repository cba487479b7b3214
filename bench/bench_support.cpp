// bench_support.cpp - the benchmarks' scratch folder, files and settings.
#include "bench_support.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#ifdef _WIN32
#include <process.h>
#define HBC_PID _getpid()
#else
#include <unistd.h>
#define HBC_PID ::getpid()
#endif

const WCHAR* const kLogsKey = TEXT("SOFTWARE\\Norvak\\Logs");

wstr widen(const std::string& ascii) { return wstr(ascii.begin(), ascii.end()); }

namespace {
struct Scratch {
    std::filesystem::path path;
    Scratch() {
        path = std::filesystem::temp_directory_path() / ("hbc-bench-" + std::to_string(HBC_PID));
        std::filesystem::create_directories(path);
    }
    ~Scratch() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};
}  // namespace

const std::filesystem::path& scratchFolder() {
    static Scratch scratch;
    return scratch.path;
}

std::filesystem::path scratchPath(const std::string& relative) { return scratchFolder() / relative; }

wstr scratchWinPath(const std::string& relative) {
    std::string text = scratchPath(relative).string();
#ifndef _WIN32
    text = "C:" + text;
#endif
    for (char& c : text)
        if (c == '/') c = '\\';
    return widen(text);
}

void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void ageFile(const std::filesystem::path& path) {
    std::filesystem::last_write_time(path, std::filesystem::last_write_time(path) -
                                               std::chrono::hours(24));
}

void waitUntilSettled() { std::this_thread::sleep_for(std::chrono::milliseconds(3100)); }

namespace {
bool setValue(const wstr& key, const wstr& name, DWORD type, const BYTE* data, DWORD size) {
    HKEY handle = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &handle, nullptr) != ERROR_SUCCESS)
        return false;
    LONG rc = RegSetValueExW(handle, name.c_str(), 0, type, data, size);
    RegCloseKey(handle);
    return rc == ERROR_SUCCESS;
}
}  // namespace

bool setDword(const wstr& key, const wstr& name, DWORD value) {
    return setValue(key, name, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

bool setString(const wstr& key, const wstr& name, const wstr& value) {
    return setValue(key, name, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                    static_cast<DWORD>((value.size() + 1) * sizeof(WCHAR)));
}

bool loggingOff() { return setDword(kLogsKey, TEXT("Logging"), 0); }

bool loggingOn(DWORD detail, const wstr& logFile) {
    return setDword(kLogsKey, TEXT("Logging"), 1) && setDword(kLogsKey, TEXT("LogDetail"), detail) &&
           setString(kLogsKey, TEXT("TextOutput"), logFile);
}
