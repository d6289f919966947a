#include "store/pg_socket.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>

namespace k8w::pgsocket {

Wait WaitFor(int socket, bool writable, int timeoutMs) {
    pollfd fd{socket, static_cast<short>(writable ? POLLIN | POLLOUT : POLLIN), 0};
    const int ready = ::poll(&fd, 1, timeoutMs);
    if (ready > 0) return Wait::Ready;
    return ready == 0 || errno == EINTR ? Wait::NotYet : Wait::Failed;
}

void Cut(int socket) { ::shutdown(socket, SHUT_RDWR); }

} // namespace k8w::pgsocket
