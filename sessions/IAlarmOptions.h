#pragma once

class CAlarmOption;

// The alarm options Jex sends (UPDALO). The Jex command link calls it; nobody in the
// desktop serves it yet.
class IAlarmOptions
{
public:
    static constexpr const char* kRoleName = "IAlarmOptions";
    virtual ~IAlarmOptions() = default;

    virtual void UpdateAlarmOptions(const CAlarmOption& options) = 0;
};
