#pragma once
#include "framework/CArray.h"
#include "framework/CObject.h"
#include "framework/COleDateTime.h"
#include "framework/CString.h"
#include "sessions/CDummyStateManager.h"
#include <cstdint>
#include <memory>

// The common base of the configuration objects Jex keeps for the agent and sends as property-list
// texts: an id (the key of the object map), an owner or kind number, a name, a deleted mark,
// creation and modification times and a small state.
class CJexObject : public CObject, public CDummyStateManager
{
    DECLARE_DYNCREATE(CJexObject)

public:
    CJexObject();
    explicit CJexObject(int32_t nOwner); // both times are the current UTC time (server clock)
    CJexObject(const CJexObject& other);
    // The owner and the flag belong to where the object was built: assignment leaves them.
    CJexObject& operator=(const CJexObject& other);
    ~CJexObject() override = default;

    virtual void Assign(const CJexObject& other);
    virtual void SetProperties(const CString& strText);
    virtual CString GetProperties() const;
    virtual LONG GetExtraValue() const { return 0; }
    virtual void SetExtraValue(LONG /*nValue*/) {}
    virtual LONG GetExtraFlags() const { return 0; }

    void Copy(const CJexObject& other);
    // Same id, deleted mark, owner, second text and name (texts with case); times are not compared.
    BOOL IsEqual(const CJexObject& other) const;

    static BOOL GetClassFlag();
    static void SetClassFlag();
    // Deletes every object of the array, last first, and empties it.
    static void DeleteAll(CObArray& objects);

    int32_t m_nOwner = -1;
    int32_t m_nId = -1;
    bool m_bDeleted = false;
    CString m_strName;
    CString m_strText2;
    COleDateTime m_dtCreated;
    COleDateTime m_dtModified;
    int32_t m_nFlag = 1;                    // 0 for settings; taken over by the copy constructor only
    std::shared_ptr<CObject> m_pAttachment; // shared with copies

protected:
    // Both times of a new object, or null ones for a default-built one.
    static COleDateTime NullDate();
};
