#include "system_page.h"

#include "host_log.h"
#include "host_resource.h"

namespace {

INT_PTR CALLBACK SystemPageProc(HWND page, UINT message, WPARAM, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        LogLine("system WM_INITDIALOG");
        return TRUE;
    }
    if (message != WM_NOTIFY)
        return FALSE;
    const NMHDR *header = reinterpret_cast<const NMHDR *>(lParam);
    switch (header->code) {
    case PSN_SETACTIVE:
        LogLine("system PSN_SETACTIVE");
        break;
    case PSN_KILLACTIVE:
        LogLine("system PSN_KILLACTIVE");
        break;
    case PSN_APPLY:
        LogLine("system PSN_APPLY");
        break;
    case PSN_RESET:
        LogLine("system PSN_RESET");
        break;
    default:
        return FALSE;
    }
    SetWindowLongPtrA(page, DWLP_MSGRESULT, PSNRET_NOERROR);
    return TRUE;
}

} // namespace

HPROPSHEETPAGE CreateSystemPage(const char *title)
{
    PROPSHEETPAGEA page = {};
    page.dwSize = PROPSHEETPAGEA_V1_SIZE;
    page.dwFlags = PSP_USETITLE;
    page.hInstance = GetModuleHandleA(nullptr);
    page.pszTemplate = MAKEINTRESOURCEA(IDD_SYSTEM_PAGE);
    page.pszTitle = title;
    page.pfnDlgProc = SystemPageProc;
    return CreatePropertySheetPageA(&page);
}
