// Connects the fonts to the graphics subsystem below them: the graphics hooks the font code calls
// (pixel tools, image loading, atlas packing, uploads, manifest entries, bitmap gets) and the
// fonts' atlas queue, which the frame's bitmap-queue step drains.
#pragma once

// Start-up, main thread, before the fonts start.
void ZQI_ConnectFontsToGraphics();
