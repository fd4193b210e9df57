#include "bus/SubscriptionMask.h"

#include "protocol/MessageCode.h"
#include "res/resource.h"

uint32_t SubscriptionBitOf(int checkBoxId)
{
    switch (checkBoxId) {
    case IDC_DEP: return kTypeDepth;
    case IDC_ADC: return kTypeAD;
    case IDC_WTC: return kTypeWTC;
    case IDC_CNT: return kTypeCounter;
    case IDC_TMR: return kTypeTimer;
    case IDC_STR: return kTypeString;
    case IDC_ARR: return kTypeArray;
    case IDC_CTL: return kTypeControl;
    case IDC_ABS: return kTypeABS;
    default:      return 0;
    }
}

uint32_t AllSubscriptionBits()
{
    const int boxes[] = { IDC_DEP, IDC_ADC, IDC_WTC, IDC_CNT, IDC_TMR, IDC_STR, IDC_ARR, IDC_CTL, IDC_ABS };
    uint32_t mask = 0;
    for (int box : boxes)
        mask |= SubscriptionBitOf(box);
    return mask;
}
