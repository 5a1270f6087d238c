#pragma once
#include "standins/tarvex/CQuotaResponse.h"

// A cell on several codes: a group of responses under one text.
class CQuotaResponseGroup : public CQuotaResponse
{
public:
    using CQuotaResponse::CQuotaResponse;
};
