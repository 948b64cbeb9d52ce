// Pieces the platform command files share: the ring of field buffers, the bounded result copy
// and the dialog commands. Nothing outside the platform command files may reach in.
#pragma once

#include <cstddef>

enum { PLATFORM_FIELD_SIZE = 512, PLATFORM_PATH_SIZE = 512 };

// Field index of the parameter split at separator, in the next of eight 512-byte buffers used in
// turn; null for a null parameter, a missing field or one of 512 characters or more.
const char* ZQI_TakePlatformField(const char* parameter, char separator, int index);

// Copies text into the command's buffer; a text that does not fit is not cut: the command logs
// it at level 2 and the result is null.
const char* ZQI_CopyPlatformResult(const char* command, const char* text, char* buffer, size_t size);

// "OpenFileDialog" and "SaveFileDialog": the parameter is "initial path;filter" or the filter.
const char* ZQI_RunFileDialogCommand(const char* command, const char* parameter);
// "EditValue", "EditValueMultiline", "EditCode" and "SelectValue".
const char* ZQI_RunValueDialogCommand(const char* command, const char* parameter);
// "ShowPopup": "mode name;text".
const char* ZQI_RunShowPopupCommand(const char* parameter);
