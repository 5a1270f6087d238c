#pragma once
#include "framework/Platform.h"
#include <uxtheme.h>
// The 47 functions of the theme library that the toolkit may call, each as
// X(result type, name, result without the library, (parameters), (arguments)).
// clang-format off
#define LUMO_UXTHEME_FUNCTIONS(X) \
    X(HRESULT, CloseThemeData, E_FAIL, (HTHEME hTheme), (hTheme)) \
    X(HRESULT, DrawThemeBackground, E_FAIL, (HTHEME hTheme, HDC hdc, int iPartId, int iStateId, const RECT* pRect, const RECT* pClipRect), (hTheme, hdc, iPartId, iStateId, pRect, pClipRect)) \
    X(HRESULT, DrawThemeEdge, E_FAIL, (HTHEME hTheme, HDC hdc, int iPartId, int iStateId, const RECT* pDestRect, UINT uEdge, UINT uFlags, RECT* pContentRect), (hTheme, hdc, iPartId, iStateId, pDestRect, uEdge, uFlags, pContentRect)) \
    X(HRESULT, DrawThemeIcon, E_FAIL, (HTHEME hTheme, HDC hdc, int iPartId, int iStateId, const RECT* pRect, HIMAGELIST himl, int iImageIndex), (hTheme, hdc, iPartId, iStateId, pRect, himl, iImageIndex)) \
    X(HRESULT, DrawThemeParentBackground, E_FAIL, (HWND hwnd, HDC hdc, RECT* prc), (hwnd, hdc, prc)) \
    X(HRESULT, DrawThemeText, E_FAIL, (HTHEME hTheme, HDC hdc, int iPartId, int iStateId, LPCWSTR pszText, int iCharCount, DWORD dwTextFlags, DWORD dwTextFlags2, const RECT* pRect), (hTheme, hdc, iPartId, iStateId, pszText, iCharCount, dwTextFlags, dwTextFlags2, pRect)) \
    X(HRESULT, EnableThemeDialogTexture, E_FAIL, (HWND hwnd, DWORD dwFlags), (hwnd, dwFlags)) \
    X(HRESULT, EnableTheming, E_FAIL, (BOOL fEnable), (fEnable)) \
    X(HRESULT, GetCurrentThemeName, E_FAIL, (LPWSTR pszThemeFileName, int cchMaxNameChars, LPWSTR pszColorBuff, int cchMaxColorChars, LPWSTR pszSizeBuff, int cchMaxSizeChars), (pszThemeFileName, cchMaxNameChars, pszColorBuff, cchMaxColorChars, pszSizeBuff, cchMaxSizeChars)) \
    X(HRESULT, GetThemeBackgroundContentRect, E_FAIL, (HTHEME hTheme, HDC hdc, int iPartId, int iStateId, const RECT* pBoundingRect, RECT* pContentRect), (hTheme, hdc, iPartId, iStateId, pBoundingRect, pContentRect)) \
    X(HRESULT, GetThemeBackgroundExtent, E_FAIL, (HTHEME hTheme, HDC hdc, int iPartId, int iStateId, const RECT* pContentRect, RECT* pExtentRect), (hTheme, hdc, iPartId, iStateId, pContentRect, pExtentRect)) \
    X(HRESULT, GetThemeBackgroundRegion, E_FAIL, (HTHEME hTheme, HDC hdc, int iPartId, int iStateId, const RECT* pRect, HRGN* pRegion), (hTheme, hdc, iPartId, iStateId, pRect, pRegion)) \
    X(HRESULT, GetThemeBool, E_FAIL, (HTHEME hTheme, int iPartId, int iStateId, int iPropId, BOOL* pfVal), (hTheme, iPartId, iStateId, iPropId, pfVal)) \
    X(HRESULT, GetThemeColor, E_FAIL, (HTHEME hTheme, int iPartId, int iStateId, int iPropId, COLORREF* pColor), (hTheme, iPartId, iStateId, iPropId, pColor)) \
    X(HRESULT, GetThemeDocumentationProperty, E_FAIL, (LPCWSTR pszThemeName, LPCWSTR pszPropertyName, LPWSTR pszValueBuff, int cchMaxValChars), (pszThemeName, pszPropertyName, pszValueBuff, cchMaxValChars)) \
    X(HRESULT, GetThemeEnumValue, E_FAIL, (HTHEME hTheme, int iPartId, int iStateId, int iPropId, int* piVal), (hTheme, iPartId, iStateId, iPropId, piVal)) \
    X(HRESULT, GetThemeFilename, E_FAIL, (HTHEME hTheme, int iPartId, int iStateId, int iPropId, LPWSTR pszThemeFileName, int cchMaxBuffChars), (hTheme, iPartId, iStateId, iPropId, pszThemeFileName, cchMaxBuffChars)) \
    X(HRESULT, GetThemeFont, E_FAIL, (HTHEME hTheme, HDC hdc, int iPartId, int iStateId, int iPropId, LOGFONTW* pFont), (hTheme, hdc, iPartId, iStateId, iPropId, pFont)) \
    X(HRESULT, GetThemeInt, E_FAIL, (HTHEME hTheme, int iPartId, int iStateId, int iPropId, int* piVal), (hTheme, iPartId, iStateId, iPropId, piVal)) \
    X(HRESULT, GetThemeIntList, E_FAIL, (HTHEME hTheme, int iPartId, int iStateId, int iPropId, INTLIST* pIntList), (hTheme, iPartId, iStateId, iPropId, pIntList)) \
    X(HRESULT, GetThemeMargins, E_FAIL, (HTHEME hTheme, HDC hdc, int iPartId, int iStateId, int iPropId, RECT* prc, MARGINS* pMargins), (hTheme, hdc, iPartId, iStateId, iPropId, prc, pMargins)) \
    X(HRESULT, GetThemeMetric, E_FAIL, (HTHEME hTheme, HDC hdc, int iPartId, int iStateId, int iPropId, int* piVal), (hTheme, hdc, iPartId, iStateId, iPropId, piVal)) \
    X(HRESULT, GetThemePartSize, E_FAIL, (HTHEME hTheme, HDC hdc, int iPartId, int iStateId, RECT* prc, THEMESIZE eSize, SIZE* psz), (hTheme, hdc, iPartId, iStateId, prc, eSize, psz)) \
    X(HRESULT, GetThemePosition, E_FAIL, (HTHEME hTheme, int iPartId, int iStateId, int iPropId, POINT* pPoint), (hTheme, iPartId, iStateId, iPropId, pPoint)) \
    X(HRESULT, GetThemePropertyOrigin, E_FAIL, (HTHEME hTheme, int iPartId, int iStateId, int iPropId, PROPERTYORIGIN* pOrigin), (hTheme, iPartId, iStateId, iPropId, pOrigin)) \
    X(HRESULT, GetThemeRect, E_FAIL, (HTHEME hTheme, int iPartId, int iStateId, int iPropId, RECT* pRect), (hTheme, iPartId, iStateId, iPropId, pRect)) \
    X(HRESULT, GetThemeString, E_FAIL, (HTHEME hTheme, int iPartId, int iStateId, int iPropId, LPWSTR pszBuff, int cchMaxBuffChars), (hTheme, iPartId, iStateId, iPropId, pszBuff, cchMaxBuffChars)) \
    X(HRESULT, GetThemeSysFont, E_FAIL, (HTHEME hTheme, int iFontId, LOGFONTW* plf), (hTheme, iFontId, plf)) \
    X(HRESULT, GetThemeSysInt, E_FAIL, (HTHEME hTheme, int iIntId, int* piValue), (hTheme, iIntId, piValue)) \
    X(HRESULT, GetThemeSysString, E_FAIL, (HTHEME hTheme, int iStringId, LPWSTR pszStringBuff, int cchMaxStringChars), (hTheme, iStringId, pszStringBuff, cchMaxStringChars)) \
    X(HRESULT, GetThemeTextExtent, E_FAIL, (HTHEME hTheme, HDC hdc, int iPartId, int iStateId, LPCWSTR pszText, int iCharCount, DWORD dwTextFlags, const RECT* pBoundingRect, RECT* pExtentRect), (hTheme, hdc, iPartId, iStateId, pszText, iCharCount, dwTextFlags, pBoundingRect, pExtentRect)) \
    X(HRESULT, GetThemeTextMetrics, E_FAIL, (HTHEME hTheme, HDC hdc, int iPartId, int iStateId, TEXTMETRICW* ptm), (hTheme, hdc, iPartId, iStateId, ptm)) \
    X(HRESULT, HitTestThemeBackground, E_FAIL, (HTHEME hTheme, HDC hdc, int iPartId, int iStateId, DWORD dwOptions, const RECT* pRect, HRGN hrgn, POINT ptTest, WORD* pwHitTestCode), (hTheme, hdc, iPartId, iStateId, dwOptions, pRect, hrgn, ptTest, pwHitTestCode)) \
    X(HRESULT, SetWindowTheme, E_FAIL, (HWND hwnd, LPCWSTR pszSubAppName, LPCWSTR pszSubIdList), (hwnd, pszSubAppName, pszSubIdList)) \
    X(DWORD, GetThemeAppProperties, 0, (), ()) \
    X(BOOL, GetThemeSysBool, FALSE, (HTHEME hTheme, int iBoolId), (hTheme, iBoolId)) \
    X(HBRUSH, GetThemeSysColorBrush, nullptr, (HTHEME hTheme, int iColorId), (hTheme, iColorId)) \
    X(int, GetThemeSysSize, 0, (HTHEME hTheme, int iSizeId), (hTheme, iSizeId)) \
    X(HTHEME, GetWindowTheme, nullptr, (HWND hwnd), (hwnd)) \
    X(BOOL, IsAppThemed, FALSE, (), ()) \
    X(BOOL, IsThemeActive, FALSE, (), ()) \
    X(BOOL, IsThemeBackgroundPartiallyTransparent, FALSE, (HTHEME hTheme, int iPartId, int iStateId), (hTheme, iPartId, iStateId)) \
    X(BOOL, IsThemeDialogTextureEnabled, FALSE, (HWND hwnd), (hwnd)) \
    X(BOOL, IsThemePartDefined, FALSE, (HTHEME hTheme, int iPartId, int iStateId), (hTheme, iPartId, iStateId)) \
    X(HTHEME, OpenThemeData, nullptr, (HWND hwnd, LPCWSTR pszClassList), (hwnd, pszClassList)) \
    X(COLORREF, GetThemeSysColor, 0xFFFFFF, (HTHEME hTheme, int iColorId), (hTheme, iColorId)) \
    X(void, SetThemeAppProperties, void(), (DWORD dwFlags), (dwFlags))
// clang-format on
