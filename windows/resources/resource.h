#pragma once
// Identifiers shared by the resource script and the code.

#define IDI_APP 1
#define IDS_ABOUT 101
#define IDS_ADMIN_NOTICE 102
