#include "monitor_controls.h"

#include "adapter_state.h"
#include "position_engine.h"

DWORD monitorPictureIndex;

namespace {

// The bitmaps are process-wide, as the classes have no window bytes. Each control that
// needs a set holds one use of it: the set is loaded with the first user and deleted with
// the last, so a second page in the process neither leaks nor pulls the pictures from
// under the first.
HBITMAP monitorPictures[2];
LONG monitorPictureUsers;

HBITMAP arrowImages[4];
HBITMAP arrowMasks[4];
LONG arrowUsers[4];

SIZE BitmapSize(HBITMAP bitmap)
{
    SIZE size = {0, 0};
    BITMAP info;
    if (bitmap && GetObjectA(bitmap, sizeof info, &info) == (int)sizeof info) {
        size.cx = info.bmWidth;
        size.cy = info.bmHeight;
    }
    return size;
}

HBITMAP LoadPicture(int id)
{
    return LoadBitmapA(moduleInstance, MAKEINTRESOURCEA(id));
}

void DeletePicture(HBITMAP &bitmap)
{
    if (bitmap)
        DeleteObject(bitmap);
    bitmap = NULL;
}

// Client rectangle of the page that holds the control.
RECT ParentClient(HWND window)
{
    RECT rc = {0, 0, 0, 0};
    GetClientRect(GetParent(window), &rc);
    return rc;
}

// Copies a bitmap to (0, 0) of the paint context at its own size.
void Blit(HDC target, HDC memory, HBITMAP bitmap, DWORD rop)
{
    if (!bitmap)
        return;
    SIZE size = BitmapSize(bitmap);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(target, 0, 0, size.cx, size.cy, memory, 0, 0, rop);
    SelectObject(memory, old);
}

} // namespace

int ArrowDirection(int controlId)
{
    switch (controlId) {
    case IDC_ARROW_LEFT: return 0;
    case IDC_ARROW_UP: return 1;
    case IDC_ARROW_RIGHT: return 2;
    case IDC_ARROW_DOWN: return 3;
    default: return -1;
    }
}

LRESULT CALLBACK MonitorPictureProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: {
        RECT rc = ParentClient(window);
        if (monitorPictureUsers++ == 0) {
            monitorPictures[0] = LoadPicture(IDB_MONITOR_DESKTOP);
            monitorPictures[1] = LoadPicture(IDB_MONITOR_LOGO);
        }
        SIZE size = BitmapSize(monitorPictures[0]);
        SetWindowPos(window, NULL, (rc.right - rc.left - size.cx) / 2, MONITOR_PICTURE_TOP,
                     size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
        break;
    }
    case WM_DESTROY:
        if (monitorPictureUsers > 0 && --monitorPictureUsers == 0) {
            DeletePicture(monitorPictures[0]);
            DeletePicture(monitorPictures[1]);
        }
        break;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        HDC memory = CreateCompatibleDC(dc);
        if (memory) {
            Blit(dc, memory, monitorPictures[monitorPictureIndex ? 1 : 0], SRCCOPY);
            DeleteDC(memory);
        }
        EndPaint(window, &ps);
        return 0;
    }
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
        return 0;
    case WM_RBUTTONDOWN:
        MovePosition(POSMOVE_RESET);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK ArrowButtonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    int d = ArrowDirection(GetWindowLongA(window, GWL_ID));
    if (d < 0)
        return DefWindowProcA(window, message, wParam, lParam);

    switch (message) {
    case WM_CREATE: {
        RECT rc = ParentClient(window);
        HBITMAP monitor = LoadPicture(IDB_MONITOR_DESKTOP);
        SIZE m = BitmapSize(monitor);
        if (arrowUsers[d]++ == 0) {
            arrowImages[d] = LoadPicture(IDB_ARROW_IMAGE_FIRST + d);
            arrowMasks[d] = LoadPicture(IDB_ARROW_MASK_FIRST + d);
        }
        SIZE b = BitmapSize(arrowImages[d]);
        int width = rc.right - rc.left;
        int left = 0, top = 0;
        switch (d) {
        case 0:
            left = (width - m.cx) / 2 - b.cx + 4;
            top = (m.cy - b.cy) / 2 + MONITOR_PICTURE_TOP;
            break;
        case 1:
            left = (width - b.cx) / 2;
            top = 4 - b.cy + MONITOR_PICTURE_TOP;
            break;
        case 2:
            left = (m.cx - rc.left + rc.right) / 2 - 4;
            top = (m.cy - b.cy) / 2 + MONITOR_PICTURE_TOP;
            break;
        default:
            left = (width - b.cx) / 2;
            top = m.cy - 4 + MONITOR_PICTURE_TOP;
            break;
        }
        SetWindowPos(window, NULL, left, top, b.cx, b.cy, SWP_NOZORDER | SWP_NOACTIVATE);
        DeletePicture(monitor);
        break;
    }
    case WM_DESTROY:
        if (arrowUsers[d] > 0 && --arrowUsers[d] == 0) {
            DeletePicture(arrowImages[d]);
            DeletePicture(arrowMasks[d]);
        }
        break;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        HDC memory = CreateCompatibleDC(dc);
        if (memory) {
            // The mask clears the arrow's shape, the image fills it: the background stays.
            SIZE b = BitmapSize(arrowImages[d]);
            if (arrowMasks[d]) {
                HGDIOBJ old = SelectObject(memory, arrowMasks[d]);
                BitBlt(dc, 0, 0, b.cx, b.cy, memory, 0, 0, SRCAND);
                SelectObject(memory, old);
            }
            Blit(dc, memory, arrowImages[d], SRCPAINT);
            DeleteDC(memory);
        }
        EndPaint(window, &ps);
        return 0;
    }
    case WM_LBUTTONDOWN:
        return 0;
    case WM_RBUTTONDOWN:
        MovePosition(POSMOVE_RESET);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
