// The developer information panel (F6 or SHOW_INFO): a dark band across the top of the screen with
// five columns on the device, the start-up settings, the program, the system and the resource
// tables.
#pragma once

void ZQI_DrawInformationPanel();
