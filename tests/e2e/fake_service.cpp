#include "fake_service.h"

#include "base/files.h"
#include "base/text.h"

#include <gtest/gtest.h>

namespace e2e {

namespace {

constexpr wchar_t service_name[] = L"KeltaMySQL57";

void delete_existing(SC_HANDLE manager) {
    SC_HANDLE old =
        OpenServiceW(manager, service_name, SERVICE_STOP | DELETE | SERVICE_QUERY_STATUS);
    if (!old) return;
    SERVICE_STATUS status{};
    ControlService(old, SERVICE_CONTROL_STOP, &status);
    for (int i = 0;
         i < 100 && QueryServiceStatus(old, &status) && status.dwCurrentState != SERVICE_STOPPED;
         ++i)
        Sleep(100);
    DeleteService(old);
    CloseServiceHandle(old);
}

} // namespace

std::string test_program(const std::string& file_name) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return join_path(parent_path(narrow(path)), file_name);
}

FakeService::FakeService(int port, DWORD stop_delay_ms) {
    manager_ = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (!manager_) {
        ADD_FAILURE() << "cannot open the service manager";
        return;
    }
    delete_existing(manager_);
    const std::wstring command = L"\"" + widen(test_program("kelta_test_service.exe")) + L"\" " +
                                 std::to_wstring(port) + L" " + std::to_wstring(stop_delay_ms);
    service_ = CreateServiceW(manager_, service_name, L"KELTA MySQL 5.7 (test)", SERVICE_ALL_ACCESS,
                              SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL,
                              command.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
    if (!service_) ADD_FAILURE() << "cannot create the test service: " << GetLastError();
}

FakeService::~FakeService() {
    if (service_) {
        SERVICE_STATUS status{};
        ControlService(service_, SERVICE_CONTROL_STOP, &status);
        wait_for(SERVICE_STOPPED, 10000);
        DeleteService(service_);
        CloseServiceHandle(service_);
    }
    if (manager_) CloseServiceHandle(manager_);
}

bool FakeService::start() {
    if (!service_ || !StartServiceW(service_, 0, nullptr)) return false;
    return wait_for(SERVICE_RUNNING, 10000);
}

bool FakeService::request_stop() {
    SERVICE_STATUS status{};
    return service_ && ControlService(service_, SERVICE_CONTROL_STOP, &status);
}

DWORD FakeService::state() const {
    SERVICE_STATUS status{};
    if (!service_ || !QueryServiceStatus(service_, &status)) return 0;
    return status.dwCurrentState;
}

DWORD FakeService::process_id() const {
    SERVICE_STATUS_PROCESS status{};
    DWORD needed = 0;
    if (!service_ ||
        !QueryServiceStatusEx(service_, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                              sizeof status, &needed))
        return 0;
    return status.dwProcessId;
}

bool FakeService::wait_for(DWORD wanted, DWORD limit_ms) const {
    for (DWORD waited = 0; waited <= limit_ms; waited += 50) {
        if (state() == wanted) return true;
        Sleep(50);
    }
    return false;
}

} // namespace e2e
