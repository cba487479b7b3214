// zyn_logging.cpp - CZYNLogging: the flags and masks every record carries.
#include "zyn_logging.h"

CZYNLogging::CZYNLogging(WORD outputMask, BYTE logOnDestruction)
    : m_bLogOnDestruction(logOnDestruction),
      m_usOutputMask(outputMask),
      m_usDetailMask(0),
      m_bLogged(0) {}
