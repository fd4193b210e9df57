// The log view: control 1048 of the main dialog, attached by its first data
// exchange.
#pragma once
#include "framework/Framework.h"

class COwnerDrawStatic : public CStatic {
public:
    COwnerDrawStatic();
    ~COwnerDrawStatic() override;

    DECLARE_MESSAGE_MAP()
};
