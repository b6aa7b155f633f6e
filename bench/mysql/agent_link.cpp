#include "agent_link.h"

#include <ws2tcpip.h>

#include <cstdint>
#include <cstdio>

namespace bench {

namespace {

constexpr size_t frame_header_size = 5;
constexpr unsigned max_frame = 1u << 20;
constexpr DWORD ini_value_size = 256;
constexpr DWORD path_capacity = 32768; // the longest path Windows knows

std::wstring ini_value(const std::wstring& path, const wchar_t* key) {
    wchar_t value[ini_value_size] = {};
    GetPrivateProfileStringW(L"agent", key, L"", value, ini_value_size, path.c_str());
    return value;
}

bool winsock_ready() {
    static const bool ready = [] {
        WSADATA data{};
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return ready;
}

} // namespace

std::string utf8_of(std::wstring_view text) {
    if (text.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, nullptr);
    return out;
}

std::wstring wide_of(std::string_view text) {
    if (text.empty()) return {};
    int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

std::optional<AgentAddress> read_agent_address(const std::wstring& ini_path, std::string& error) {
    if (GetFileAttributesW(ini_path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        error = utf8_of(ini_path) + " is missing (bench/up writes it)";
        return std::nullopt;
    }
    std::wstring port = ini_value(ini_path, L"port");
    std::wstring secret = ini_value(ini_path, L"secret");
    unsigned long number = wcstoul(port.c_str(), nullptr, 10);
    if (number == 0 || number > 65535 || secret.empty()) {
        error = utf8_of(ini_path) + " has no [agent] port and secret";
        return std::nullopt;
    }
    return AgentAddress{.port = static_cast<unsigned short>(number), .secret = utf8_of(secret)};
}

std::unique_ptr<AgentLink> AgentLink::open(const AgentAddress& address, std::string& error) {
    if (!winsock_ready()) {
        error = "Winsock did not start";
        return nullptr;
    }
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) {
        error = "socket failed (" + std::to_string(WSAGetLastError()) + ")";
        return nullptr;
    }
    sockaddr_in target{.sin_family = AF_INET, .sin_port = htons(address.port)};
    target.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(s, reinterpret_cast<sockaddr*>(&target), sizeof target) != 0) {
        error = "the bench agent on 127.0.0.1:" + std::to_string(address.port) +
                " does not answer (" + std::to_string(WSAGetLastError()) + ")";
        closesocket(s);
        return nullptr;
    }
    BOOL no_delay = TRUE;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&no_delay),
               sizeof no_delay);
    std::unique_ptr<AgentLink> link(new AgentLink(s));
    if (!link->send('H', address.secret)) {
        error = "the bench agent closed the connection";
        return nullptr;
    }
    return link;
}

AgentLink::~AgentLink() {
    closesocket(socket_);
}

bool AgentLink::send(char kind, std::string_view payload) {
    std::string frame(frame_header_size, '\0');
    frame[0] = kind;
    auto size = static_cast<std::uint32_t>(payload.size());
    for (int i = 0; i < 4; ++i)
        frame[1 + i] = static_cast<char>((size >> (8 * i)) & 0xFF);
    frame.append(payload);
    std::lock_guard lock(send_mutex_);
    const char* data = frame.data();
    size_t rest = frame.size();
    while (rest > 0) {
        int sent = ::send(socket_, data, static_cast<int>(std::min<size_t>(rest, 1u << 20)), 0);
        if (sent <= 0) return false;
        data += sent;
        rest -= static_cast<size_t>(sent);
    }
    return true;
}

bool AgentLink::read_exact(char* data, size_t size) {
    while (size > 0) {
        int got = recv(socket_, data, static_cast<int>(std::min<size_t>(size, 1u << 20)), 0);
        if (got <= 0) return false;
        data += got;
        size -= static_cast<size_t>(got);
    }
    return true;
}

std::optional<Frame> AgentLink::receive() {
    unsigned char header[frame_header_size];
    if (!read_exact(reinterpret_cast<char*>(header), sizeof header)) return std::nullopt;
    std::uint32_t size = 0;
    for (int i = 0; i < 4; ++i)
        size |= static_cast<std::uint32_t>(header[1 + i]) << (8 * i);
    if (size > max_frame) return std::nullopt;
    Frame frame{.kind = static_cast<char>(header[0]), .payload = std::string(size, '\0')};
    if (size && !read_exact(frame.payload.data(), size)) return std::nullopt;
    return frame;
}

bool AgentLink::readable(DWORD milliseconds) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(socket_, &set);
    timeval wait{.tv_sec = static_cast<long>(milliseconds / 1000),
                 .tv_usec = static_cast<long>((milliseconds % 1000) * 1000)};
    return select(0, &set, nullptr, nullptr, &wait) > 0;
}

std::string json_quoted(std::string_view utf8) {
    std::string out = "\"";
    for (char c : utf8) {
        auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

void Request::key(std::string_view name) {
    if (!body_.empty()) body_ += ',';
    body_ += json_quoted(name) + ":";
}

Request& Request::text(std::string_view name, std::string_view value) {
    key(name);
    body_ += json_quoted(value);
    return *this;
}

Request& Request::number(std::string_view name, long long value) {
    key(name);
    body_ += std::to_string(value);
    return *this;
}

Request& Request::flag(std::string_view name, bool value) {
    key(name);
    body_ += value ? "true" : "false";
    return *this;
}

Request& Request::texts(std::string_view name, const std::vector<std::string>& values) {
    key(name);
    body_ += '[';
    for (size_t i = 0; i < values.size(); ++i) {
        if (i) body_ += ',';
        body_ += json_quoted(values[i]);
    }
    body_ += ']';
    return *this;
}

Request&
Request::options(std::string_view name,
                 const std::vector<std::pair<std::string, std::optional<std::string>>>& values) {
    key(name);
    body_ += '[';
    for (size_t i = 0; i < values.size(); ++i) {
        const auto& [option, value] = values[i];
        if (i) body_ += ',';
        body_ += '[';
        body_ += json_quoted(option);
        body_ += ',';
        body_ += value ? json_quoted(*value) : std::string("null");
        body_ += ']';
    }
    body_ += ']';
    return *this;
}

std::wstring own_path() {
    std::wstring path(path_capacity, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), path_capacity));
    return path;
}

std::wstring full_path(const std::wstring& path) {
    std::wstring full(path_capacity, L'\0');
    DWORD n = GetFullPathNameW(path.c_str(), path_capacity, full.data(), nullptr);
    if (n == 0 || n >= path_capacity) return path;
    full.resize(n);
    return full;
}

std::unique_ptr<AgentLink> open_bench_agent(std::string& error) {
    auto address = read_agent_address(agent_ini_path, error);
    if (!address) return nullptr;
    return AgentLink::open(*address, error);
}

std::optional<std::string> unix_path_of(const std::wstring& windows_path) {
    using Mapper = char*(CDECL*)(LPCWSTR);
    static const auto mapper = reinterpret_cast<Mapper>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!mapper) return std::nullopt;
    char* mapped = mapper(windows_path.c_str());
    if (!mapped) return std::nullopt;
    std::string path = mapped;
    HeapFree(GetProcessHeap(), 0, mapped);
    return path;
}

} // namespace bench
