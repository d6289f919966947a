#include "common/standard_streams.h"

namespace k8w {

// POSIX streams pass bytes through as they are.
void PrepareStandardStreams() {}

} // namespace k8w
