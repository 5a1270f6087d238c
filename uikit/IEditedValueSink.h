#pragma once
#include "framework/Platform.h"
// Where the list find editors push the value being edited. The desktop's number dialogs implement
// them: the search dialog stores a search field's value, the number-change dialog a row's number.
// Either may throw the framework's invalid-argument exception when it edits no valid field; the
// window procedure catches it and the editor goes on working.
class IEditedValueSink
{
public:
    virtual ~IEditedValueSink() = default;
    virtual void SetEditedValue(LPCWSTR lpszValue) = 0;
};

class IEditedNumberSink
{
public:
    virtual ~IEditedNumberSink() = default;
    virtual void SetEditedNumber(LPCWSTR lpszNumber) = 0;
};
