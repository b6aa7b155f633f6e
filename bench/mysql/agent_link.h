#pragma once
// The Windows side of the bench's host agent (bench/mysql/agent.py): where to find it, one
// framed connection to it, and the JSON text of a request. Used by the stand-ins mysqld.exe,
// mysql.exe and mysqldump.exe, and by the end-to-end test harness.
//
// A frame is one kind byte, the payload length as 32-bit little endian, and the payload.
#include <winsock2.h>
#include <windows.h>

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace bench {

// Written by bench/up into the bench's own folder of the prefix: the agent's port and per-run
// secret. (A file, not environment variables: a service gets services.exe's environment. Not
// beside the stand-ins: a package of the program with the stand-ins carries no bench state.)
inline constexpr wchar_t agent_ini_path[] = L"C:\\kelta-bench\\bench.ini";

struct AgentAddress {
    unsigned short port = 0;
    std::string secret;
};

// Reads [agent] port= and secret= from the file; the error names what is missing.
std::optional<AgentAddress> read_agent_address(const std::wstring& ini_path, std::string& error);

struct Frame {
    char kind = 0;
    std::string payload;
};

class AgentLink {
  public:
    // Connects and greets the agent with the secret. Nothing on failure (error says why).
    static std::unique_ptr<AgentLink> open(const AgentAddress& address, std::string& error);
    ~AgentLink();
    AgentLink(const AgentLink&) = delete;
    AgentLink& operator=(const AgentLink&) = delete;

    // Safe from several threads at once (the service's control handler sends "T").
    bool send(char kind, std::string_view payload = {});
    // The next frame, or nothing when the agent closed the connection.
    std::optional<Frame> receive();
    // Whether a frame (or the end) can be read within the time.
    bool readable(DWORD milliseconds);

  private:
    explicit AgentLink(SOCKET s) : socket_(s) {}
    bool read_exact(char* data, size_t size);

    SOCKET socket_;
    std::mutex send_mutex_;
};

// A JSON request built field by field: {"op":"client","pipe":"KELTA_MYSQL57",...}.
class Request {
  public:
    explicit Request(std::string_view op) { text("op", op); }
    Request& text(std::string_view name, std::string_view value);
    Request& number(std::string_view name, long long value);
    Request& flag(std::string_view name, bool value);
    Request& texts(std::string_view name, const std::vector<std::string>& values);
    // [["name","value"],["name",null],...]: options for the server; nothing means no value.
    Request& options(std::string_view name,
                     const std::vector<std::pair<std::string, std::optional<std::string>>>& values);
    std::string json() const { return "{" + body_ + "}"; }

  private:
    void key(std::string_view name);
    std::string body_;
};

std::string json_quoted(std::string_view utf8);

// UTF-8 <-> UTF-16 for the bench programs, which do not link the program's own helpers.
std::string utf8_of(std::wstring_view text);
std::wstring wide_of(std::string_view text);

// The running program's own path, and a path made absolute.
std::wstring own_path();
std::wstring full_path(const std::wstring& path);

// The agent named by the bench's bench.ini (the stand-ins' way to it).
std::unique_ptr<AgentLink> open_bench_agent(std::string& error);

// The Unix path of a Windows path through Wine (kernel32's wine_get_unix_file_name); nothing
// when not running under Wine or when the path cannot be mapped.
std::optional<std::string> unix_path_of(const std::wstring& windows_path);

} // namespace bench
