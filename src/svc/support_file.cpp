#include "svc/support_file.h"

#include "base/files.h"
#include "base/machine.h"
#include "base/text.h"
#include "base/zip.h"
#include "i18n/language.h"
#include "instance/data_folder.h"
#include "instance/paths.h"
#include "instance/product.h"
#include "svc/backup_settings.h"
#include "svc/backup_state.h"
#include "svc/diagnosis.h"
#include "svc/myini.h"
#include "svc/secrets.h"
#include "svc/start_failure.h"
#include "svc/status_report.h"
#include "svc/support_facts.h"

#include <windows.h>

#include <vector>

namespace {

constexpr std::string_view crlf = "\r\n";
constexpr std::uint64_t error_log_kept = 2 << 20;
constexpr std::uint64_t tray_log_kept = 1 << 20;
// my.ini, connection.ini and the other small files: far more than any of them holds.
constexpr std::uint64_t settings_file_kept = 1 << 20;
// Of each numbered copy of error.log: its last lines, read from its last 64 KB.
constexpr std::uint64_t log_copy_tail = 64 << 10;
constexpr std::size_t log_copy_lines = 100;
constexpr int error_log_copies = 5;

// The archive as it grows, and what summary.txt tells about it.
struct Gathering {
    std::vector<ZipMember> members;
    StatusReport notes;
};

// Run before anything in the data folder is read; its outcome goes into summary.txt.
std::string data_folder_check() {
    auto checked = secure_data_root();
    return checked ? std::string("passed") : "failed: " + checked.error();
}

std::string last_lines(std::string_view text, std::size_t count) {
    std::size_t start = text.size();
    if (text.ends_with('\n')) --start;
    for (std::size_t seen = 0; start > 0 && seen < count;) {
        start = text.rfind('\n', start - 1);
        if (start == std::string_view::npos) return std::string(text);
        ++seen;
        if (seen == count) ++start;
    }
    return std::string(text.substr(start));
}

// A file of the data folder; one that cannot be read is named in summary.txt instead.
void add_file(Gathering& g, const std::string& name, const std::string& path, std::uint64_t limit,
              std::string (*shown)(std::string_view) = nullptr) {
    auto text = read_file_tail(path, limit);
    if (!text) {
        g.notes.push_back({"not_included", name + ": " + text.error()});
        return;
    }
    g.members.push_back({name, shown ? shown(*text) : std::move(*text)});
}

std::string error_log_copy(std::string_view text) {
    return last_lines(text, log_copy_lines);
}

std::string diagnosis_member() {
    const std::optional<Diagnosis> diagnosis = stored_diagnosis();
    if (!diagnosis)
        return "No failed start is recorded: the last start worked, or no start failed.\r\n";
    return report_text({{"diagnosis_code", std::string(diagnosis_code(diagnosis->cause))},
                        {"diagnosis_text", diagnosis_text(*diagnosis, Lang::en)}}) +
           std::string(crlf) + render_diagnosis(*diagnosis);
}

std::string backups_member() {
    // Settings that cannot be read (summary.txt says so through the status) list the default
    // folder: where the dumps are when nobody chose another.
    const BackupSettings settings = load_backup_settings().value_or(default_backup_settings());
    std::string text = folder_listing_text(settings.folder) + std::string(crlf);
    if (!settings.copy_to.empty())
        text += folder_listing_text(settings.copy_to) + std::string(crlf);
    return text + folder_listing_text(backups_dir());
}

void add_system_reports(Gathering& g) {
    const StatusReport status = status_report();
    g.members.push_back({"status.json", report_json(status)});
    g.members.push_back({"status.txt", report_text(status)});
    g.members.push_back({"diagnosis.txt", diagnosis_member()});
    g.members.push_back({"service.txt", service_configuration_text()});
    g.members.push_back({"firewall.txt", firewall_rule_text()});
    g.members.push_back({"tasks.txt", scheduled_tasks_text()});
    g.members.push_back({"connections.txt", port_connections_text(configured_port())});
    g.members.push_back({"backups.txt", backups_member()});
}

void add_data_folder_files(Gathering& g) {
    add_file(g, "my.ini", my_ini_path(), settings_file_kept, mask_password_values);
    add_file(g, "connection.ini", settings_path(), settings_file_kept, mask_password_values);
    add_file(g, "backup.ini", backup_settings_path(), settings_file_kept, mask_password_values);
    add_file(g, "backup-state.ini", backup_state_path(), settings_file_kept);
    add_file(g, "error.log", error_log_path(), error_log_kept);
    for (int n = 1; n <= error_log_copies; ++n) {
        const std::string copy = error_log_path() + "." + std::to_string(n);
        if (path_exists(copy))
            add_file(g, "error.log." + std::to_string(n), copy, log_copy_tail, error_log_copy);
    }
    add_file(g, "tray.log", activity_log_path(), tray_log_kept);
}

// The stored passwords, in any form, leave in no member; summary.txt says where they were found.
void remove_secrets(Gathering& g, const std::vector<std::string>& forms) {
    const std::size_t notes_before = g.notes.size();
    for (ZipMember& member : g.members)
        if (const std::size_t found = redact(member.content, forms); found > 0)
            g.notes.push_back(
                {"password_removed_from", member.name + " (" + std::to_string(found) + "x)"});
    if (g.notes.size() == notes_before)
        g.notes.push_back({"password_removed_from", std::string("no file held one")});
}

StatusReport summary_fields(const SYSTEMTIME& now, const std::string& check) {
    auto free_bytes = [](const std::string& folder) -> decltype(ReportField::value) {
        if (auto free = free_disk_space(folder)) return *free;
        return std::monostate{};
    };
    return {
        {"created", local_time_text(now)},
        {"program_version", display_version()},
        {"windows", windows_version_text()},
        {"computer_name", computer_name()},
        {"time_zone", time_zone_text()},
        {"uptime", duration_text(GetTickCount64())},
        {"program_folder", program_dir()},
        {"data_folder", data_root()},
        {"program_drive_free_bytes", free_bytes(program_dir())},
        {"data_drive_free_bytes", free_bytes(data_root())},
        {"data_folder_check", check},
    };
}

} // namespace

std::string support_file_name(std::string_view computer, std::string_view timestamp) {
    return "KELTA-MySQL-support-" + std::string(computer) + "-" + std::string(timestamp) + ".zip";
}

Result<void> save_support_file(const std::string& path) {
    const std::string check = data_folder_check();
    SYSTEMTIME now{};
    GetLocalTime(&now);
    Gathering g;
    add_system_reports(g);
    add_data_folder_files(g);
    const std::vector<std::string> forms = secret_forms(stored_passwords());
    remove_secrets(g, forms);
    StatusReport summary = summary_fields(now, check);
    summary.insert(summary.end(), g.notes.begin(), g.notes.end());
    std::string summary_text = report_text(summary);
    redact(summary_text, forms);
    g.members.insert(g.members.begin(), {"summary.txt", std::move(summary_text)});
    auto archive = zip_archive(g.members, now);
    if (!archive) return fail(archive.error());
    return replace_saved_file_contents(path, *archive);
}
