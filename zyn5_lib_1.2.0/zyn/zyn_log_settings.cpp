// zyn_log_settings.cpp - CZYNLogSettings: the logging settings under
// HKEY_LOCAL_MACHINE "SOFTWARE\Norvak\Logs", read afresh for every query.
//
// A value counts as present unless the registry says it does not exist; a
// value longer than its buffer is present too. When the key cannot be opened
// every value is absent. Nothing here reports an error.
#include "zyn_log_settings.h"

#include <cstring>
#include <new>

#include "zyn_text.h"

const WCHAR* const CZYNLogSettings::KEY_PATH = TEXT("SOFTWARE\\Norvak\\Logs");

namespace {

const WCHAR* const LOGGING = TEXT("Logging");
const WCHAR* const LOG_DETAIL = TEXT("LogDetail");
const WCHAR* const ALLOW_OBJECTS = TEXT("AllowObjects");
const WCHAR* const EXCLUDE_OBJECTS = TEXT("ExcludeObjects");

// Buffer sizes, in bytes, of the values read.
const DWORD APPLICATION_VALUE_BYTES = 260;

// One query of one value: opens the key read-only, reads, closes.
// Returns the registry's answer; ERROR_MORE_DATA leaves *size at the size needed.
LONG queryValue(const WCHAR* name, DWORD* type, BYTE* data, DWORD* size) {
    HKEY key = nullptr;
    LONG rc = RegOpenKeyExW(HKEY_LOCAL_MACHINE, CZYNLogSettings::KEY_PATH, 0, KEY_READ, &key);
    if (rc != ERROR_SUCCESS) return ERROR_FILE_NOT_FOUND;
    rc = RegQueryValueExW(key, name, nullptr, type, data, size);
    RegCloseKey(key);
    return rc;
}

bool isPresent(LONG rc) { return rc != ERROR_FILE_NOT_FOUND; }

// A whole text value, always terminated inside its own storage, however the
// value was stored (with or without a terminator, of any length).
class ValueText {
public:
    // Reads the value; false when it is absent. A value that is not text, or
    // whose text cannot be read, is present with an empty text.
    bool read(const WCHAR* name) {
        // Most values fit a small buffer: one query then; a longer one is
        // read again at its size.
        DWORD type = 0;
        WCHAR small[SMALL_UNITS];
        DWORD size = sizeof small;
        LONG rc = queryValue(name, &type, reinterpret_cast<BYTE*>(small), &size);
        if (!isPresent(rc)) return false;
        if (rc == ERROR_SUCCESS) {
            if (isText(type)) keep(small, size);
            return true;
        }
        if (rc != ERROR_MORE_DATA) return true;
        // The value may change between the two calls: retry a few times.
        for (int attempt = 0; attempt < 4; ++attempt) {
            // Room for every byte (an odd final byte fills the low half of a
            // last unit, whose high half stays 0) and a terminator after them.
            DWORD units = size / sizeof(WCHAR) + size % sizeof(WCHAR) + 1;
            release();
            m_text = static_cast<WCHAR*>(zyn::allocateStorage(size_t(units) * sizeof(WCHAR)));
            if (!m_text) return true;
            DWORD got = (units - 1) * sizeof(WCHAR);
            rc = queryValue(name, &type, reinterpret_cast<BYTE*>(m_text), &got);
            if (rc == ERROR_SUCCESS) {
                m_text[got / sizeof(WCHAR) + got % sizeof(WCHAR)] = 0;
                if (!isText(type)) release();
                return true;
            }
            if (rc != ERROR_MORE_DATA) {
                release();
                return isPresent(rc);
            }
            size = got;
        }
        release();
        return true;
    }
    const WCHAR* text() const { return m_text ? m_text : TEXT(""); }
    ~ValueText() { release(); }

private:
    static const DWORD SMALL_UNITS = 128;

    static bool isText(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

    // Keeps a copy of `bytes` bytes of text with a terminator after them (an
    // odd final byte fills the low half of a last unit).
    void keep(const WCHAR* text, DWORD bytes) {
        DWORD units = bytes / sizeof(WCHAR) + bytes % sizeof(WCHAR);
        m_text = static_cast<WCHAR*>(zyn::allocateStorage((size_t(units) + 1) * sizeof(WCHAR)));
        if (m_text) std::memcpy(m_text, text, bytes);  // zeroed storage: terminated
    }
    void release() { zyn::freeText(m_text); }
    WCHAR* m_text = nullptr;
};

// Reads a 4-byte number; a value of another type or size counts as absent.
bool readDword(const WCHAR* name, DWORD* value) {
    DWORD type = 0;
    DWORD data = 0;
    DWORD size = sizeof data;
    LONG rc = queryValue(name, &type, reinterpret_cast<BYTE*>(&data), &size);
    if (rc != ERROR_SUCCESS || type != REG_DWORD || size != sizeof data) return false;
    *value = data;
    return true;
}

// The text after the first comma, or null when there is none.
const WCHAR* afterFirstComma(const WCHAR* text) {
    for (; *text; ++text)
        if (*text == u',') return text + 1;
    return nullptr;
}

}  // namespace

LONG CZYNLogSettings::parseDecimal(const WCHAR* text) {
    if (!text) return 0;
    while (*text == u' ' || *text == u'\t') ++text;
    bool negative = false;
    if (*text == u'+' || *text == u'-') negative = *text++ == u'-';
    DWORD value = 0;
    for (; *text >= u'0' && *text <= u'9'; ++text) value = value * 10 + (*text - u'0');
    return static_cast<LONG>(negative ? 0u - value : value);
}

bool CZYNLogSettings::isLoggingEnabled() const {
    DWORD value = 0;
    return readDword(LOGGING, &value) && value != 0;
}

WORD CZYNLogSettings::getDetailMask() const {
    DWORD value = 0;
    return readDword(LOG_DETAIL, &value) ? static_cast<WORD>(value & 0xFFFF) : DEFAULT_DETAIL_MASK;
}

bool CZYNLogSettings::applicationValueExists(const WCHAR* name) const {
    if (zyn::isEmptyText(name)) return false;
    BYTE data[APPLICATION_VALUE_BYTES];
    DWORD size = sizeof data;
    DWORD type = 0;
    return isPresent(queryValue(name, &type, data, &size));
}

WORD CZYNLogSettings::getApplicationOutputMask(const WCHAR* name) const {
    ValueText value;
    if (zyn::isEmptyText(name) || !value.read(name)) return 0;
    return static_cast<WORD>(parseDecimal(value.text()));
}

WORD CZYNLogSettings::getApplicationDetailMask(const WCHAR* name) const {
    ValueText value;
    if (zyn::isEmptyText(name) || !value.read(name)) return 0;
    // Without a comma there is no second field: the mask is 0.
    return static_cast<WORD>(parseDecimal(afterFirstComma(value.text())));
}

bool CZYNLogSettings::getApplicationThirdField(const WCHAR* name, WCHAR* buffer,
                                               DWORD capacity) const {
    ValueText value;
    if (zyn::isEmptyText(name) || !buffer || capacity == 0 || !value.read(name)) return false;
    const WCHAR* last = nullptr;
    for (const WCHAR* p = value.text(); *p; ++p)
        if (*p == u',') last = p + 1;
    if (!last) return false;
    zyn::copyText(buffer, capacity, last);
    return true;
}

bool CZYNLogSettings::objectAllowed(const WCHAR* name, bool* pbAllowed) const {
    ValueText list;
    if (!list.read(ALLOW_OBJECTS)) return false;
    if (pbAllowed) *pbAllowed = zyn::containsText(list.text(), name);
    return true;
}

bool CZYNLogSettings::objectExcluded(const WCHAR* name, bool* pbExcluded) const {
    ValueText list;
    if (!list.read(EXCLUDE_OBJECTS)) return false;
    if (pbExcluded) *pbExcluded = zyn::containsText(list.text(), name);
    return true;
}

bool CZYNLogSettings::getOutputPath(WORD outputBit, WCHAR* buffer, DWORD byteCapacity) const {
    const WCHAR* name = nullptr;
    switch (outputBit) {
    case 1: name = TEXT("TextOutput"); break;
    case 2: name = TEXT("XMLOutput"); break;
    case 4: name = TEXT("ServerOutput"); break;
    case 8: name = TEXT("HTMLOutput"); break;
    case 16:
        if (buffer && byteCapacity >= sizeof(WCHAR)) buffer[0] = 0;
        return true;
    case 32: name = TEXT("UnknownOutput"); break;
    default: return false;
    }
    DWORD units = byteCapacity / sizeof(WCHAR);
    if (!buffer || units == 0) return false;
    // A path that does not fit the buffer with its terminator is unavailable:
    // a cut path would send the log to another file.
    ValueText value;
    if (!value.read(name)) return false;
    if (zyn::textLength(value.text()) + 1 > units) return false;
    zyn::copyText(buffer, units, value.text());
    return true;
}
