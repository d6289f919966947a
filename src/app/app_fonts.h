#pragma once
// The windows are laid out for DejaVu Sans Condensed. On Linux the system
// gives it (fontconfig); the Windows edition carries the faces in the folder
// fonts/ beside its programs and registers them here. Called once the
// application object exists, by the window programs and the window tests.

namespace k8w {

void loadAppFonts();

} // namespace k8w
