// The lifecycle's side of reading the manifest: what the manifest reader is told before it reads
// (the platform and screen size, how to make the renderer's object) and the settings the
// lifecycle takes from it afterwards.
#pragma once

// Tells the manifest reader the system information's platform and screen size and installs its
// hooks; CorePreinitialize calls it right before LoadProgXml.
void ZQI_PrepareManifestReading();

// Copies the manifest reader's forced variant and resolution, supported-resolutions list, input
// libraries and locale into g_runtime.settings (owned copies; empty texts become null).
void ZQI_TakeManifestSettings();
