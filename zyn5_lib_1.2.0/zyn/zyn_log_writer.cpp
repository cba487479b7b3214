// zyn_log_writer.cpp - CZYNLogWriter (writes nothing) and CZYNTextLogWriter,
// which appends one line per record to a UTF-16LE text file.
//
// The file is opened, appended and closed for every record, so several
// threads and processes can share it. A writer holds the file for writing
// alone (others may still read it) for the moment it appends its line, and
// the others wait their turn: so concurrent writers neither lose nor tear
// lines, whatever the file system does with simultaneous appends. Only the
// writer that creates the file writes the byte-order mark, before anyone
// else can open it.
#include "zyn_log_writer.h"

#include "zyn_log_settings.h"
#include "zyn_text.h"

namespace {

const WCHAR* const LEVEL_NAMES[] = {
    TEXT("CRITICAL"),    TEXT("EXCEPTION_BAD"), TEXT("EXCEPTION_OK"), TEXT("ERROR"),
    TEXT("WARNING"),     TEXT("DEBUG"),         TEXT("INFORMATION"),  TEXT("NOTIFICATION"),
    TEXT("ENTRY"),       TEXT("EXIT"),          TEXT("SUCCESS"),      TEXT("FAILURE")};
const WCHAR* const UNSPECIFIED = TEXT("UNSPECIFIED");

const WCHAR* levelName(DWORD level) {
    for (DWORD bit = 0; bit < 12; ++bit)
        if (level == (1u << bit)) return LEVEL_NAMES[bit];
    return UNSPECIFIED;
}

// "TextOutput" is read into a 256-byte buffer.
const DWORD OUTPUT_PATH_BYTES = 256;
const DWORD MAX_PATH_UNITS = 511;
// How often a writer retries while another writer holds the file: about
// two seconds in all, far longer than any single append takes.
const int OPEN_ATTEMPTS = 2000;

// The line under construction: pieces are appended while they fit the line's
// units, less the two that the final CR LF always keeps.
class LineBuilder {
public:
    explicit LineBuilder(WCHAR* line) : m_line(line) {}
    void add(const WCHAR* text) { zyn::appendText(m_line, LIMIT, &m_pos, text); }
    void addHex(DWORD value) {
        WCHAR text[11] = {u'0', u'x'};
        for (int i = 0; i < 8; ++i) {
            DWORD digit = (value >> (28 - 4 * i)) & 0xF;
            text[2 + i] = static_cast<WCHAR>(digit < 10 ? u'0' + digit : u'a' + digit - 10);
        }
        add(text);
    }
    void addDecimal(DWORD value) {
        WCHAR text[11];
        int n = 10;
        text[n] = 0;
        do {
            text[--n] = static_cast<WCHAR>(u'0' + value % 10);
            value /= 10;
        } while (value);
        add(text + n);
    }
    DWORD finish() {
        // Never end a cut line between the two halves of a surrogate pair.
        if (m_pos == LIMIT && m_line[m_pos - 1] >= 0xD800 && m_line[m_pos - 1] <= 0xDBFF) --m_pos;
        m_line[m_pos++] = u'\r';
        m_line[m_pos++] = u'\n';
        return m_pos;
    }

private:
    static const DWORD LIMIT = CZYNTextLogWriter::LINE_UNITS - 2;
    WCHAR* m_line;
    DWORD m_pos = 0;
};

void addHead(LineBuilder& b, const CZYNLogDetail& d, const WCHAR* timeText) {
    b.add(TEXT("<"));
    b.add(timeText);
    b.add(TEXT(">: <"));
    b.add(levelName(d.m_ulLevel));
    b.add(TEXT("> <"));
    b.add(d.getApplicationName());
    b.add(TEXT("> "));
}

void addMessage(LineBuilder& b, const CZYNLogDetail& d) {
    if (zyn::isEmptyText(d.getMessage())) return;
    b.add(TEXT("\""));
    b.add(d.getMessage());
    b.add(TEXT("\" "));
}

// The result piece; the short line has its own texts for types 1 and 2.
void addResult(LineBuilder& b, const CZYNLogDetail& d, bool shortLine) {
    bool exit = d.m_ulLevel == ZYN_EXIT;
    switch (d.m_ulResultType) {
    case ZYN_RESULT_ERROR_CODE:
        if (d.m_lResult != 0 && d.m_lResult != ZYN_NO_CODE) {
            b.add(TEXT("<Error: "));
            b.addHex(static_cast<DWORD>(d.m_lResult));
            b.add(TEXT("> "));
        }
        break;
    case ZYN_RESULT_PASSED:
        if (exit)
            b.add(d.m_lResult ? (shortLine ? TEXT("<Passed>") : TEXT("<Passed> "))
                              : (shortLine ? TEXT("<Failed>") : TEXT("<Failed> ")));
        break;
    case ZYN_RESULT_LOGICAL:
        if (exit)
            b.add(d.m_lResult ? (shortLine ? TEXT("<Passed>") : TEXT("<Passed> "))
                              : (shortLine ? TEXT("<Failed Comparison>")
                                           : TEXT("<Failed Logical Result> ")));
        break;
    case ZYN_RESULT_RETURN_CODE:
        b.add(TEXT("<Return Code: "));
        b.addHex(static_cast<DWORD>(d.m_lResult));
        b.add(TEXT("> "));
        break;
    default: break;
    }
}

// Opens the log for appending, as its only writer; readers are let in. A
// missing file is created and gets the byte-order mark before any other
// writer can open it.
HANDLE openForAppend(const WCHAR* path) {
    const DWORD shared = FILE_SHARE_READ;
    for (int attempt = 0; attempt < OPEN_ATTEMPTS; ++attempt) {
        HANDLE file = CreateFileW(path, FILE_APPEND_DATA, shared, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) return file;
        DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) {
            file = CreateFileW(path, FILE_APPEND_DATA, shared, nullptr, CREATE_NEW, 0, nullptr);
            if (file != INVALID_HANDLE_VALUE) {
                static const BYTE BOM[2] = {0xFF, 0xFE};
                DWORD written = 0;
                WriteFile(file, BOM, sizeof BOM, &written, nullptr);
                return file;
            }
            error = GetLastError();
        }
        if (error != ERROR_FILE_EXISTS && error != ERROR_SHARING_VIOLATION) return INVALID_HANDLE_VALUE;
        Sleep(attempt < 10 ? 0 : 1);  // another writer holds the file
    }
    return INVALID_HANDLE_VALUE;
}

}  // namespace

bool CZYNLogWriter::write(CZYNLogDetail&) { return false; }

void CZYNLogWriter::getLevelName(DWORD level, WCHAR* buffer, DWORD maxChars) {
    zyn::copyText(buffer, maxChars, levelName(level));
}

void CZYNTextLogWriter::formatTime(const SYSTEMTIME& t, WCHAR* out) {
    static const char* const DAYS = "SunMonTueWedThuFriSat";
    static const char* const MONTHS = "JanFebMarAprMayJunJulAugSepOctNovDec";
    const char* day = DAYS + 3 * (t.wDayOfWeek % 7);
    const char* month = MONTHS + 3 * ((t.wMonth >= 1 && t.wMonth <= 12 ? t.wMonth : 1) - 1);
    auto two = [](WCHAR* p, WORD v) {
        p[0] = static_cast<WCHAR>(u'0' + (v / 10) % 10);
        p[1] = static_cast<WCHAR>(u'0' + v % 10);
    };
    for (int i = 0; i < 3; ++i) {
        out[i] = static_cast<WCHAR>(day[i]);
        out[4 + i] = static_cast<WCHAR>(month[i]);
    }
    out[3] = out[7] = out[10] = out[19] = u' ';
    two(out + 8, t.wDay);
    two(out + 11, t.wHour);
    out[13] = u':';
    two(out + 14, t.wMinute);
    out[16] = u':';
    two(out + 17, t.wSecond);
    two(out + 20, static_cast<WORD>(t.wYear / 100));
    two(out + 22, static_cast<WORD>(t.wYear % 100));
    out[24] = 0;
}

DWORD CZYNTextLogWriter::buildLine(const CZYNLogDetail& d, const WCHAR* timeText, WCHAR* line) {
    LineBuilder b(line);
    addHead(b, d, timeText);

    // Object and function.
    const WCHAR* object = d.getObjectName();
    const WCHAR* function = d.getFunctionName();
    if (!zyn::isEmptyText(object) || !zyn::isEmptyText(function)) {
        b.add(TEXT("<"));
        b.add(object);
        if (!zyn::isEmptyText(function)) {
            b.add(TEXT("::"));
            b.add(function);
        }
        b.add(TEXT("> "));
    }

    addMessage(b, d);
    addResult(b, d, false);

    // Source file (its name after the last backslash) and line.
    const WCHAR* source = d.getSourceFile();
    bool hasSource = !zyn::isEmptyText(source);
    if (hasSource) {
        const WCHAR* name = source;
        for (const WCHAR* p = source; *p; ++p)
            if (*p == u'\\') name = p + 1;
        b.add(TEXT("<"));
        b.add(name);
        b.add(d.m_ulLine ? TEXT(", ") : TEXT(">"));
    }
    if (d.m_ulLine) {
        if (!hasSource) b.add(TEXT("<"));
        b.addDecimal(d.m_ulLine);
        b.add(TEXT("> "));
    }
    return b.finish();
}

DWORD CZYNTextLogWriter::buildShortLine(const CZYNLogDetail& d, const WCHAR* timeText, WCHAR* line) {
    LineBuilder b(line);
    addHead(b, d, timeText);
    addMessage(b, d);
    addResult(b, d, true);
    return b.finish();
}

bool CZYNTextLogWriter::write(CZYNLogDetail& detail) { return appendLine(detail, true, false); }

bool CZYNTextLogWriter::writeShort(CZYNLogDetail& detail) { return appendLine(detail, false, true); }

bool CZYNTextLogWriter::appendLine(CZYNLogDetail& detail, bool checkFolder, bool shortLine) {
    // 1. The output file, from the settings when the record has none.
    if (zyn::isEmptyText(detail.getOutputFile())) {
        WCHAR path[OUTPUT_PATH_BYTES / sizeof(WCHAR)];
        CZYNLogSettings settings;
        if (!settings.getOutputPath(ZYN_OUTPUT_TEXT, path, sizeof path)) return false;
        if (!detail.setOutputFile(path)) return false;
    }
    const WCHAR* path = detail.getOutputFile();

    // 2. A drive letter and colon, and the folder up to the last backslash.
    DWORD length = zyn::textLength(path);
    if (length > MAX_PATH_UNITS || length < 2 || path[1] != u':') return false;
    WCHAR letter = path[0];
    if (!((letter >= u'A' && letter <= u'Z') || (letter >= u'a' && letter <= u'z'))) return false;
    WCHAR folder[MAX_PATH_UNITS + 1];
    DWORD folderLength = 0;
    for (DWORD i = 0; i < length; ++i)
        if (path[i] == u'\\') folderLength = i + 1;
    if (folderLength == 0) folderLength = length < 3 ? length : 3;
    if (checkFolder && folderLength == 0) return false;
    zyn::copyText(folder, folderLength + 1, path);

    // 3. to 5. Open (or create with its mark). Only the last level of the
    // folder is created, and only when the file cannot be opened because the
    // folder is missing: where the folder exists the attempt changes nothing,
    // so it is not made for every line. The handle may only append
    // (FILE_APPEND_DATA without FILE_WRITE_DATA), so every write lands at the
    // end of the file: there is no file pointer to move there first.
    HANDLE file = openForAppend(path);
    if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_PATH_NOT_FOUND) {
        CreateDirectoryW(folder, nullptr);
        file = openForAppend(path);
    }
    if (file == INVALID_HANDLE_VALUE) return false;

    // 6. and 7. Build the line and write it in one piece.
    SYSTEMTIME now;
    GetLocalTime(&now);
    WCHAR timeText[25];
    formatTime(now, timeText);
    WCHAR line[LINE_UNITS];
    DWORD units = shortLine ? buildShortLine(detail, timeText, line)
                            : buildLine(detail, timeText, line);
    DWORD written = 0;
    WriteFile(file, line, units * sizeof(WCHAR), &written, nullptr);
    CloseHandle(file);
    return true;
}
