#include "sessions/CJexSocketBase.h"

CJexSocketBase::CJexSocketBase() : CAsyncSocketEx(false, false)
{
    m_bDeleteOnClose = false;
}

CJexSocketBase::~CJexSocketBase() = default;
