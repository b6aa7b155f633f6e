#pragma once
// End-to-end helpers: run the real KeltaMySQL.exe in the bench prefix with a ProgramData folder
// of the test's own, read what it left behind, drive the bench's tool stand-ins.
#include <windows.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace bench {
class AgentLink;
}

namespace e2e {

// C:\Program Files\KELTA Retail MySQL (KELTA_APP_DIR, set by bench/up).
std::string app_dir();
std::string app_exe(const std::string& name = "KeltaMySQL.exe");

// A fresh folder C:\kelta-test\<suite>.<test> that stands in for ProgramData.
class TestFolder {
  public:
    TestFolder();
    const std::string& program_data() const { return root_; }
    std::string data_root() const; // <program_data>\KELTA Retail\MySQL
    std::string path(const std::string& name) const;

  private:
    std::string root_;
};

struct Launch {
    std::vector<std::string> arguments;
    std::map<std::string, std::string> environment; // added to (or replacing in) ours
    std::string program = app_exe();
    std::string current_folder; // empty: ours
};

struct Finished {
    unsigned long exit_code = 0;
    std::chrono::milliseconds elapsed{};
};

// Runs the program to completion (fails the test after `limit`).
Finished run(const Launch& launch, std::chrono::seconds limit = std::chrono::seconds(120));

// A program left running while the test looks at its windows.
class Running {
  public:
    explicit Running(const Launch& launch);
    ~Running();
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;
    DWORD process_id() const;
    HANDLE handle() const { return process_; }
    // The exit code, or nothing when it has not ended within the limit.
    std::optional<unsigned long> wait(std::chrono::milliseconds limit);

  private:
    HANDLE process_ = nullptr;
    DWORD id_ = 0;
};

// The first visible top-level window of the process with the class (and, when given, the test).
HWND visible_window_of(DWORD process_id, const wchar_t* class_name,
                       const std::function<bool(HWND)>& also = {});

struct MessageBoxSeen {
    std::string caption;
    std::string text;
    bool error_icon = false;
    bool information_icon = false;
};

// Waits for a message box of the process, reads it and presses its default button.
std::optional<MessageBoxSeen> take_message_box(DWORD process_id, std::chrono::milliseconds limit);

std::string read_file(const std::string& path);
bool exists(const std::string& path);
void write_file(const std::string& path, const std::string& content);
std::vector<std::string> lines_of(const std::string& text);

// The bench's tool stand-ins (netsh, schtasks, icacls): the arguments of each call. (The
// MySQL clients' lines start with a MYSQL_PWD field: read them with client_calls.)
std::vector<std::vector<std::string>> tool_calls(const std::string& tool);
void clear_tool_state();
void force_tool_exit(const std::string& tool, int code, const std::string& verb = "");

// The bench's MySQL 5.7 server (bench/mysql): it runs on the Linux side behind the host agent;
// the stand-ins mysqld.exe, mysql.exe and mysqldump.exe in MySQL\bin are what the program sees.
struct SqlOutcome {
    long exit_code = -1;
    std::string output; // rows: one a line, columns separated by tabs, no column names
    std::string error;
};

// SQL as root over the named pipe's socket, sent straight through the host agent (not through
// mysql.exe, so the stand-ins' logs hold only the program's calls).
SqlOutcome mysql_as_root(const std::string& sql, const std::string& root_password,
                         const std::string& database = "", const std::string& pipe = "KELTA_MYSQL57");
// SQL over TCP as a register connects, run by the Linux client (host: an address of this machine).
SqlOutcome query_over_tcp(const std::string& user, const std::string& password, unsigned short port,
                          const std::string& sql, const std::string& database = "",
                          const std::string& host = "127.0.0.1");

// Registers logged in over TCP to 127.0.0.1 and idle, until this goes (the agent ends a client
// whose caller went away).
class RegisterSessions {
  public:
    RegisterSessions(const std::string& user, const std::string& password, unsigned short port,
                     int count);
    ~RegisterSessions();
    RegisterSessions(const RegisterSessions&) = delete;
    RegisterSessions& operator=(const RegisterSessions&) = delete;

  private:
    std::vector<std::unique_ptr<bench::AgentLink>> links_;
};

// The MySQL servers the host agent runs now.
struct BenchServer {
    unsigned long pid = 0;
    std::string pipe; // empty when the server has no named pipe
    std::string port;
};
std::vector<BenchServer> bench_servers();

// A member of a zip file as Python's zipfile reads it on the Linux side (through the host agent).
struct ZipEntry {
    std::string content;
    unsigned flags = 0;  // the general purpose bits: 0x800 for UTF-8 names
    unsigned method = 0; // 8: deflate
};
// Every member by name; nothing when a member's CRC does not match (the test fails when it is no
// zip file at all).
std::optional<std::map<std::string, ZipEntry>> read_zip(const std::string& windows_path);

// A test control of the MySQL stand-ins, C:\kelta-bench\control\<name> (bench/README.md):
// "mysqld.ready-delay" (seconds), "mysqld.skip-networking", "mysqld.fail-start",
// "mysqldump.truncate", "mysqld.hold-after-initialize" (seconds), and the one-call faults
// "mysqldump.fail-after", "mysqldump.kill-server-after" (bytes), "mysql.fail-after",
// "mysql.kill-server-after", "mysql.hold-after" (statements), "mysql_upgrade.fail".
void bench_control(const std::string& name, const std::string& value = "1");
void clear_bench_control();

// The calls of a MySQL client stand-in ("mysql", "mysqldump"), oldest first.
struct ClientCall {
    bool password_set = false; // MYSQL_PWD was in the environment (its value is never logged)
    std::vector<std::string> arguments;
};
std::vector<ClientCall> client_calls(const std::string& program);

// Whether Windows lists a TCP listener on the port at the address or at 0.0.0.0.
bool tcp_listener(unsigned short port, const std::string& address = "127.0.0.1");

// A loopback port that nobody listens on now: other projects on this machine run MySQL servers
// too, so a test's server never takes a fixed port.
unsigned short free_tcp_port();

// Stops the service (waiting up to a minute) and deletes it; a missing service is fine. Wine
// starts auto-start services again with the next wine command, so tests remove theirs.
void remove_service(const std::string& name);

bool is_timestamp(const std::string& text); // YYYYMMDD_HHMMSS
// The local time that long ago, "YYYY-MM-DD HH:MM:SS" as the program's state files hold it.
std::string local_time_before(std::chrono::hours ago);

// What the display shows in a screen rectangle, as 0x00RRGGBB pixels, row by row.
std::vector<DWORD> screen_pixels(const RECT& area);

} // namespace e2e
