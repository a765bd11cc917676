// The few socket calls the site server's client makes beside libpq, which differ between
// platforms: waiting on a connection's socket, shutting it from another thread, and asking what
// listens at an address whether it is a PostgreSQL server. net_probe_posix.cpp and
// net_probe_win.cpp implement it; CMake builds the one for the platform.
#pragma once
#include <string>

namespace net_probe {

enum : int { kRead = 1, kWrite = 2 };
// Waits up to ms for the socket to be ready for what want asks (kRead, kWrite or both): what it
// is ready for (a socket closed or failed counts as readable), 0 when nothing yet, -1 when the
// wait itself failed.
int WaitForSocket(int fd, int want, int ms);
// Shuts the socket both ways: a call waiting on it (in another thread) ends at once.
void ShutSocket(int fd);

enum class Answer {
  None,   // nothing answered within the time (refused, silent, or closed without a byte)
  Tls,    // a PostgreSQL server that offers TLS ('S')
  NoTls,  // a PostgreSQL server without TLS ('N'), or one that answered with an error ('E')
  Other,  // something answered that is not a PostgreSQL server
};
// Connects to address (numeric, as libpq reports it) and port and sends the 8 bytes a
// PostgreSQL client opens TLS with; a PostgreSQL server answers one byte. Nothing else is sent
// (no user, no database), and the connection is closed. At most ms in all.
Answer AskPostgres(const std::string& address, const std::string& port, int ms);

}  // namespace net_probe
