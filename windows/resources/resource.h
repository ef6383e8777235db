#pragma once
// Identifiers shared by the resource script and the code.

#define IDI_APP 1
// The İmza bilgisi window's verdict icons.
#define IDI_VERDICT_VALID 2
#define IDI_VERDICT_INVALID 3
#define IDI_VERDICT_UNVERIFIED 4
#define IDI_VERDICT_ALTERED 5
#define IDS_ABOUT 101
#define IDS_ADMIN_NOTICE 102
