#include <winsock2.h>
#include <ws2tcpip.h>

#include <chrono>

#include "platform/net_probe.h"

namespace net_probe {

int WaitForSocket(int fd, int want, int ms) {
  WSAPOLLFD p{static_cast<SOCKET>(fd),
              static_cast<short>((want & kRead ? POLLRDNORM : 0) | (want & kWrite ? POLLWRNORM : 0)), 0};
  const int r = WSAPoll(&p, 1, ms);
  if (r < 0) return -1;
  if (r == 0) return 0;
  return (p.revents & (POLLRDNORM | POLLHUP | POLLERR | POLLNVAL) ? kRead : 0) | (p.revents & POLLWRNORM ? kWrite : 0);
}

void ShutSocket(int fd) { ::shutdown(static_cast<SOCKET>(fd), SD_BOTH); }

Answer AskPostgres(const std::string& address, const std::string& port, int ms) {
  WSADATA wsa;
  if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) return Answer::None;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  auto left = [&] {
    const auto d = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return d.count() > 0 ? static_cast<int>(d.count()) : 0;
  };
  addrinfo hints{};
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  Answer answer = Answer::None;
  if (::getaddrinfo(address.c_str(), port.c_str(), &hints, &found) == 0 && found) {
    const SOCKET s = ::socket(found->ai_family, found->ai_socktype, found->ai_protocol);
    if (s != INVALID_SOCKET) {
      u_long nonBlocking = 1;
      ::ioctlsocket(s, FIONBIO, &nonBlocking);
      bool connected = ::connect(s, found->ai_addr, static_cast<int>(found->ai_addrlen)) == 0;
      if (!connected && WSAGetLastError() == WSAEWOULDBLOCK && WaitForSocket(static_cast<int>(s), kWrite, left()) > 0) {
        int error = 0;
        int size = sizeof error;
        connected = ::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) == 0 && error == 0;
      }
      // The request: its length (8) and the code 1234 5679, both big-endian.
      static const char kRequest[8] = {0, 0, 0, 8, 0x04, static_cast<char>(0xD2), 0x16, 0x2F};
      if (connected && ::send(s, kRequest, sizeof kRequest, 0) == 8 &&
          WaitForSocket(static_cast<int>(s), kRead, left()) > 0) {
        char c = 0;
        const int n = ::recv(s, &c, 1, 0);
        answer = n == 1 ? (c == 'S'               ? Answer::Tls
                           : c == 'N' || c == 'E' ? Answer::NoTls
                                                  : Answer::Other)
                        : Answer::None;
      }
      ::closesocket(s);
    }
    ::freeaddrinfo(found);
  }
  WSACleanup();
  return answer;
}

}  // namespace net_probe
