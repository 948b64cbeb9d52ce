// The value dialogs' procedures and the code edit's subclass.
#include "platform/windows/ValueDialogs.h"

#include <cstdio>
#include <cstring>

#include "core/ApiTable.h"
#include "core/Log.h"
#include "foundation/TextUtils.h"
#include "platform/windows/GameWindow.h"
#include "platform/windows/Keyboard.h"
#include "platform/windows/ProcessGlobals.h"
#include "platform/windows/ResourceIds.h"

namespace {

char g_valueText[ZQI_DIALOG_VALUE_SIZE];
char g_titleText[ZQI_DIALOG_TITLE_SIZE] = "Edit value";
// The list as it was when the select dialog opened: the chosen row's text comes from here.
char g_selectList[ZQI_DIALOG_VALUE_SIZE];
WNDPROC g_codeEditProcedure = nullptr;

// Keeps Tab, Enter, the arrows and every character inside the edit control.
const LRESULT kWantAllKeys = DLGC_WANTARROWS | DLGC_WANTTAB | DLGC_WANTALLKEYS | DLGC_WANTCHARS;  // 135
const int kCodeTabStop = 16;  // dialog units

void ShowValueAndTitle(HWND dialog, int control) {
    SetDlgItemTextA(dialog, control, g_valueText);
    SetWindowTextA(dialog, g_titleText);
    SetFocus(GetDlgItem(dialog, control));
}

void ReadValueBack(HWND dialog) {
    g_valueText[0] = '\0';
    if (GetDlgItemTextA(dialog, ZQ_CONTROL_VALUE_EDIT, g_valueText, ZQI_DIALOG_VALUE_SIZE) == 0) {
        g_valueText[0] = '\0';
    }
}

void FillSelectList(HWND dialog) {
    HWND list = GetDlgItem(dialog, ZQ_CONTROL_VALUE_LIST);
    snprintf(g_selectList, sizeof(g_selectList), "%s", g_valueText);
    char field[ZQI_DIALOG_VALUE_SIZE];
    int32_t index = 0;
    for (const char* start = g_selectList; start != nullptr; ++index) {
        size_t length = strcspn(start, ",");
        snprintf(field, sizeof(field), "%.*s", static_cast<int>(length), start);
        LRESULT row = SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(field));
        if (row >= 0) {
            SendMessageA(list, LB_SETITEMDATA, static_cast<WPARAM>(row), static_cast<LPARAM>(index));
        }
        start = start[length] == ',' ? start + length + 1 : nullptr;
    }
    SetWindowTextA(dialog, g_titleText);
    SetFocus(list);
}

void TakeSelection(HWND dialog) {
    HWND list = GetDlgItem(dialog, ZQ_CONTROL_VALUE_LIST);
    LRESULT row = SendMessageA(list, LB_GETCURSEL, 0, 0);
    if (row == LB_ERR) {
        g_valueText[0] = '\0';
        return;
    }
    LRESULT index = SendMessageA(list, LB_GETITEMDATA, static_cast<WPARAM>(row), 0);
    ZQI_CutField(g_selectList, ',', static_cast<int32_t>(index), g_valueText, sizeof(g_valueText));
}

LRESULT CALLBACK CodeEditProcedure(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_GETDLGCODE) {
        return kWantAllKeys;
    }
    return CallWindowProcA(g_codeEditProcedure, edit, message, wParam, lParam);
}

void PrepareCodeEdit(HWND dialog) {
    HWND edit = GetDlgItem(dialog, ZQ_CONTROL_VALUE_EDIT);
    g_codeEditProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CodeEditProcedure)));
    SendMessageA(edit, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(SYSTEM_FIXED_FONT)), TRUE);
    int tabStop = kCodeTabStop;
    SendMessageA(edit, EM_SETTABSTOPS, 1, reinterpret_cast<LPARAM>(&tabStop));
}

void ShowEditValue(HWND dialog) {
    ShowValueAndTitle(dialog, ZQ_CONTROL_VALUE_EDIT);
}

// The part every value dialog shares: set up at the start, take the value on OK, close on OK and
// Cancel.
INT_PTR RunValueDialogMessage(HWND dialog, UINT message, WPARAM wParam, void (*start)(HWND),
                              void (*takeValue)(HWND)) {
    if (message == WM_INITDIALOG) {
        start(dialog);
        return FALSE;  // the focus is set
    }
    if (message != WM_COMMAND || (LOWORD(wParam) != IDOK && LOWORD(wParam) != IDCANCEL)) {
        return FALSE;
    }
    if (LOWORD(wParam) == IDOK) {
        takeValue(dialog);
    }
    EndDialog(dialog, LOWORD(wParam));
    return TRUE;
}

bool IsTabOrEnter(WPARAM key) {
    return key == VK_TAB || key == VK_RETURN || key == '\t' || key == '\r';
}

}  // namespace

char* ZQI_GetDialogValueText() {
    return g_valueText;
}

void ZQI_SetDialogTitle(const char* title) {
    snprintf(g_titleText, sizeof(g_titleText), "%s", title != nullptr ? title : "");
}

bool ShowValueDialog(int32_t dialogId, DLGPROC procedure) {
    ZQI_SuspendInput();
    INT_PTR result = DialogBoxParamA(ZQI_GetInstanceHandle(), MAKEINTRESOURCEA(dialogId), ZQI_GetGameWindow(),
                                     procedure, 0);
    ZQI_ResumeInput();
    if (result == -1) {
        DWORD error = GetLastError();
        ZQ_Log(LOG_LEVEL_ERROR, "%s error: %s (0x%08X, platform error %i).", "Dialog", "DialogBoxParamA",
               static_cast<unsigned>(HRESULT_FROM_WIN32(error)), static_cast<int>(error));
    }
    return result == IDOK;
}

INT_PTR CALLBACK EditValueDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    return RunValueDialogMessage(dialog, message, wParam, ShowEditValue, ReadValueBack);
}

INT_PTR CALLBACK SelectValueDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    return RunValueDialogMessage(dialog, message, wParam, FillSelectList, TakeSelection);
}

INT_PTR CALLBACK EditCodeDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            PrepareCodeEdit(dialog);
            return EditValueDialogProc(dialog, message, wParam, lParam);
        case WM_GETDLGCODE:
            SetWindowLongPtrA(dialog, DWLP_MSGRESULT, kWantAllKeys);
            return TRUE;
        case WM_KEYDOWN:
        case WM_CHAR:
            return IsTabOrEnter(wParam) ? TRUE : FALSE;
        default:
            return EditValueDialogProc(dialog, message, wParam, lParam);
    }
}
