#include "setup/rebuild.h"

#include "jobs/jobs.h"
#include "jobs/mode_texts.h"
#include "setup/busy.h"
#include "setup/frame.h"
#include "svc/recover.h"

#include <utility>

void offer_rebuild(HWND window, const std::optional<std::string>& file, std::string_view preface) {
    const std::string before = preface.empty() ? std::string() : std::string(preface) + "\n\n";
    auto recovery = plan_recovery(file);
    if (!recovery) {
        window_message(window, before + recovery.error(), MB_ICONERROR);
        return;
    }
    if (window_message(window, before + recover_question(*recovery),
                       MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES)
        start_job(window, job::Recover{std::move(*recovery)});
}
