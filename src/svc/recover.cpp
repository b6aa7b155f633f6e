#include "svc/recover.h"

#include "base/files.h"
#include "base/fill_in.h"
#include "base/handles.h"
#include "base/local_time.h"
#include "base/security.h"
#include "base/text.h"
#include "config/settings.h"
#include "i18n/tr.h"
#include "instance/data_folder.h"
#include "instance/paths.h"
#include "instance/tray_log.h"
#include "svc/backup_state.h"
#include "svc/control.h"
#include "svc/dump_file.h"
#include "svc/dump_list.h"
#include "svc/dump_scope.h"
#include "svc/init.h"
#include "svc/last_backup.h"
#include "svc/recover_journal.h"
#include "svc/restore.h"
#include "svc/server_upgrade.h"
#include "svc/status.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <vector>

namespace {

constexpr std::size_t minute_length = 16; // "YYYY-MM-DD HH:MM"

// The database is rebuilt from the dump as root: only a file that the administrators alone may
// change is offered, whatever the list, or the user's record of the last backup, names.
bool administrators_own(const std::string& path) {
    UniqueFile file = open_itself(path, READ_CONTROL | FILE_READ_ATTRIBUTES);
    return file && check_trusted_file(file.get(), path).has_value();
}

// The automatic dumps still as made, and the operator's last backup, newest first.
std::vector<RecoveryDump> candidates() {
    std::vector<RecoveryDump> found;
    if (const std::optional<DumpList> list = load_dump_list())
        for (const ListedDump& dump : dumps_as_made(*list))
            if (administrators_own(dump.path))
                found.push_back({dump.path, dump.time.substr(0, minute_length)});
    if (const std::optional<LastBackup> manual = last_backup();
        manual && administrators_own(manual->file))
        found.push_back({manual->file, manual->time.substr(0, minute_length)});
    // One form to the minute: the later time is the larger text.
    std::ranges::stable_sort(found, std::ranges::greater{}, &RecoveryDump::time);
    return found;
}

// When the file was last written, local, to the minute; empty when it cannot be read.
std::string written_time(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    SYSTEMTIME universal{}, local{};
    if (!GetFileAttributesExW(widen(path).c_str(), GetFileExInfoStandard, &data) ||
        !FileTimeToSystemTime(&data.ftLastWriteTime, &universal) ||
        !SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local))
        return {};
    return local_time_text(local).substr(0, minute_length);
}

// The restore's own checks, before the data folder moves: a dump it would refuse must not leave
// the shop with an empty database. Gives the number of tables the dump makes.
Result<std::size_t> check_dump(const std::string& path, const std::string& database) {
    UniqueFile file(CreateFileW(widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return fail(path + ": " + last_error_text());
    if (!ends_like_a_complete_dump(file.get()))
        return fail(fill_in(tr("%1 is not a complete backup; nothing was changed.",
                               "%1 不是完整的备份；没有改动任何内容。"),
                            {path}));
    auto scope = read_dump_scope(file.get(), database);
    if (!scope) return fail(path + ": " + scope.error());
    if (scope->outside)
        return fail(
            fill_in(tr("%1 changes more than the shop's database (%2); nothing was changed.",
                       "%1 会改动店铺数据库以外的内容（%2）；没有改动任何内容。"),
                    {path, *scope->outside}));
    return scope->tables;
}

// A step after the move failed: the failure, then where each folder is and how to go back, the
// same in tray.log.
std::string stranded(const std::string& failure, const InterruptedRecovery& journal) {
    // Told as unfinished from now on, also while this process (a Setup window) stays open.
    const auto left = leave_recovery_journal(journal);
    const std::string back =
        fill_in(tr("The damaged files are kept in %1 and %2 holds the new database; to go back, "
                   "stop MySQL, rename %2 to keep it aside and rename %1 to %2.",
                   "损坏的文件保存在 %1，%2 中是新的数据库；若要恢复原状，请停止 MySQL，把 %2 "
                   "改名另存，再把 %1 改名为 %2。"),
                {journal.damaged, data_dir()});
    append_tray_log("--recover: " + back, true);
    return failure + "\n" + back + (left ? "" : "\n" + left.error());
}

} // namespace

Result<Recovery> plan_recovery(const std::optional<std::string>& file) {
    // A rebuild that was cut off is finished into its own damaged folder: the data folder now
    // holds the new database, never the damaged one.
    const std::optional<InterruptedRecovery> cut_off = interrupted_recovery();
    Recovery recovery{.damaged =
                          cut_off ? cut_off->damaged : data_dir() + ".damaged-" + local_timestamp(),
                      .resumes = cut_off.has_value(),
                      .started = cut_off ? cut_off->started : std::string()};
    if (file) {
        recovery.dump = {*file, written_time(*file)};
        return recovery;
    }
    if (cut_off) {
        if (!administrators_own(cut_off->dump) || !dump_is_complete(cut_off->dump))
            return fail(fill_in(tr("The backup the unfinished rebuild restores, %1, is gone or "
                                   "cannot be used; rebuild from another backup with --recover "
                                   "<file>.",
                                   "未完成的重建所用的备份 %1 已不存在或无法使用；请用 --recover "
                                   "<文件> 从其他备份重建。"),
                                {cut_off->dump}));
        recovery.dump = {cut_off->dump, cut_off->dump_time};
        return recovery;
    }
    for (RecoveryDump& dump : candidates())
        if (dump_is_complete(dump.path)) {
            recovery.dump = std::move(dump);
            return recovery;
        }
    return fail(std::string(tr("No complete backup was found to rebuild the database from; nothing "
                               "was changed.",
                               "没有找到可用于重建数据库的完整备份；没有改动任何内容。")));
}

bool recovery_possible() {
    return std::ranges::any_of(candidates(),
                               [](const RecoveryDump& d) { return dump_is_complete(d.path); });
}

Result<Recovered> recover(const Recovery& recovery) {
    const auto began = std::chrono::steady_clock::now();
    const RecoveryDump& dump = recovery.dump;
    const std::string& damaged = recovery.damaged;
    if (auto secured = secure_data_root(); !secured) return fail(secured.error());
    // Planned before the operation lock was taken: another rebuild may have run meanwhile.
    const std::optional<InterruptedRecovery> cut_off = interrupted_recovery();
    if (cut_off.has_value() != recovery.resumes || (cut_off && cut_off->damaged != damaged))
        return fail("another rebuild changed the data folder meanwhile; nothing was changed.");
    const std::optional<ConnectionSettings> settings = load_settings();
    if (!settings) return fail(settings_path() + " not found (install the MySQL service first)");
    auto tables = check_dump(dump.path, settings->database);
    if (!tables) return fail(tables.error());
    if (!recovery.resumes && path_exists(damaged))
        return fail(damaged + " exists already; nothing was changed.");
    // The new folder is of no use without a service to start on it.
    if (service_status() == ServiceStatus::NotInstalled)
        return fail("service is not installed; nothing was changed.");

    // Written before the move: after a power cut anywhere from there on, the server may come up
    // on a new, empty database, and only the journal says so and how to finish.
    const InterruptedRecovery journal{dump.path, dump.time, damaged, recovery.started};
    if (auto written = begin_recovery_journal(journal); !written)
        return fail(written.error() + "; nothing was changed.");
    const std::string data = data_dir();
    if (!recovery.resumes) {
        if (auto stopped = stop_service(); !stopped) {
            (void)end_recovery_journal();
            return fail(stopped.error());
        }
        if (!MoveFileExW(widen(data).c_str(), widen(damaged).c_str(), 0)) {
            const std::string why = last_error_text();
            (void)end_recovery_journal();
            return fail(data + " cannot be set aside (MySQL was stopped): " + why);
        }
        append_tray_log(data + " set aside as " + damaged + ": rebuilt from " + dump.path, true);
    } else if (auto stopped = stop_service(); !stopped) {
        return fail(stranded(stopped.error(), journal));
    }

    // A resumed rebuild finds the new folder complete, cut off in its initialization (set aside
    // as incomplete and made again), or not there at all.
    if (auto made = initialize_data_dir(base_dir(), *settings); !made)
        return fail(stranded(made.error(), journal));
    mark_data_upgraded();
    if (auto started = start_service(); !started) return fail(stranded(started.error(), journal));
    if (auto restored = restore(dump.path); !restored)
        return fail(stranded(restored.error().reason, journal));
    // A journal left behind would offer this rebuild again, over the shop's new entries.
    if (auto ended = end_recovery_journal(); !ended)
        return fail("the database was rebuilt from " + dump.path +
                    ", but its journal stays: " + ended.error());
    append_tray_log("the database was rebuilt from " + dump.path, true);
    const auto took = std::chrono::steady_clock::now() - began;
    return Recovered{damaged, std::chrono::duration_cast<std::chrono::seconds>(took).count(),
                     *tables};
}
