// zyn_file.h - CZYNFile: a file name, the question whether the file system
// has an entry of that name, and a file handle and byte buffer the object
// owns.
//
// Every operation is traced (object "CZYNFile"), catches its own failures,
// writes them to the log and answers false. Only the constructor's set-up of
// its members lets an exception out (CZYNBufferInitException); a name that
// cannot be taken is written to the log and the object stays usable.
#ifndef ZYN_FILE_H
#define ZYN_FILE_H

#include <windows.h>

#include "zyn_buffer.h"
#include "zyn_wchar_string.h"

class CZYNFile {
public:
    // An object for the name (absolute or relative, wildcards allowed) with
    // no file open.
    explicit CZYNFile(const CZYNWCharString& szFileName);
    // Closes the file, if one is open, and wipes the name and the data.
    ~CZYNFile();
    CZYNFile(const CZYNFile&) = delete;
    CZYNFile& operator=(const CZYNFile&) = delete;

    // Takes the name and drops the data held; false when either fails.
    bool setFilename(const CZYNWCharString& szFileName);
    // isValidWindowsFile of the object's name.
    bool isValidFile();
    // Closes the open file, if any: true when there was none or it closed.
    // No file is open afterwards either way.
    bool close();
    // True when a file system search for the name finds an entry: a file, a
    // folder, or anything a wildcard pattern matches.
    bool isValidWindowsFile(const CZYNWCharString& szName) const;

    const CZYNWCharString& getFilename() const { return m_szFileName; }
    HANDLE getFileHandle() const { return m_hFileHandle; }

private:
    HANDLE m_hFileHandle;           // INVALID_HANDLE_VALUE while no file is open
    CZYNWCharString m_szFileName;   // the name as passed in
    CZYNBuffer<BYTE> m_fileData;    // the object's bytes; emptied by setFilename
};

#endif
