#include "app/app_fonts.h"

namespace k8w {

// The system's fonts hold DejaVu Sans Condensed (the package depends on it).
void loadAppFonts() {}

} // namespace k8w
