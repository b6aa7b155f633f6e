#include "setup/rebuild.h"

#include "base/local_time.h"
#include "jobs/jobs.h"
#include "jobs/mode_texts.h"
#include "setup/busy.h"
#include "setup/frame.h"
#include "svc/recover.h"

void offer_rebuild(HWND window, const std::optional<std::string>& file, std::string_view preface) {
    const std::string before = preface.empty() ? std::string() : std::string(preface) + "\n\n";
    auto dump = recovery_dump(file);
    if (!dump) {
        window_message(window, before + dump.error(), MB_ICONERROR);
        return;
    }
    const std::string damaged = damaged_data_path(local_timestamp());
    if (window_message(window, before + recover_question(*dump, damaged),
                       MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES)
        start_job(window, job::Recover{*dump, damaged});
}
