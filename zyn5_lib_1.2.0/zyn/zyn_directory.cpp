// zyn_directory.cpp - CZYNDirectory: whether a name is an existing directory,
// and the creation of a directory path with its missing parents.
//
// Implements: construction and destruction, setDirectoryName,
// isValidDirectory, isValidWindowsDirectory and createDirectory.
#include "zyn_directory.h"

#include "zyn_failure.h"
#include "zyn_function_trace.h"
#include "zyn_log_exception.h"

static const WCHAR* const SOURCE = TEXT("zyn_directory.cpp");
static const WCHAR* const OBJECT = TEXT("CZYNDirectory");

namespace {

// The code unit at lIndex of the name's text, checked as the buffer's element
// access checks it, with the buffer's record (an index before the start is out
// of bounds too).
WCHAR unitAt(const CZYNWCharString& szText, LONG lIndex) {
    if (lIndex < 0 || static_cast<ULONG>(lIndex) >= szText.getLength())
        throw zyn::elementCheckFailure();
    return szText.getText()[lIndex];
}

// szText += szMore; false when the text could not be appended (the append
// has written its own record then).
bool appendText(CZYNWCharString& szText, const WCHAR* szMore) {
    const CZYNWCharString more(szMore);
    const ULONG ulExpected = szText.getLength() + more.getLength();
    szText += more;
    return szText.getLength() == ulExpected;
}

// Owns a search handle: closed when the owner goes, on every path out.
class SearchHandle {
public:
    explicit SearchHandle(HANDLE hFind) : m_hFind(hFind) {}
    ~SearchHandle() {
        if (isOpen()) FindClose(m_hFind);
    }
    SearchHandle(const SearchHandle&) = delete;
    SearchHandle& operator=(const SearchHandle&) = delete;
    bool isOpen() const { return m_hFind != INVALID_HANDLE_VALUE; }

private:
    HANDLE m_hFind;
};

}  // namespace

CZYNDirectory::CZYNDirectory(const CZYNWCharString& szDirectoryName) {
    CZYNFunctionTrace trace(OBJECT, TEXT("Constructor"), SOURCE, 49);
    trace.passed(zyn::guard({SOURCE, 62, zyn::NoCode}, false, [&] {
        if (!setDirectoryName(szDirectoryName)) throw CZYNDirectoryInitException(SOURCE, 55);
        return true;
    }));
}

CZYNDirectory::~CZYNDirectory() {
    CZYNFunctionTrace trace(OBJECT, TEXT("Destructor"), SOURCE, 82);
    trace.passed(true);
    m_szDirectoryName.release();
}

bool CZYNDirectory::setDirectoryName(const CZYNWCharString& szDirectoryName) {
    CZYNFunctionTrace trace(OBJECT, TEXT("setDirectoryName"), SOURCE, 349);
    return trace.passed(zyn::guard({SOURCE, 360, zyn::NoCode}, false, [&] {
        m_szDirectoryName = szDirectoryName;
        // A failed copy leaves another name (its record is written already).
        return m_szDirectoryName == szDirectoryName;
    }));
}

bool CZYNDirectory::isValidDirectory() {
    CZYNFunctionTrace trace(OBJECT, TEXT("isValidDirectory"), SOURCE, 381);
    return trace.passed(zyn::guardCatchAll({SOURCE, 392, zyn::LastError}, false,
                                           [&] { return isValidWindowsDirectory(m_szDirectoryName); }));
}

bool CZYNDirectory::isValidWindowsDirectory(const CZYNWCharString& szName) const {
    CZYNFunctionTrace trace(OBJECT, TEXT("isValidWindowsDirectory"), SOURCE, 566);
    return trace.passed(zyn::guard({SOURCE, 624, zyn::LastError}, false, [&] {
        CZYNWCharString szPattern(szName);
        const LONG lLength = static_cast<LONG>(szName.getLength());
        // A root, or a folder written with a trailing separator, is searched
        // through its contents: "C:\" and "C:" as "C:\*", "C:\Data\" as
        // "C:\Data\*". Anything else is searched as itself. A name shorter
        // than two characters has no second-to-last character: the index
        // check refuses it.
        const WCHAR chBeforeLast = unitAt(szName, lLength - 2);
        const WCHAR chLast = unitAt(szName, lLength - 1);
        const WCHAR* szCompletion = nullptr;
        if (chBeforeLast == TEXT(':') && chLast == TEXT('\\')) {
            szCompletion = TEXT("*");
        } else if (chLast == TEXT(':')) {
            szCompletion = TEXT("\\*");
        } else if (chLast == TEXT('\\')) {
            szCompletion = TEXT("*");
        }
        if (szCompletion && !appendText(szPattern, szCompletion)) return false;

        WIN32_FIND_DATAW findData;
        const SearchHandle search(FindFirstFileW(szPattern.getText(), &findData));
        if (!search.isOpen()) return false;
        // The attributes of the name itself: a file found by its own name is
        // no directory.
        const DWORD dwAttributes = GetFileAttributesW(szName.getText());
        return dwAttributes != INVALID_FILE_ATTRIBUTES &&
               (dwAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    }));
}

bool CZYNDirectory::createDirectory() {
    if (isValidDirectory()) return false;
    if (!m_szDirectoryName.isValid()) return false;
    return zyn::guard({SOURCE, __LINE__, zyn::LastError}, false, [&] {
        const CZYNWCharString szSeparator(TEXT("\\"));
        CZYNWCharString szPath(m_szDirectoryName);
        const ULONG ulLength = szPath.getLength();
        if (ulLength == 0 || szPath.getText()[ulLength - 1] != TEXT('\\')) {
            if (!appendText(szPath, szSeparator.getText())) return false;
        }

        // Every prefix up to and including a separator is one level: "C:\",
        // "C:\Out\", "C:\Out\Logs\".
        const ULONG ulLevels = szPath.getOccurrenceCount(szSeparator);
        bool bCreated = false;
        for (ULONG ulLevel = 1; ulLevel <= ulLevels; ++ulLevel) {
            CZYNWCharString szPrefix;
            if (!szPath.extractBeyond(szPrefix, szSeparator, ulLevel, pmFromStart, true))
                return false;
            CZYNDirectory level(szPrefix);
            if (level.isValidDirectory()) continue;
            if (!CreateDirectoryW(szPrefix.getText(), nullptr)) return false;
            bCreated = true;
        }
        return bCreated;
    });
}
