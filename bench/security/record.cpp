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

} // namespace

std::string file_identity(const std::string& path) {
    HANDLE file = CreateFileW(wide(path).c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    BY_HANDLE_FILE_INFORMATION info{};
    const BOOL known = GetFileInformationByHandle(file, &info);
    CloseHandle(file);
    if (!known) return {};
    char text[40];
    std::snprintf(text, sizeof text, "%08lx-%08lx%08lx", info.dwVolumeSerialNumber,
                  info.nFileIndexHigh, info.nFileIndexLow);
    return text;
}

std::optional<std::string> recorded(const std::string& path) {
    const std::string identity = file_identity(path);
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

Result<FileSecurity> recorded_read(const std::string& path) {
    auto descriptor = recorded(path);
    if (!descriptor) return system_security_calls().read(path);
    const size_t list = descriptor->find("D:");
    return FileSecurity{.owner = descriptor->substr(2, list - 2),
                        .access = descriptor->substr(list)};
}

Result<void> recorded_write(const std::string& path, std::string_view descriptor) {
    auto written = system_security_calls().write(path, descriptor);
    if (written && recorded(path)) record(path, std::string(descriptor));
    return written;
}

} // namespace

SecurityCalls recording_security_calls() {
    return {recorded_read, recorded_write};
}

} // namespace bench_security
