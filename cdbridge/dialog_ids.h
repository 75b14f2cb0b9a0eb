#pragma once
// Identifiers of the configuration dialog, shared by the resource script and the code.
#define IDD_CDFERRO_CONFIG 101
#define IDC_CONFIGURE 1000
#define IDC_TEST 1001
#define IDC_ABOUT 1002
#define IDC_DRIVER_LIST 1003
