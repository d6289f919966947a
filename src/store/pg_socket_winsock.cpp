#include "store/pg_socket.h"

#include <winsock2.h>

namespace k8w::pgsocket {

// libpq hands its SOCKET over as an int; Winsock's handles fit in one.
Wait WaitFor(int socket, bool writable, int timeoutMs) {
    WSAPOLLFD fd{static_cast<SOCKET>(socket), static_cast<SHORT>(writable ? POLLRDNORM | POLLWRNORM : POLLRDNORM), 0};
    const int ready = ::WSAPoll(&fd, 1, timeoutMs);
    if (ready > 0) return Wait::Ready;
    return ready == 0 ? Wait::NotYet : Wait::Failed;
}

void Cut(int socket) { ::shutdown(static_cast<SOCKET>(socket), SD_BOTH); }

} // namespace k8w::pgsocket
