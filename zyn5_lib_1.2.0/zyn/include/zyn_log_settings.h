// zyn_log_settings.h - CZYNLogSettings: reads the logging settings under
// HKEY_LOCAL_MACHINE "SOFTWARE\Norvak\Logs". Stateless: every query opens the
// key read-only, reads one value and closes it, so a change takes effect with
// the next record. No query reports an error: anything unreadable answers
// "absent" or "not allowed".
#ifndef ZYN_LOG_SETTINGS_H
#define ZYN_LOG_SETTINGS_H

#include <windows.h>

class CZYNLogSettings {
public:
    // The key that holds the settings, under HKEY_LOCAL_MACHINE.
    static const WCHAR* const KEY_PATH;
    // "LogDetail" when absent: CRITICAL, EXCEPTION_BAD, ERROR, WARNING.
    static constexpr WORD DEFAULT_DETAIL_MASK = 27;

    // "Logging" present and non-zero.
    bool isLoggingEnabled() const;
    // Low 16 bits of "LogDetail", or 27 when absent.
    WORD getDetailMask() const;
    // The per-application value named `name` is present; false for null.
    bool applicationValueExists(const WCHAR* name) const;
    // First comma-separated field of the per-application value, as a decimal number.
    WORD getApplicationOutputMask(const WCHAR* name) const;
    // Second field (between the first and second comma; with one comma, the text after it).
    WORD getApplicationDetailMask(const WCHAR* name) const;
    // The text after the last comma, at most capacity - 1 characters and a NUL.
    bool getApplicationThirdField(const WCHAR* name, WCHAR* buffer, DWORD capacity) const;
    // "AllowObjects" present: *pbAllowed says whether `name` occurs in it.
    bool objectAllowed(const WCHAR* name, bool* pbAllowed) const;
    // "ExcludeObjects" present: *pbExcluded says whether `name` occurs in it.
    bool objectExcluded(const WCHAR* name, bool* pbExcluded) const;
    // The path setting of one output bit, into a buffer of byteCapacity bytes.
    // Bit 16 answers available with no path; unknown bits answer unavailable.
    bool getOutputPath(WORD outputBit, WCHAR* buffer, DWORD byteCapacity) const;

    // Decimal parsing of the per-application fields: leading blanks and an
    // optional sign are skipped, parsing stops at the first non-digit, no
    // digits give 0.
    static LONG parseDecimal(const WCHAR* text);
};

#endif
