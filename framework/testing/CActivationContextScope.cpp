#include "framework/testing/CActivationContextScope.h"

CActivationContextScope::CActivationContextScope(const std::wstring& manifestPath)
{
    std::wstring folder = manifestPath.substr(0, manifestPath.find_last_of(L"\\/") + 1);
    ACTCTXW context{};
    context.cbSize = sizeof(context);
    context.dwFlags = ACTCTX_FLAG_ASSEMBLY_DIRECTORY_VALID;
    context.lpSource = manifestPath.c_str();
    context.lpAssemblyDirectory = folder.c_str();
    m_context.Attach(::CreateActCtxW(&context));
    if (!m_context.IsValid() || !::ActivateActCtx(m_context, &m_cookie))
    {
        m_error = ::GetLastError();
        m_cookie = 0;
    }
}

CActivationContextScope::~CActivationContextScope()
{
    if (m_cookie) ::DeactivateActCtx(0, m_cookie);
}

std::wstring PathBesideProgram(const wchar_t* fileName)
{
    wchar_t path[MAX_PATH] = L"";
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring result(path);
    return result.substr(0, result.find_last_of(L"\\/") + 1) + fileName;
}
