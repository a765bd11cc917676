#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "platform/net_probe.h"

namespace net_probe {

int WaitForSocket(int fd, int want, int ms) {
  pollfd p{fd, static_cast<short>((want & kRead ? POLLIN : 0) | (want & kWrite ? POLLOUT : 0)), 0};
  const int r = ::poll(&p, 1, ms);
  if (r < 0) return errno == EINTR ? 0 : -1;
  if (r == 0) return 0;
  return (p.revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL) ? kRead : 0) | (p.revents & POLLOUT ? kWrite : 0);
}

void ShutSocket(int fd) { ::shutdown(fd, SHUT_RDWR); }

Answer AskPostgres(const std::string& address, const std::string& port, int ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  auto left = [&] {
    const auto d = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return d.count() > 0 ? static_cast<int>(d.count()) : 0;
  };
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  if (::getaddrinfo(address.c_str(), port.c_str(), &hints, &found) != 0 || !found) return Answer::None;
  Answer answer = Answer::None;
  const int fd = ::socket(found->ai_family, found->ai_socktype, found->ai_protocol);
  if (fd >= 0) {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    int error = 0;
    socklen_t size = sizeof error;
    bool connected = ::connect(fd, found->ai_addr, found->ai_addrlen) == 0;
    if (!connected && errno == EINPROGRESS && WaitForSocket(fd, kWrite, left()) > 0)
      connected = ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
    // The request: its length (8) and the code 1234 5679, both big-endian.
    static const unsigned char kRequest[8] = {0, 0, 0, 8, 0x04, 0xD2, 0x16, 0x2F};
    if (connected && ::send(fd, kRequest, sizeof kRequest, MSG_NOSIGNAL) == 8 && WaitForSocket(fd, kRead, left()) > 0) {
      char c = 0;
      const ssize_t n = ::recv(fd, &c, 1, 0);
      answer = n == 1 ? (c == 'S' ? Answer::Tls : c == 'N' || c == 'E' ? Answer::NoTls : Answer::Other) : Answer::None;
    }
    ::close(fd);
  }
  ::freeaddrinfo(found);
  return answer;
}

}  // namespace net_probe
