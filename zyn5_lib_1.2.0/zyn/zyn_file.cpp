// zyn_file.cpp - CZYNFile: a file name, whether the file system has an entry
// of that name, and the handle and bytes the object owns.
//
// Implements: construction and destruction, setFilename, isValidFile, close
// and isValidWindowsFile.
#include "zyn_file.h"

#include "zyn_failure.h"
#include "zyn_function_trace.h"
#include "zyn_log_exception.h"

static const WCHAR* const SOURCE = TEXT("zyn_file.cpp");
static const WCHAR* const OBJECT = TEXT("CZYNFile");

CZYNFile::CZYNFile(const CZYNWCharString& szFileName) : m_hFileHandle(INVALID_HANDLE_VALUE) {
    CZYNFunctionTrace trace(OBJECT, TEXT("Constructor"), SOURCE, 67);
    trace.passed(zyn::guard({SOURCE, 84, zyn::NoCode}, false, [&] {
        m_hFileHandle = INVALID_HANDLE_VALUE;
        if (!setFilename(szFileName)) throw CZYNFileInitException(SOURCE, 77);
        return true;
    }));
}

CZYNFile::~CZYNFile() {
    CZYNFunctionTrace trace(OBJECT, TEXT("Destructor"), SOURCE, 104);
    close();
    m_fileData.release();
    m_szFileName.release();
    trace.passed(true);
}

bool CZYNFile::setFilename(const CZYNWCharString& szFileName) {
    CZYNFunctionTrace trace(OBJECT, TEXT("setFilename"), SOURCE, 183);
    return trace.passed(zyn::guard({SOURCE, 194, zyn::NoCode}, false, [&] {
        m_szFileName = szFileName;
        // A failed copy leaves another name (its record is written already).
        if (!(m_szFileName == szFileName)) return false;
        return m_fileData.release();
    }));
}

bool CZYNFile::isValidFile() {
    CZYNFunctionTrace trace(OBJECT, TEXT("isValidFile"), SOURCE, 215);
    return trace.compared(zyn::guard({SOURCE, 233, zyn::LastError}, false,
                                     [&] { return isValidWindowsFile(m_szFileName); }));
}

bool CZYNFile::close() {
    CZYNFunctionTrace trace(OBJECT, TEXT("close"), SOURCE, 1017);
    return trace.passed(zyn::guard({SOURCE, __LINE__, zyn::LastError}, false, [&] {
        if (m_hFileHandle == INVALID_HANDLE_VALUE) return true;
        const HANDLE hFile = m_hFileHandle;
        // Forgotten first: a handle that fails to close is not closed twice.
        m_hFileHandle = INVALID_HANDLE_VALUE;
        return CloseHandle(hFile) != FALSE;
    }));
}

bool CZYNFile::isValidWindowsFile(const CZYNWCharString& szName) const {
    CZYNFunctionTrace trace(OBJECT, TEXT("isValidWindowsFile"), SOURCE, 1237);
    return trace.compared(zyn::guard({SOURCE, __LINE__, zyn::LastError}, false, [&] {
        WIN32_FIND_DATAW findData;
        const HANDLE hFind = FindFirstFileW(szName.getText(), &findData);
        if (hFind == INVALID_HANDLE_VALUE) return false;
        FindClose(hFind);
        return true;
    }));
}
