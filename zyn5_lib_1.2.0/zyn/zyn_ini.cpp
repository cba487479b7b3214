// zyn_ini.cpp - CZYNIni: one INI file through the private-profile functions.
//
// Implements: construction and destruction, createProfileSection,
// getProfileInt, getProfileSection, getProfileSectionNames, getProfileString,
// setProfileInt and setProfileString. Reads go into a buffer made for the
// call (1024 units for a value, 32767 for a section or the section names),
// which is wiped and freed before the call returns.
#include "zyn_ini.h"

#include <string>

#include "zyn_failure.h"
#include "zyn_function_trace.h"
#include "zyn_log_exception.h"

static const WCHAR* const SOURCE = TEXT("zyn_ini.cpp");
static const WCHAR* const OBJECT = TEXT("CZYNIni");

namespace {

using Traits = std::char_traits<WCHAR>;
using StringList = CZYNIni::StringList;

// Buffer sizes, in UTF-16 units, terminators included.
const DWORD kValueBufferSize = 1024;
const DWORD kSectionBufferSize = 0x7FFF;

// The default of a value read, and the marker of a missing key.
const WCHAR kNotFound[] = TEXT("Not Found");

// The key that createProfileSection adds to an empty section and removes at
// once, to leave the section's header in the file.
const WCHAR kPlaceholderKey[] = TEXT("CZYNIniNewSection");

// out = szText. False, with out as it was, when the copy cannot be made (the
// assignment has written its own record then).
bool assignText(CZYNWCharString& out, const WCHAR* szText) {
    out = szText;
    const size_t length = Traits::length(szText);
    return out.getLength() == length && Traits::compare(out.getText(), szText, length) == 0;
}

// The text of a string for a call that gives a null name its own meaning:
// null when the string holds no text.
const WCHAR* textOrNull(const CZYNWCharString& text) {
    return text.getLength() == 0 ? nullptr : text.getText();
}

// The entries of the system's NUL-separated list: the first ulCount units of
// the buffer, each entry ended by a NUL. Each entry's text is appended to
// `entries`, tagged with its position.
bool splitEntries(const CZYNBuffer<WCHAR>& buffer, ULONG ulCount, StringList& entries) {
    ULONG ulStart = 0;
    LONG lTag = 0;
    for (ULONG ulPos = 0; ulPos < ulCount; ++ulPos) {
        if (buffer.getAt(ulPos) != 0) continue;
        if (!entries.add(CZYNWCharString(buffer.getBuffer() + ulStart), lTag++)) return false;
        ulStart = ulPos + 1;
    }
    return true;
}

// Gives `list` the entries of `fresh`. When they cannot all be copied the list
// gets its earlier entries back, so that a failed read leaves the caller's
// list as it was.
bool replaceList(StringList& list, const StringList& fresh) {
    StringList previous;
    if (!previous.copyFrom(list)) return false;
    if (list.copyFrom(fresh)) return true;
    list.copyFrom(previous);
    return false;
}

// The common part of the section and section-name reads. `read` fills the
// buffer it is given (of the size given) and returns the system's count.
// The list is replaced only when the whole list was read and split: a read
// that fails, finds nothing or was cut leaves it as it was.
template <class Read>
bool readList(StringList& list, Read read) {
    CZYNBuffer<WCHAR> buffer(kSectionBufferSize);
    const DWORD n = read(buffer.getBuffer(), kSectionBufferSize);
    // 0: nothing there; size - 2: the list did not fit and was cut.
    if (n == 0 || n == kSectionBufferSize - 2) return false;
    StringList entries;
    if (!splitEntries(buffer, n, entries) || entries.getCount() == 0) return false;
    return replaceList(list, entries);
}

}  // namespace

CZYNIni::CZYNIni(const CZYNWCharString& szIniFile) : m_szIniFile(szIniFile) {
    CZYNFunctionTrace trace(OBJECT, TEXT("CZYNIni"), SOURCE, 47);
    trace.passed(true);
}

CZYNIni::~CZYNIni() {
    CZYNFunctionTrace trace(OBJECT, TEXT("~CZYNIni"), SOURCE, 87);
    trace.passed(true);
}

bool CZYNIni::createProfileSection(const CZYNWCharString& section) {
    CZYNFunctionTrace trace(OBJECT, TEXT("createProfileSection"), SOURCE, 128);
    return trace.passed(zyn::guard({SOURCE, 158, zyn::LastError}, false, [&] {
        // A section that has entries exists already and keeps them. (Writing
        // a null entry list would delete the section instead.)
        WCHAR probe[4] = {0};
        const WCHAR* szFile = m_szIniFile.getText();
        if (GetPrivateProfileSectionW(section.getText(), probe, 4, szFile) > 0) return true;
        // The system adds no header for an empty entry list, but removing the
        // last key of a section keeps its header: a key that the section
        // cannot hold (it has no entries) is added and removed again.
        if (!WritePrivateProfileStringW(section.getText(), kPlaceholderKey, TEXT(""), szFile) ||
            !WritePrivateProfileStringW(section.getText(), kPlaceholderKey, nullptr, szFile))
            throw CZYNWritePrivateProfileSectionException(
                section.getText(), static_cast<LONG>(GetLastError()), SOURCE, 143);
        return true;
    }));
}

bool CZYNIni::getProfileInt(const CZYNWCharString& section, const CZYNWCharString& key,
                            LONG& lValue) {
    CZYNFunctionTrace trace(OBJECT, TEXT("getProfileInt"), SOURCE, 183);
    return trace.passed(zyn::guard<CZYNLogException1>({SOURCE, 214, zyn::LastError}, false, [&] {
        // -1 is the default for a missing key, so a stored -1 reads as missing.
        const LONG lRead = static_cast<LONG>(
            GetPrivateProfileIntW(section.getText(), key.getText(), -1, m_szIniFile.getText()));
        if (lRead == -1)
            throw CZYNLogException1(TEXT("GetPrivateProfileInt( ) failed."),
                                    static_cast<LONG>(GetLastError()), ZYN_RESULT_ERROR_CODE,
                                    nullptr, nullptr, SOURCE, 197);
        lValue = lRead;
        return true;
    }));
}

bool CZYNIni::getProfileSection(const CZYNWCharString& section, StringList& list) {
    CZYNFunctionTrace trace(OBJECT, TEXT("getProfileSection"), SOURCE, 239);
    return trace.passed(zyn::guardCatchAll({SOURCE, 290, zyn::LastError}, false, [&] {
        return readList(list, [&](WCHAR* pBuffer, DWORD dwSize) {
            return GetPrivateProfileSectionW(section.getText(), pBuffer, dwSize,
                                             m_szIniFile.getText());
        });
    }));
}

bool CZYNIni::getProfileSectionNames(StringList& list) {
    CZYNFunctionTrace trace(OBJECT, TEXT("getProfileSectionNames"), SOURCE, 313);
    return trace.passed(zyn::guardCatchAll({SOURCE, 363, zyn::LastError}, false, [&] {
        return readList(list, [&](WCHAR* pBuffer, DWORD dwSize) {
            return GetPrivateProfileSectionNamesW(pBuffer, dwSize, m_szIniFile.getText());
        });
    }));
}

bool CZYNIni::getProfileString(const CZYNWCharString& section, const CZYNWCharString& key,
                               CZYNWCharString& szValue) {
    CZYNFunctionTrace trace(OBJECT, TEXT("getProfileString"), SOURCE, 388);
    return trace.passed(zyn::guardCatchAll({SOURCE, 417, zyn::LastError}, false, [&] {
        CZYNBuffer<WCHAR> buffer(kValueBufferSize);
        const WCHAR* szRead = buffer.getBuffer();
        const DWORD n = GetPrivateProfileStringW(section.getText(), key.getText(), kNotFound,
                                                 buffer.getBuffer(), kValueBufferSize,
                                                 m_szIniFile.getText());
        // 0: an empty value or nothing found. Size - 1, or size - 2 as the
        // system counts a cut list: the text may have been cut to fit.
        if (n == 0 || n == kValueBufferSize - 1 || n == kValueBufferSize - 2) return false;
        const size_t notFoundLength = Traits::length(kNotFound);
        if (Traits::length(szRead) == notFoundLength &&
            Traits::compare(szRead, kNotFound, notFoundLength) == 0)
            return false;
        return assignText(szValue, szRead);
    }));
}

bool CZYNIni::setProfileInt(const CZYNWCharString& section, const CZYNWCharString& key,
                            LONG lValue) {
    CZYNFunctionTrace trace(OBJECT, TEXT("setProfileInt"), SOURCE, 442);
    return trace.passed(zyn::guardCatchAll({SOURCE, 468, zyn::LastError}, false, [&] {
        const CZYNWCharString text(lValue);
        if (!WritePrivateProfileStringW(section.getText(), key.getText(), text.getText(),
                                        m_szIniFile.getText()))
            throw CZYNWritePrivateProfileStringException(section.getText(), key.getText(),
                                                         static_cast<LONG>(GetLastError()),
                                                         SOURCE, 460);
        return true;
    }));
}

bool CZYNIni::setProfileString(const CZYNWCharString& section, const CZYNWCharString& key,
                               const CZYNWCharString& value) {
    CZYNFunctionTrace trace(OBJECT, TEXT("setProfileString"), SOURCE, 493);
    return trace.passed(zyn::guard({SOURCE, 525, zyn::LastError}, false, [&] {
        // No key: the section is removed; no value: the key is removed.
        const WCHAR* szKey = textOrNull(key);
        if (!WritePrivateProfileStringW(section.getText(), szKey, textOrNull(value),
                                        m_szIniFile.getText()))
            throw CZYNWritePrivateProfileStringException(
                section.getText(), szKey, static_cast<LONG>(GetLastError()), SOURCE, 510);
        return true;
    }));
}
