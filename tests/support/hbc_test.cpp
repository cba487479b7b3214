// hbc_test.cpp - the shared fixture and its helpers.
#include "hbc_test.h"

#include <fstream>
#include <random>
#include <sstream>

#ifndef _WIN32
#include <win32_posix/paths.h>
#include <win32_posix/testing.h>
#include <win32_posix/text.h>
#endif

const WCHAR* const kScratchKey = TEXT("Software\\HbcTests");

namespace {
const WCHAR* const kLogsKey = TEXT("SOFTWARE\\Norvak\\Logs");
const WCHAR* const kVendorKey = TEXT("SOFTWARE\\Norvak");

std::string utf8FromUtf16(const WCHAR* s, size_t n) {
    std::string out;
    for (size_t i = 0; i < n; ++i) {
        char32_t cp = static_cast<char16_t>(s[i]);
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < n) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (static_cast<char16_t>(s[i + 1]) - 0xDC00);
            ++i;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}
}  // namespace

wstr W(const std::string& utf8) {
    wstr out;
    for (size_t i = 0; i < utf8.size();) {
        unsigned char b = static_cast<unsigned char>(utf8[i]);
        char32_t cp;
        size_t len = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : 4;
        cp = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
        for (size_t k = 1; k < len && i + k < utf8.size(); ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        i += len;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<WCHAR>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<WCHAR>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<WCHAR>(cp));
        }
    }
    return out;
}

std::string U8(const WCHAR* text) {
    if (!text) return "(null)";
    return utf8FromUtf16(text, std::char_traits<WCHAR>::length(text));
}

std::string U8(const wstr& text) { return utf8FromUtf16(text.data(), text.size()); }

bool runningUnderWine() {
#ifdef _WIN32
    // Wine's ntdll exports its version; Windows' does not.
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
    return false;
#endif
}

bool regSetBytes(HKEY root, const wstr& path, const wstr& name, DWORD type,
                 const std::vector<BYTE>& bytes) {
    HKEY key = nullptr;
    LONG rc =
        RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    EXPECT_EQ(ERROR_SUCCESS, rc) << U8(path);
    if (rc != ERROR_SUCCESS) return false;
    // Windows stores the NUL that follows text data left without its
    // terminator; a guard after the bytes makes sure exactly these are stored
    // (and that the call reads nothing past what the test owns).
    std::vector<BYTE> guarded(bytes);
    guarded.insert(guarded.end(), {0xFF, 0xFF});
    rc = RegSetValueExW(key, name.c_str(), 0, type, guarded.data(), static_cast<DWORD>(bytes.size()));
    RegCloseKey(key);
    EXPECT_EQ(ERROR_SUCCESS, rc) << U8(name);
    return rc == ERROR_SUCCESS;
}

bool regSetDword(HKEY root, const wstr& path, const wstr& name, DWORD value) {
    std::vector<BYTE> bytes(4);
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<BYTE>(value >> (8 * i));
    return regSetBytes(root, path, name, REG_DWORD, bytes);
}

bool regSetString(HKEY root, const wstr& path, const wstr& name, const wstr& value, DWORD type) {
    const BYTE* p = reinterpret_cast<const BYTE*>(value.c_str());
    return regSetBytes(root, path, name, type,
                       std::vector<BYTE>(p, p + (value.size() + 1) * sizeof(WCHAR)));
}

bool regDeleteTree(HKEY root, const wstr& path) {
    LONG rc = RegDeleteTreeW(root, path.c_str());
    bool ok = rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
    EXPECT_TRUE(ok) << U8(path) << " " << rc;
    return ok;
}

std::vector<unsigned char> readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>((std::istreambuf_iterator<char>(in)),
                                      std::istreambuf_iterator<char>());
}

void writeBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::string> readUtf16Lines(const std::filesystem::path& path, bool* hadBom) {
    std::vector<unsigned char> bytes = readBytes(path);
    size_t start = 0;
    bool bom = bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE;
    if (hadBom) *hadBom = bom;
    if (bom) start = 2;
    wstr text;
    for (size_t i = start; i + 1 < bytes.size(); i += 2)
        text.push_back(static_cast<WCHAR>(bytes[i] | (bytes[i + 1] << 8)));
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find(TEXT("\r\n"), pos);
        if (end == wstr::npos) {
            lines.push_back(U8(text.substr(pos)));
            break;
        }
        lines.push_back(U8(text.substr(pos, end - pos)));
        pos = end + 2;
    }
    return lines;
}

ScopedEnvVar::ScopedEnvVar(const wstr& name, const WCHAR* value) : m_name(name) {
    DWORD needed = GetEnvironmentVariableW(name.c_str(), nullptr, 0);
    if (needed > 0) {
        std::vector<WCHAR> buffer(needed);
        DWORD length = GetEnvironmentVariableW(name.c_str(), buffer.data(), needed);
        m_existed = true;
        m_previous.assign(buffer.data(), length < needed ? length : 0);
    }
    EXPECT_TRUE(SetEnvironmentVariableW(name.c_str(), value))
        << U8(name) << " error " << GetLastError();
}

ScopedEnvVar::~ScopedEnvVar() {
    EXPECT_TRUE(SetEnvironmentVariableW(m_name.c_str(), m_existed ? m_previous.c_str() : nullptr))
        << U8(m_name) << " error " << GetLastError();
}

ScopedPrivilege::ScopedPrivilege(const WCHAR* name, bool enable) {
    LUID luid = {};
    EXPECT_TRUE(LookupPrivilegeValueW(nullptr, name, &luid)) << U8(name) << " " << GetLastError();
    EXPECT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &m_token))
        << GetLastError();
    TOKEN_PRIVILEGES wanted = {1, {{luid, enable ? static_cast<DWORD>(SE_PRIVILEGE_ENABLED) : 0u}}};
    DWORD size = 0;
    BOOL adjusted = AdjustTokenPrivileges(m_token, FALSE, &wanted, sizeof m_previous, &m_previous, &size);
    EXPECT_TRUE(adjusted) << U8(name) << " " << GetLastError();
    m_held = adjusted && GetLastError() != ERROR_NOT_ALL_ASSIGNED;
    // Only a privilege whose state changed is listed in the previous state.
    m_wasEnabled = m_previous.PrivilegeCount ? (m_previous.Privileges[0].Attributes & SE_PRIVILEGE_ENABLED) != 0
                                             : m_held && enable;
}

ScopedPrivilege::~ScopedPrivilege() {
    if (m_previous.PrivilegeCount) {
        EXPECT_TRUE(AdjustTokenPrivileges(m_token, FALSE, &m_previous, 0, nullptr, nullptr))
            << GetLastError();
    }
    if (m_token) CloseHandle(m_token);
}

bool privilegeEnabled(const WCHAR* name) { return ScopedPrivilege(name, false).wasEnabled(); }

void HbcTest::SetUp() {
    // A test that cannot start from a clean registry does not run.
    ASSERT_TRUE(regDeleteTree(HKEY_LOCAL_MACHINE, kVendorKey));
    ASSERT_TRUE(regDeleteTree(HKEY_CURRENT_USER, kScratchKey));

    static std::mt19937 rng(std::random_device{}());
    std::ostringstream name;
    name << "hbc-test-" << std::hex << rng();
    m_fsFolder = std::filesystem::temp_directory_path() / name.str();
    std::filesystem::remove_all(m_fsFolder);
    std::filesystem::create_directories(m_fsFolder);
#ifdef _WIN32
    m_folder = m_fsFolder.wstring();
#else
    m_folder = w32p::toWindowsPath(m_fsFolder.string());
#endif
}

void HbcTest::TearDown() {
    regDeleteTree(HKEY_LOCAL_MACHINE, kVendorKey);
    regDeleteTree(HKEY_CURRENT_USER, kScratchKey);
    std::error_code ignored;
    std::filesystem::remove_all(m_fsFolder, ignored);
#ifndef _WIN32
    if (m_sharedRegistry) {
        m_sharedRegistry.reset();
        w32p::testing::resetRegistry();
    }
#endif
}

void HbcTest::shareRegistryWithChildren() {
#ifndef _WIN32
    m_sharedRegistry.emplace(TEXT("WIN32_POSIX_REGISTRY"), W(fsPath("registry.reg").string()));
    w32p::testing::resetRegistry();
#endif
}

wstr HbcTest::winPath(const std::string& relative) const {
    wstr rel = W(relative);
    for (WCHAR& c : rel)
        if (c == '/') c = '\\';
    return m_folder + TEXT("\\") + rel;
}

std::filesystem::path HbcTest::fsPath(const std::string& relative) const {
    return m_fsFolder / std::filesystem::path(relative);
}

bool HbcTest::enableLogging(DWORD detail) {
    return regSetDword(HKEY_LOCAL_MACHINE, kLogsKey, TEXT("Logging"), 1) &&
           (!detail || regSetDword(HKEY_LOCAL_MACHINE, kLogsKey, TEXT("LogDetail"), detail)) &&
           regSetString(HKEY_LOCAL_MACHINE, kLogsKey, TEXT("TextOutput"), logFileWin());
}

std::vector<std::string> HbcTest::logLines(bool* hadBom) const {
    return readUtf16Lines(fsPath("log.txt"), hadBom);
}

std::vector<std::string> HbcTest::logLinesWith(const std::string& needle) const {
    std::vector<std::string> hits;
    for (const std::string& line : logLines())
        if (line.find(needle) != std::string::npos) hits.push_back(line);
    return hits;
}

std::string HbcTest::applicationName() {
    WCHAR path[600] = {0};
    DWORD n = GetModuleFileNameW(nullptr, path, 600);
    std::string full = utf8FromUtf16(path, n);
    size_t slash = full.find_last_of('\\');
    std::string base = slash == std::string::npos ? full : full.substr(slash + 1);
    size_t dot = base.find_last_of('.');
    return dot == std::string::npos ? base : base.substr(0, dot);
}
