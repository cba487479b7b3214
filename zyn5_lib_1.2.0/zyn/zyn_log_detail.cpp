// zyn_log_detail.cpp - CZYNLogDetail: the content of one diagnostic record.
// Every string is an owned heap copy, wiped before it is freed.
#include "zyn_log_detail.h"

#include "zyn_text.h"

CZYNLogDetail::CZYNLogDetail()
    : m_ulLevel(0),
      m_ulResultType(0),
      m_lResult(0),
      m_ulLine(0),
      m_szMessage(nullptr),
      m_szApplicationName(nullptr),
      m_szOutputFile(nullptr),
      m_szObjectName(nullptr),
      m_szFunctionName(nullptr),
      m_szSourceFile(nullptr) {}

CZYNLogDetail::CZYNLogDetail(const CZYNLogDetail& other) : CZYNLogDetail() { copyFrom(other); }

CZYNLogDetail& CZYNLogDetail::operator=(const CZYNLogDetail& other) {
    if (this != &other) copyFrom(other);
    return *this;
}

CZYNLogDetail::~CZYNLogDetail() { freeAll(); }

bool CZYNLogDetail::setText(WCHAR*& field, const WCHAR* text) {
    zyn::freeText(field);
    if (text == nullptr) return true;
    if (text[0] == 0) return false;
    field = zyn::duplicateText(text);
    return field != nullptr;
}

bool CZYNLogDetail::setMessage(const WCHAR* text) { return setText(m_szMessage, text); }
bool CZYNLogDetail::setApplicationName(const WCHAR* text) { return setText(m_szApplicationName, text); }
bool CZYNLogDetail::setOutputFile(const WCHAR* text) { return setText(m_szOutputFile, text); }
bool CZYNLogDetail::setObjectName(const WCHAR* text) { return setText(m_szObjectName, text); }
bool CZYNLogDetail::setFunctionName(const WCHAR* text) { return setText(m_szFunctionName, text); }
bool CZYNLogDetail::setSourceFile(const WCHAR* text) { return setText(m_szSourceFile, text); }

void CZYNLogDetail::copyFrom(const CZYNLogDetail& other) {
    m_ulLevel = other.m_ulLevel;
    m_ulResultType = other.m_ulResultType;
    m_lResult = other.m_lResult;
    m_ulLine = other.m_ulLine;
    setMessage(other.m_szMessage);
    setApplicationName(other.m_szApplicationName);
    setOutputFile(other.m_szOutputFile);
    setObjectName(other.m_szObjectName);
    setFunctionName(other.m_szFunctionName);
    setSourceFile(other.m_szSourceFile);
}

void CZYNLogDetail::freeAll() {
    zyn::freeText(m_szMessage);
    zyn::freeText(m_szApplicationName);
    zyn::freeText(m_szOutputFile);
    zyn::freeText(m_szObjectName);
    zyn::freeText(m_szFunctionName);
    zyn::freeText(m_szSourceFile);
}
