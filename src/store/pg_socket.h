#pragma once
// What the shared base's session asks of the network socket libpq gives it:
// waiting for it with a deadline, and cutting it from another thread. POSIX
// and Winsock each have a file of their own behind this.
namespace k8w::pgsocket {

enum class Wait { Ready, NotYet, Failed };

// Waits up to timeoutMs for `socket` to be readable, or also writable when
// `writable` is set. NotYet after the time ran out or a signal came first.
Wait WaitFor(int socket, bool writable, int timeoutMs);

// Cuts both directions of `socket`: a call blocked on it fails at once.
void Cut(int socket);

} // namespace k8w::pgsocket
