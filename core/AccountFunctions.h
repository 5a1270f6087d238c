#pragma once
// Account questions of the Windows log-on to Jex (which computer, which Windows user) and the
// management of network user accounts. Each function binds its system library for the one call;
// when the library or one of its functions is missing it returns FALSE without calling anything.
// Outputs given as pointers may be null; they are written only on success.
#include "framework/CString.h"
#include "framework/CStringArray.h"

class CLibAdvapi32;
class CLibNetapi32;

// Computer name and LAN group of the local workstation.
BOOL GetWorkstationInfo(CString* pComputerName, CString* pLanGroup);
// The calling thread's user (the process's when the thread does not impersonate): identifier text,
// name and domain. An identifier that cannot be written as text leaves its output unchanged.
BOOL GetCurrentUserAccount(CString* pSidText, CString* pUserName, CString* pDomain);
// The primary domain controller. TRUE whenever the library is usable, also when there is no domain
// controller (the output is then unchanged).
BOOL GetDomainControllerName(CString* pName);
// On the domain controller, or on the local computer when there is none.
BOOL AddNetworkUser(LPCWSTR pszUserName, LPCWSTR pszPassword);
BOOL DeleteNetworkUser(LPCWSTR pszUserName);
// The enabled normal accounts, in the order the system gives them.
BOOL EnumerateUserNames(CStringArray& names);
BOOL LookupAccountFromSidText(LPCWSTR pszSidText, CString* pUserName, CString* pDomain);

// The same on library objects the caller made (tests: a missing or incomplete library).
BOOL GetWorkstationInfo(CLibNetapi32& net, CString* pComputerName, CString* pLanGroup);
BOOL GetCurrentUserAccount(CLibAdvapi32& adv, CString* pSidText, CString* pUserName, CString* pDomain);
BOOL GetDomainControllerName(CLibNetapi32& net, CString* pName);
BOOL AddNetworkUser(CLibNetapi32& net, LPCWSTR pszUserName, LPCWSTR pszPassword);
BOOL DeleteNetworkUser(CLibNetapi32& net, LPCWSTR pszUserName);
BOOL EnumerateUserNames(CLibNetapi32& net, CStringArray& names);
BOOL LookupAccountFromSidText(CLibAdvapi32& adv, LPCWSTR pszSidText, CString* pUserName, CString* pDomain);
