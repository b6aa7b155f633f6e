#pragma once
// KeltaMySQL57 played by tests/programs/test_service.cpp: created for one test, stopped and
// deleted again when the test ends.
#include <windows.h>

#include <string>

namespace e2e {

// A program built beside the test program (kelta_e2e.exe).
std::string test_program(const std::string& file_name);

class FakeService {
  public:
    // Listens on `port` while running (0: on no port); a stop stays pending for stop_delay_ms.
    FakeService(int port, DWORD stop_delay_ms);
    ~FakeService();
    FakeService(const FakeService&) = delete;
    FakeService& operator=(const FakeService&) = delete;

    bool start();        // waits until it runs
    bool request_stop(); // does not wait
    DWORD state() const;
    DWORD process_id() const;
    bool wait_for(DWORD state, DWORD limit_ms) const;

  private:
    SC_HANDLE manager_ = nullptr;
    SC_HANDLE service_ = nullptr;
};

} // namespace e2e
