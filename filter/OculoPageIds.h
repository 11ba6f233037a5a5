// The property page's dialog and its controls: shared by the module's
// resource script, the page and the tests that read the page's window.
#pragma once

#define IDD_OCULO_PAGE 100

#define IDC_OCULO_NAME 1001
#define IDC_OCULO_ADDRESS 1002
#define IDC_OCULO_PICTURE 1003
#define IDC_OCULO_CROP 1004
#define IDC_OCULO_STATUS 1005
#define IDC_OCULO_CHANGE 1006
