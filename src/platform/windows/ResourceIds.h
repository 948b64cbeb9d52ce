// Ids of the executable's resources: the window icon and the value dialogs with their controls.
// Shared by the resource script and the code that loads them; plain defines for windres.
#pragma once

#define ZQ_RESOURCE_ICON 102

#define ZQ_DIALOG_EDIT_VALUE 104            // one-line values (a multi-line edit with scrolling)
#define ZQ_DIALOG_EDIT_VALUE_MULTILINE 105  // values with line breaks; Enter breaks the line
#define ZQ_DIALOG_SELECT_VALUE 106          // a list of choices
#define ZQ_DIALOG_EDIT_CODE 107             // code: a fixed font, Tab and Enter stay in the edit

#define ZQ_CONTROL_VALUE_EDIT 1001
#define ZQ_CONTROL_VALUE_LIST 1002
