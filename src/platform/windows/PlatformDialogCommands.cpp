// The platform commands that open a modal box: the open and save file dialogs, the value dialogs
// and the program's own popups.
#include <windows.h>
#include <commdlg.h>

#include <cstring>

#include "core/ApiTable.h"
#include "core/Log.h"
#include "filesystem/VirtualPath.h"
#include "foundation/Path.h"
#include "foundation/String.h"
#include "platform/windows/GameWindow.h"
#include "platform/windows/Keyboard.h"
#include "platform/windows/PlatformCommands_local.h"
#include "platform/windows/Popups.h"
#include "platform/windows/ResourceIds.h"
#include "platform/windows/ValueDialogs.h"

namespace {

enum { FILE_NAME_SIZE = 1024, FILTER_SIZE = 2 * PLATFORM_FIELD_SIZE + 2 };

char g_fileDialogResult[PLATFORM_PATH_SIZE];

// ---- File dialogs ----

struct FileDialogStart {
    char fileName[FILE_NAME_SIZE];  // the file box's first text
    char folder[FILE_NAME_SIZE];    // the initial folder; "" for the system's choice
};

void ToBackslashes(String& text) {
    text.Replace("/", "\\");
}

// The initial path's folder starts the dialog; a path naming a file also fills the file box.
bool PrepareFileDialogStart(const char* command, const char* initialPath, FileDialogStart* start) {
    start->fileName[0] = '\0';
    start->folder[0] = '\0';
    if (initialPath == nullptr) {
        return true;
    }
    String native;
    ZQ_ConvertStaticPathToNativeOSPath(native, initialPath);
    String folder = ZQI_GetPathDirectory(native.CStr());
    folder = folder.IsEmpty() ? String("/") : folder + "/";
    ToBackslashes(native);
    ToBackslashes(folder);
    if (native.Equals(folder.CStr())) {
        String withoutSlash = folder.Substring(0, folder.Length() - 1);
        return ZQI_CopyPlatformResult(command, withoutSlash.CStr(), start->folder, sizeof(start->folder)) !=
               nullptr;
    }
    return ZQI_CopyPlatformResult(command, native.CStr(), start->fileName, sizeof(start->fileName)) !=
               nullptr &&
           ZQI_CopyPlatformResult(command, folder.CStr(), start->folder, sizeof(start->folder)) != nullptr;
}

// The dialog reads its filter as (description, pattern) pairs ending with an empty text, so the
// program's one text is given as both; a plain C text handed over as it is would be read past
// its end. False when the filter does not fit.
bool BuildFilterPairs(const char* filter, char* out, size_t size) {
    size_t length = strlen(filter);
    if (2 * (length + 1) + 1 > size) {
        return false;
    }
    memcpy(out, filter, length + 1);
    memcpy(out + length + 1, filter, length + 1);
    out[2 * (length + 1)] = '\0';
    return true;
}

}  // namespace

const char* ZQI_RunFileDialogCommand(const char* command, const char* parameter) {
    if (parameter == nullptr) {
        return nullptr;
    }
    const char* separator = strchr(parameter, ';');
    const char* filter = separator != nullptr ? separator + 1 : parameter;
    const char* initialPath = nullptr;
    if (separator != nullptr) {
        initialPath = ZQI_TakePlatformField(parameter, ';', 0);
        if (initialPath == nullptr) {
            ZQ_Log(LOG_LEVEL_ERROR, "%s: the initial path is too long.", command);
            return nullptr;
        }
    }
    FileDialogStart start;
    char filterPairs[FILTER_SIZE];
    if (!PrepareFileDialogStart(command, initialPath, &start)) {
        return nullptr;
    }
    if (!BuildFilterPairs(filter, filterPairs, sizeof(filterPairs))) {
        ZQ_Log(LOG_LEVEL_ERROR, "%s: the filter is too long.", command);
        return nullptr;
    }
    const bool open = strstr(command, "Open") != nullptr;
    OPENFILENAMEA dialog;
    memset(&dialog, 0, sizeof(dialog));
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = ZQI_GetGameWindow();
    dialog.lpstrFilter = filter[0] != '\0' ? filterPairs : nullptr;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = start.fileName;
    dialog.nMaxFile = sizeof(start.fileName);
    dialog.lpstrInitialDir = start.folder[0] != '\0' ? start.folder : nullptr;
    dialog.Flags = OFN_PATHMUSTEXIST | (open ? OFN_FILEMUSTEXIST : 0);

    ReleaseAllKeys();
    ZQI_SuspendInput();
    BOOL chosen = open ? GetOpenFileNameA(&dialog) : GetSaveFileNameA(&dialog);
    ZQI_ResumeInput();
    if (!chosen) {
        return nullptr;
    }
    String path;
    ZQI_ConvertNativePathToPath(path, start.fileName);
    return ZQI_CopyPlatformResult(command, path.CStr(), g_fileDialogResult, sizeof(g_fileDialogResult));
}

// ---- Value dialogs ----

namespace {

// The parameter with every "\n" made "\r\n" (the edit control's line break) in the dialog's value
// text; false, with the text untouched, when the result would not fit.
bool ExpandLineBreaks(const char* text, char* out, size_t size) {
    size_t needed = 1;
    for (const char* c = text; *c != '\0'; ++c) {
        needed += *c == '\n' ? 2 : 1;
    }
    if (needed > size) {
        return false;
    }
    char* end = out;
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c == '\n') {
            *end++ = '\r';
        }
        *end++ = *c;
    }
    *end = '\0';
    return true;
}

// In place: "\r\n" becomes "\n", and any other "\r" becomes "\n" as well.
void FoldLineBreaks(char* text) {
    char* out = text;
    for (const char* c = text; *c != '\0'; ++c) {
        if (c[0] == '\r' && c[1] == '\n') {
            continue;  // the "\n" follows
        }
        *out++ = *c == '\r' ? '\n' : *c;
    }
    *out = '\0';
}

struct ValueDialogKind {
    int32_t dialogId;
    DLGPROC procedure;
};

bool ChooseValueDialog(const char* command, const char* value, ValueDialogKind* kind) {
    if (strcmp(command, "EditValue") == 0) {
        bool lineBreaks = strchr(value, '\n') != nullptr;
        *kind = {lineBreaks ? ZQ_DIALOG_EDIT_VALUE_MULTILINE : ZQ_DIALOG_EDIT_VALUE, EditValueDialogProc};
    } else if (strcmp(command, "EditValueMultiline") == 0) {
        *kind = {ZQ_DIALOG_EDIT_VALUE_MULTILINE, EditValueDialogProc};
    } else if (strcmp(command, "EditCode") == 0) {
        *kind = {ZQ_DIALOG_EDIT_CODE, EditCodeDialogProc};
    } else if (strcmp(command, "SelectValue") == 0) {
        *kind = {ZQ_DIALOG_SELECT_VALUE, SelectValueDialogProc};
    } else {
        return false;
    }
    return true;
}

}  // namespace

const char* ZQI_RunValueDialogCommand(const char* command, const char* parameter) {
    char* value = ZQI_GetDialogValueText();
    if (!ExpandLineBreaks(parameter != nullptr ? parameter : "", value, ZQI_DIALOG_VALUE_SIZE)) {
        ZQ_Log(LOG_LEVEL_ERROR, "%s: the value does not fit the dialog's %d bytes.", command,
               ZQI_DIALOG_VALUE_SIZE);
        return nullptr;
    }
    ValueDialogKind kind;
    if (!ChooseValueDialog(command, value, &kind)) {
        return nullptr;
    }
    ZQI_SetDialogTitle(command);
    ReleaseAllKeys();
    if (!ShowValueDialog(kind.dialogId, kind.procedure)) {
        return nullptr;
    }
    FoldLineBreaks(value);
    return value;
}

// ---- ShowPopup ----

namespace {

int32_t PopupModeFromName(const char* name) {
    if (strcmp(name, "OK") == 0) {
        return POPUP_MODE_OK;
    }
    if (strcmp(name, "OK_CANCEL") == 0) {
        return POPUP_MODE_OK_CANCEL;
    }
    if (strcmp(name, "YES_NO_CANCEL") == 0) {
        return POPUP_MODE_YES_NO_CANCEL;
    }
    if (strcmp(name, "CANCEL_TRY_CONTINUE") == 0) {
        return POPUP_MODE_CANCEL_TRY_CONTINUE;
    }
    return POPUP_MODE_DEFAULT;
}

const char* PopupAnswerName(int32_t answer) {
    switch (answer) {
        case POPUP_ANSWER_OK:
            return "OK";
        case POPUP_ANSWER_CANCEL:
            return "CANCEL";
        case POPUP_ANSWER_TRY_AGAIN:
            return "TRY_AGAIN";
        case POPUP_ANSWER_CONTINUE:
            return "CONTINUE";
        case POPUP_ANSWER_YES:
            return "YES";
        case POPUP_ANSWER_NO:
            return "NO";
        default:
            return nullptr;
    }
}

}  // namespace

const char* ZQI_RunShowPopupCommand(const char* parameter) {
    const char* modeName = ZQI_TakePlatformField(parameter, ';', 0);
    if (modeName == nullptr || strlen(modeName) < 2) {
        return nullptr;
    }
    // Without a ';' after the mode there is no text: the box shows an empty one.
    const char* separator = strchr(parameter, ';');
    const char* text = separator != nullptr ? separator + 1 : "";
    return PopupAnswerName(ShowPopupMessageBox(POPUP_LEVEL_PLAIN, PopupModeFromName(modeName), text));
}
