#include "CHTErr.h"

CHTErr::~CHTErr() = default;

BOOL CHTErr::GetLastError(unsigned int& kind, unsigned long& code) const noexcept {
    kind = m_errorKind;
    code = m_errorCode;
    return m_succeeded;
}

BOOL CHTErr::SetLastError(unsigned int kind, unsigned long code) noexcept {
    m_errorKind = kind;
    m_errorCode = static_cast<DWORD>(code);
    m_succeeded = (m_errorKind == 0 && m_errorCode == 0) ? TRUE : FALSE;
    return m_succeeded;
}
