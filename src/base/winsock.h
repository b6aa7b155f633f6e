#pragma once
// WSAStartup and WSACleanup around one use of sockets (the library counts the pairs).
#include <winsock2.h>

class WinsockSession {
  public:
    WinsockSession() {
        WSADATA data{};
        started_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    WinsockSession(const WinsockSession&) = delete;
    WinsockSession& operator=(const WinsockSession&) = delete;
    ~WinsockSession() {
        if (started_) WSACleanup();
    }
    [[nodiscard]] bool started() const { return started_; }

  private:
    bool started_ = false;
};
