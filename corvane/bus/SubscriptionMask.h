// Check box -> message-type bit of the subscription mask. Pure logic.
#pragma once
#include <stdint.h>

// The type bit a subscription check box (control id) contributes; 0 for any
// other id.
uint32_t SubscriptionBitOf(int checkBoxId);

// Every bit the subscription check boxes know, ORed.
uint32_t AllSubscriptionBits();
