#include "record.h"

#include <windows.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

namespace bench_security {

namespace {

const char* const record_path = "C:\\kelta-bench\\state\\security.txt";

std::wstring wide(const std::string& text) {
    std::wstring result(MultiByteToWideChar(CP_UTF8, 0, text.data(), (int)text.size(), nullptr, 0),
                        L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), (int)text.size(), result.data(),
                        (int)result.size());
    return result;
}

std::vector<std::string> record_lines() {
    std::vector<std::string> lines;
    std::ifstream in(record_path, std::ios::binary);
    for (std::string line; std::getline(in, line);)
        if (!line.empty()) lines.push_back(line);
    return lines;
}

std::string identity_of(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file, &info)) return {};
    char text[40];
    std::snprintf(text, sizeof text, "%08lx-%08lx%08lx", info.dwVolumeSerialNumber,
                  info.nFileIndexHigh, info.nFileIndexLow);
    return text;
}

std::optional<std::string> recorded_by_identity(const std::string& identity) {
    if (identity.empty()) return std::nullopt;
    for (const auto& line : record_lines()) {
        std::istringstream fields(line);
        std::string id, descriptor;
        if (std::getline(fields, id, '\t') && id == identity &&
            std::getline(fields, descriptor, '\t'))
            return descriptor;
    }
    return std::nullopt;
}

} // namespace

std::string file_identity(const std::string& path) {
    HANDLE file = CreateFileW(wide(path).c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::string identity = identity_of(file);
    CloseHandle(file);
    return identity;
}

std::optional<std::string> recorded(const std::string& path) {
    return recorded_by_identity(file_identity(path));
}

void record(const std::string& path, const std::string& descriptor) {
    const std::string identity = file_identity(path);
    if (identity.empty()) return;
    std::vector<std::string> lines = record_lines();
    std::erase_if(lines,
                  [&](const std::string& line) { return line.starts_with(identity + "\t"); });
    lines.push_back(identity + "\t" + descriptor + "\t" + path);
    CreateDirectoryW(L"C:\\kelta-bench", nullptr);
    CreateDirectoryW(L"C:\\kelta-bench\\state", nullptr);
    std::ofstream out(record_path, std::ios::binary | std::ios::trunc);
    for (const auto& line : lines)
        out << line << '\n';
}

namespace {

Result<FileSecurity> recorded_read(HANDLE file) {
    auto descriptor = recorded_by_identity(identity_of(file));
    if (!descriptor) return system_security_calls().read(file);
    const size_t list = descriptor->find("D:");
    return FileSecurity{.owner = descriptor->substr(2, list - 2),
                        .access = descriptor->substr(list)};
}

// A descriptor without an owner sets the list alone: the owner kept stays.
Result<void> recorded_write(const std::string& path, std::string_view descriptor) {
    auto written = system_security_calls().write(path, descriptor);
    const auto kept = recorded(path);
    if (!written || !kept) return written;
    const std::string owner = descriptor.starts_with("O:") ? "" : kept->substr(0, kept->find("D:"));
    record(path, owner + std::string(descriptor));
    return written;
}

} // namespace

SecurityCalls recording_security_calls() {
    return {recorded_read, recorded_write};
}

} // namespace bench_security
