#include "harness.h"

#include "agent_link.h"
#include "base/cmdline.h"
#include "base/files.h"
#include "base/handles.h"
#include "base/text.h"

#include <gtest/gtest.h>
#include <iphlpapi.h>
#include <ws2tcpip.h>

#include <cctype>
#include <cstdio>

namespace e2e {

namespace {

std::string environment_variable(const char* name) {
    DWORD n = GetEnvironmentVariableW(widen(name).c_str(), nullptr, 0);
    if (n == 0) return {};
    std::wstring value(n, L'\0');
    n = GetEnvironmentVariableW(widen(name).c_str(), value.data(), n);
    value.resize(n);
    return narrow(value);
}

std::wstring environment_block(const std::map<std::string, std::string>& extra) {
    std::map<std::wstring, std::wstring> merged; // sorted, as Windows likes it
    std::map<std::wstring, std::wstring> upper_to_name;
    if (wchar_t* current = GetEnvironmentStringsW()) {
        for (const wchar_t* entry = current; *entry; entry += wcslen(entry) + 1) {
            std::wstring text(entry);
            size_t eq = text.find(L'=', 1);
            if (eq == std::wstring::npos) continue;
            merged[text.substr(0, eq)] = text.substr(eq + 1);
        }
        FreeEnvironmentStringsW(current);
    }
    merged.erase(L"MYSQL_PWD");
    for (const auto& [name, value] : extra) {
        std::wstring wname = widen(name);
        for (auto it = merged.begin(); it != merged.end();) {
            it = _wcsicmp(it->first.c_str(), wname.c_str()) == 0 ? merged.erase(it) : std::next(it);
        }
        if (!value.empty()) merged[wname] = widen(value);
    }
    std::wstring block;
    for (const auto& [name, value] : merged) block += name + L"=" + value + L'\0';
    block += L'\0';
    return block;
}

// Wine answers ERROR_INTERNAL_ERROR when the new process went away before it had set itself up:
// its Unix process died between connecting to the wineserver and reporting its start done, before
// the loader mapped a DLL and long before the program's first instruction. That is Wine failing
// to make the process, not the program failing; the start is tried again, and the output says so.
constexpr int start_attempts = 3;

HANDLE start(const Launch& launch, DWORD& id) {
    std::vector<std::string> line{launch.program};
    line.insert(line.end(), launch.arguments.begin(), launch.arguments.end());
    std::wstring command = widen(quote_arguments(line));
    std::wstring environment = environment_block(launch.environment);
    std::wstring folder = widen(launch.current_folder);
    for (int attempt = 1;; ++attempt) {
        STARTUPINFOW startup{.cb = sizeof startup};
        PROCESS_INFORMATION info{};
        if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE,
                           CREATE_UNICODE_ENVIRONMENT, environment.data(),
                           folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
            CloseHandle(info.hThread);
            id = info.dwProcessId;
            return info.hProcess;
        }
        const DWORD error = GetLastError();
        const std::string reason = last_error_text();
        if (error != ERROR_INTERNAL_ERROR || attempt == start_attempts) {
            ADD_FAILURE() << "cannot start " << launch.program << " (attempt " << attempt
                          << ", error " << error << "): " << reason;
            return nullptr;
        }
        std::printf("harness: Wine did not make the process of %s (error %lu, %s); starting it "
                    "again\n",
                    launch.program.c_str(), error, reason.c_str());
        std::fflush(stdout);
    }
}

std::string bench_root() { return "C:\\kelta-bench"; }

std::vector<std::string> fields_of(const std::string& line) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab - start));
        if (tab == std::string::npos) return fields;
        start = tab + 1;
    }
}

} // namespace

std::string app_dir() {
    std::string dir = environment_variable("KELTA_APP_DIR");
    if (dir.empty()) ADD_FAILURE() << "KELTA_APP_DIR is not set: run the tests through bench/up";
    return dir;
}

std::string app_exe(const std::string& name) { return join_path(app_dir(), name); }

TestFolder::TestFolder() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    root_ = std::string("C:\\kelta-test\\") + info->test_suite_name() + "." + info->name();
    for (char& c : root_)
        if (c == '/') c = '_';
    delete_tree(root_);
    (void)create_directories(root_);
}

std::string TestFolder::data_root() const {
    return join_path(join_path(root_, "KELTA Retail"), "MySQL");
}

std::string TestFolder::path(const std::string& name) const { return join_path(data_root(), name); }

Finished run(const Launch& launch, std::chrono::seconds limit) {
    Finished finished;
    DWORD id = 0;
    auto begin = std::chrono::steady_clock::now();
    HANDLE process = start(launch, id);
    if (!process) return finished;
    DWORD limit_ms = static_cast<DWORD>(std::chrono::milliseconds(limit).count());
    if (WaitForSingleObject(process, limit_ms) != WAIT_OBJECT_0) {
        ADD_FAILURE() << launch.program << " did not end within " << limit.count() << " s";
        TerminateProcess(process, 99);
        WaitForSingleObject(process, 5000);
    }
    finished.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - begin);
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    CloseHandle(process);
    finished.exit_code = code;
    return finished;
}

Running::Running(const Launch& launch) { process_ = start(launch, id_); }

Running::~Running() {
    if (!process_) return;
    if (WaitForSingleObject(process_, 0) != WAIT_OBJECT_0) {
        TerminateProcess(process_, 99);
        WaitForSingleObject(process_, 5000);
    }
    CloseHandle(process_);
}

DWORD Running::process_id() const { return id_; }

std::optional<unsigned long> Running::wait(std::chrono::milliseconds limit) {
    if (!process_ || WaitForSingleObject(process_, static_cast<DWORD>(limit.count())) != WAIT_OBJECT_0)
        return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    return code;
}

namespace {

enum class IconHue { none, red, blue };

// The message box's icon as it shows on the screen, judged by its colour: the error icon is a
// red disc and the information icon a blue one. (Wine keeps icons inside their process, so
// another process cannot read the icon handle itself.)
IconHue icon_hue(HWND icon_control) {
    RECT r{};
    if (!icon_control || !GetWindowRect(icon_control, &r)) return IconHue::none;
    auto pixels = screen_pixels(r);
    int red = 0, blue = 0;
    for (DWORD p : pixels) {
        int cr = (p >> 16) & 0xFF, cg = (p >> 8) & 0xFF, cb = p & 0xFF;
        if (cr > cg + 60 && cr > cb + 60) ++red;
        if (cb > cr + 60) ++blue;
    }
    if (red > 100 && red > blue) return IconHue::red;
    if (blue > 100) return IconHue::blue;
    return IconHue::none;
}

std::string window_text(HWND window) {
    int n = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(n) + 1, L'\0');
    n = GetWindowTextW(window, text.data(), n + 1);
    text.resize(static_cast<size_t>(n));
    return narrow(text);
}

} // namespace

namespace {

struct WindowSearch {
    DWORD process_id;
    const wchar_t* class_name;
    const std::function<bool(HWND)>* also;
    HWND found = nullptr;
};

BOOL CALLBACK find_window_of(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    wchar_t class_name[64] = {};
    GetClassNameW(window, class_name, 64);
    if (owner != search->process_id || wcscmp(class_name, search->class_name) != 0 ||
        !IsWindowVisible(window) || (*search->also && !(*search->also)(window)))
        return TRUE;
    search->found = window;
    return FALSE;
}

} // namespace

HWND visible_window_of(DWORD process_id, const wchar_t* class_name,
                       const std::function<bool(HWND)>& also) {
    WindowSearch search{process_id, class_name, &also};
    EnumWindows(find_window_of, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::optional<MessageBoxSeen> take_message_box(DWORD process_id, std::chrono::milliseconds limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (HWND box = visible_window_of(process_id, L"#32770")) {
            Sleep(200); // let the box finish laying itself out
            MessageBoxSeen seen;
            seen.caption = window_text(box);
            // MessageBoxW puts its text in the static control 0xFFFF and its icon in 0x0014
            // (Windows) or 1088 (Wine).
            seen.text = window_text(GetDlgItem(box, 0xFFFF));
            HWND icon = GetDlgItem(box, 0x0014);
            if (!icon) icon = GetDlgItem(box, 1088);
            IconHue hue = icon_hue(icon);
            seen.error_icon = hue == IconHue::red;
            seen.information_icon = hue == IconHue::blue;
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            return seen;
        }
        Sleep(100);
    }
    return std::nullopt;
}

std::string read_file(const std::string& path) {
    auto content = ::read_file(path);
    return content ? *content : std::string();
}

bool exists(const std::string& path) { return path_exists(path); }

void write_file(const std::string& path, const std::string& content) {
    (void)create_directories(parent_path(path));
    // The program may be reading the file at that moment (the tray rereads my.ini): a test that
    // plays someone editing it waits for the read to end, as an editor saving again would.
    const std::string in_use = path + ": " + system_error_text(ERROR_SHARING_VIOLATION);
    auto written = ::write_file(path, content);
    for (int tries = 0; !written && written.error() == in_use && tries < 50; ++tries) {
        Sleep(20);
        written = ::write_file(path, content);
    }
    if (!written) ADD_FAILURE() << written.error();
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    for (auto line : split_lines(text)) lines.emplace_back(line);
    return lines;
}

std::vector<std::vector<std::string>> tool_calls(const std::string& tool) {
    std::vector<std::vector<std::string>> calls;
    for (const auto& line : lines_of(read_file(bench_root() + "\\logs\\" + tool + ".log")))
        calls.push_back(fields_of(line));
    return calls;
}

void clear_tool_state() {
    for (const char* sub : {"logs", "state", "force"}) delete_tree(bench_root() + "\\" + sub);
}

void force_tool_exit(const std::string& tool, int code, const std::string& verb) {
    std::string name = verb.empty() ? tool : tool + "." + verb;
    write_file(bench_root() + "\\force\\" + name + ".exit", std::to_string(code));
}

std::vector<DWORD> screen_pixels(const RECT& area) {
    int width = area.right - area.left, height = area.bottom - area.top;
    std::vector<DWORD> pixels(static_cast<size_t>(std::max(0, width * height)));
    if (pixels.empty()) return pixels;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader = {.biSize = sizeof(BITMAPINFOHEADER), .biWidth = width, .biHeight = -height,
                      .biPlanes = 1, .biBitCount = 32, .biCompression = BI_RGB};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    GdiFlush();
    std::copy_n(static_cast<DWORD*>(bits), pixels.size(), pixels.begin());
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

namespace {

// One request to the host agent: standard input in, streams and exit code out.
SqlOutcome ask_agent(const bench::Request& request, const std::string& input) {
    SqlOutcome outcome;
    std::string error;
    auto address = bench::read_agent_address(bench::agent_ini_path, error);
    auto link = address ? bench::AgentLink::open(*address, error) : nullptr;
    if (!link) {
        ADD_FAILURE() << "bench agent: " << error;
        return outcome;
    }
    link->send('Q', request.json());
    if (!input.empty()) link->send('I', input);
    link->send('I', {});
    while (auto frame = link->receive()) {
        switch (frame->kind) {
        case 'O': outcome.output += frame->payload; break;
        case 'E': outcome.error += frame->payload; break;
        case 'F': ADD_FAILURE() << "bench agent refused: " << frame->payload; return outcome;
        case 'X': outcome.exit_code = std::atol(frame->payload.c_str()); return outcome;
        default: break;
        }
    }
    ADD_FAILURE() << "bench agent: connection lost";
    return outcome;
}

} // namespace

SqlOutcome mysql_as_root(const std::string& sql, const std::string& root_password,
                         const std::string& database, const std::string& pipe) {
    bench::Request request("client");
    request.text("tool", "mysql").text("pipe", pipe).text("user", "root").text("charset", "utf8mb4");
    request.text("password", root_password).flag("rows", true);
    if (!database.empty()) request.text("database", database);
    return ask_agent(request, sql);
}

SqlOutcome query_over_tcp(const std::string& user, const std::string& password, unsigned short port,
                          const std::string& sql, const std::string& database, const std::string& host) {
    bench::Request request("tcp-client");
    request.text("host", host).number("port", port).text("user", user).text("password", password);
    if (!database.empty()) request.text("database", database);
    return ask_agent(request, sql);
}

RegisterSessions::RegisterSessions(const std::string& user, const std::string& password,
                                   unsigned short port, int count) {
    std::string error;
    auto address = bench::read_agent_address(bench::agent_ini_path, error);
    for (int i = 0; i < count && address; ++i) {
        auto link = bench::AgentLink::open(*address, error);
        if (!link) break;
        // The client logs in, then waits for a standard input that never comes.
        bench::Request request("tcp-client");
        request.text("host", "127.0.0.1").number("port", port).text("user", user);
        link->send('Q', request.text("password", password).json());
        links_.push_back(std::move(link));
    }
    EXPECT_EQ(links_.size(), static_cast<size_t>(count)) << "bench agent: " << error;
}

RegisterSessions::~RegisterSessions() = default;

std::vector<BenchServer> bench_servers() {
    std::vector<BenchServer> servers;
    for (const auto& line : lines_of(ask_agent(bench::Request("servers"), {}).output)) {
        auto fields = fields_of(line);
        if (fields.size() == 3)
            servers.push_back({.pid = std::stoul(fields[0]), .pipe = fields[1], .port = fields[2]});
    }
    return servers;
}

std::optional<std::map<std::string, ZipEntry>> read_zip(const std::string& windows_path) {
    const auto unix_path = bench::unix_path_of(widen(windows_path));
    if (!unix_path) return std::nullopt;
    const SqlOutcome read = ask_agent(bench::Request("read-zip").text("file", *unix_path), {});
    if (read.exit_code != 0) return std::nullopt;
    std::map<std::string, ZipEntry> members;
    for (std::size_t at = 0; at < read.output.size();) {
        const std::size_t line_end = read.output.find('\n', at);
        const auto fields = fields_of(read.output.substr(at, line_end - at));
        if (line_end == std::string::npos || fields.size() != 4) return std::nullopt;
        const std::size_t size = std::stoul(fields[3]);
        members[fields[0]] = {read.output.substr(line_end + 1, size),
                              static_cast<unsigned>(std::stoul(fields[1])),
                              static_cast<unsigned>(std::stoul(fields[2]))};
        at = line_end + 1 + size;
    }
    return members;
}

void bench_control(const std::string& name, const std::string& value) {
    write_file(bench_root() + "\\control\\" + name, value);
}

void clear_bench_control() { delete_tree(bench_root() + "\\control"); }

std::vector<ClientCall> client_calls(const std::string& program) {
    std::vector<ClientCall> calls;
    for (const auto& call : tool_calls(program)) {
        ClientCall client{.password_set = call.front() == "MYSQL_PWD=set"};
        client.arguments.assign(call.begin() + 1, call.end());
        calls.push_back(client);
    }
    return calls;
}

bool tcp_listener(unsigned short port, const std::string& address) {
    IN_ADDR wanted{};
    if (InetPtonW(AF_INET, widen(address).c_str(), &wanted) != 1) return false;
    ULONG size = 0;
    std::vector<unsigned char> buffer;
    DWORD status = ERROR_INSUFFICIENT_BUFFER;
    for (int attempt = 0; attempt < 3 && status == ERROR_INSUFFICIENT_BUFFER; ++attempt) {
        buffer.resize(size);
        status = GetExtendedTcpTable(buffer.empty() ? nullptr : buffer.data(), &size, FALSE, AF_INET,
                                     TCP_TABLE_OWNER_PID_LISTENER, 0);
    }
    if (status != NO_ERROR) return false;
    const auto* table = reinterpret_cast<const MIB_TCPTABLE_OWNER_PID*>(buffer.data());
    for (DWORD i = 0; i < table->dwNumEntries; ++i) {
        const auto& row = table->table[i];
        if (ntohs(static_cast<u_short>(row.dwLocalPort)) == port &&
            (row.dwLocalAddr == INADDR_ANY || row.dwLocalAddr == wanted.s_addr))
            return true;
    }
    return false;
}

unsigned short free_tcp_port() {
    WSADATA data{};
    WSAStartup(MAKEWORD(2, 2), &data);
    SOCKET probe = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{.sin_family = AF_INET, .sin_port = 0};
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof address;
    if (bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size) != 0)
        ADD_FAILURE() << "no free port: " << WSAGetLastError();
    closesocket(probe);
    return ntohs(address.sin_port);
}

void remove_service(const std::string& name) {
    UniqueServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    UniqueServiceHandle service(
        OpenServiceW(manager.get(), widen(name).c_str(), SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE));
    if (!service) return;
    SERVICE_STATUS status{};
    auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (QueryServiceStatus(service.get(), &status) && status.dwCurrentState != SERVICE_STOPPED &&
           std::chrono::steady_clock::now() < deadline) {
        // A service that is still starting takes no stop request: ask again until it does.
        ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
        Sleep(100);
    }
    if (!DeleteService(service.get()) && GetLastError() != ERROR_SERVICE_MARKED_FOR_DELETE)
        ADD_FAILURE() << "DeleteService(" << name << "): " << last_error_text();
    service.reset();
    // A service marked for deletion lingers until every handle to it is closed; the next test
    // would find it and fail to change it (error 1072), so wait until it is really gone.
    while (std::chrono::steady_clock::now() < deadline) {
        UniqueServiceHandle lingering(OpenServiceW(manager.get(), widen(name).c_str(), SERVICE_QUERY_STATUS));
        if (!lingering && GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST) return;
        Sleep(100);
    }
    ADD_FAILURE() << "service " << name << " is still there a minute after its deletion";
}

std::string local_time_before(std::chrono::hours ago) {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER ticks{.LowPart = now.dwLowDateTime, .HighPart = now.dwHighDateTime};
    ticks.QuadPart -= static_cast<ULONGLONG>(ago.count()) * 3600 * 10'000'000;
    const FILETIME then{.dwLowDateTime = ticks.LowPart, .dwHighDateTime = ticks.HighPart};
    SYSTEMTIME utc{}, local{};
    FileTimeToSystemTime(&then, &utc);
    SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local);
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", local.wYear, local.wMonth,
                  local.wDay, local.wHour, local.wMinute, local.wSecond);
    return text;
}

bool is_timestamp(const std::string& text) {
    if (text.size() != 15 || text[8] != '_') return false;
    for (size_t i = 0; i < text.size(); ++i)
        if (i != 8 && !std::isdigit(static_cast<unsigned char>(text[i]))) return false;
    return true;
}

} // namespace e2e
