// Bench stand-in for schtasks: /Create (with /F to replace), /Delete and /Query of a task by
// name, with the real tool's exit codes (0 done, 1 error), tasks kept across calls.
#include "standin.h"

using namespace standin;

namespace {

std::wstring value_after(int argc, wchar_t** argv, const wchar_t* option) {
    for (int i = 1; i + 1 < argc; ++i)
        if (iequals(argv[i], option)) return argv[i + 1];
    return {};
}

bool has(int argc, wchar_t** argv, const wchar_t* option) {
    for (int i = 1; i < argc; ++i)
        if (iequals(argv[i], option)) return true;
    return false;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    ensure_folders();
    log_call(L"schtasks", argc, argv);
    std::wstring verb = argc > 1 ? argv[1] : L"";
    if (!verb.empty() && verb[0] == L'/') verb.erase(0, 1);
    for (auto& c : verb) c = towlower(c);
    delay_if_asked(L"schtasks", verb);
    if (auto code = forced_exit(L"schtasks", verb)) return *code;

    std::string name = utf8(value_after(argc, argv, L"/TN"));
    auto tasks = load_state(L"schtasks");
    auto found = tasks.end();
    for (auto it = tasks.begin(); it != tasks.end(); ++it)
        if (it->at(0) == name) found = it;

    if (verb == L"create") {
        if (name.empty() || value_after(argc, argv, L"/TR").empty()) {
            say("ERROR: Invalid syntax.\r\n");
            return 1;
        }
        if (found != tasks.end() && !has(argc, argv, L"/F")) {
            say("ERROR: Cannot create a file when that file already exists.\r\n");
            return 1;
        }
        if (found != tasks.end()) tasks.erase(found);
        tasks.push_back({name, utf8(value_after(argc, argv, L"/TR")),
                         utf8(value_after(argc, argv, L"/SC")), utf8(value_after(argc, argv, L"/ST")),
                         utf8(value_after(argc, argv, L"/RU")), utf8(value_after(argc, argv, L"/RL"))});
        save_state(L"schtasks", tasks);
        say("SUCCESS: The scheduled task \"" + name + "\" has successfully been created.\r\n");
        return 0;
    }
    if (found == tasks.end()) {
        say("ERROR: The system cannot find the file specified.\r\n");
        return 1;
    }
    if (verb == L"delete") {
        tasks.erase(found);
        save_state(L"schtasks", tasks);
        say("SUCCESS: The scheduled task \"" + name + "\" was successfully deleted.\r\n");
        return 0;
    }
    if (verb == L"query") {
        say("TaskName: " + found->at(0) + "\r\nTask To Run: " + found->at(1) +
            "\r\nSchedule: " + found->at(2) + " " + found->at(3) + "\r\nRun As User: " +
            found->at(4) + "\r\n");
        return 0;
    }
    say("ERROR: Invalid argument/option.\r\n");
    return 1;
}
