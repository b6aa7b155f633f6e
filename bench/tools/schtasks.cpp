// Bench stand-in for schtasks: /Create from a task definition (/XML, with /F to replace) or from
// the short options (/TR, /SC, /ST, /RU, /RL), /Delete and /Query of a task by name (also as the
// verbose CSV record), with the real tool's exit codes (0 done, 1 error), tasks kept across
// calls. A task's record holds the settings of its definition, so that tests can read them.
#include "standin.h"

using namespace standin;

namespace {

// The task definition's settings the record keeps, in this order after the name.
constexpr const wchar_t* definition_fields[] = {L"Command",
                                                L"Arguments",
                                                L"StartBoundary",
                                                L"UserId",
                                                L"RunLevel",
                                                L"StartWhenAvailable",
                                                L"DisallowStartIfOnBatteries",
                                                L"StopIfGoingOnBatteries",
                                                L"RunOnlyIfIdle",
                                                L"ExecutionTimeLimit",
                                                L"MultipleInstancesPolicy",
                                                L"SecurityDescriptor"};
// What a task that has not run yet reports as its last result (SCHED_S_TASK_HAS_NOT_RUN).
constexpr const char* not_run_yet = "267011";

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

// The text of the first element of that name; the real tool wants the file in UTF-16.
std::string element(const std::wstring& xml, const std::wstring& name) {
    const std::wstring open = L"<" + name + L">";
    const size_t start = xml.find(open);
    if (start == std::wstring::npos) return {};
    const size_t end = xml.find(L"</" + name + L">", start);
    if (end == std::wstring::npos) return {};
    return utf8(xml.substr(start + open.size(), end - start - open.size()));
}

std::optional<Record> record_from_definition(const std::string& name, const std::wstring& file) {
    const std::string bytes = read_all(file);
    if (bytes.size() < 2 || bytes[0] != '\xFF' || bytes[1] != '\xFE') return std::nullopt;
    const std::wstring xml(reinterpret_cast<const wchar_t*>(bytes.data() + 2),
                           (bytes.size() - 2) / sizeof(wchar_t));
    if (xml.find(L"<Task ") == std::wstring::npos) return std::nullopt;
    Record record{name, "xml"};
    for (const wchar_t* field : definition_fields)
        record.push_back(element(xml, field));
    return record;
}

// "3/2/2026 2:30:00 AM" of the definition's first start, as the English tool writes it.
std::string next_run_of(const std::string& start) {
    if (start.size() < 16) return "N/A";
    const int hour = std::atoi(start.substr(11, 2).c_str());
    return std::to_string(std::atoi(start.substr(5, 2).c_str())) + "/" +
           std::to_string(std::atoi(start.substr(8, 2).c_str())) + "/" + start.substr(0, 4) + " " +
           std::to_string(hour % 12 == 0 ? 12 : hour % 12) + ":" + start.substr(14, 2) + ":00 " +
           (hour < 12 ? "AM" : "PM");
}

void say_verbose_csv(const Record& task) {
    const bool from_xml = task.size() > 4 && task[1] == "xml";
    const std::string next = from_xml ? next_run_of(task[4]) : "N/A";
    const std::string action =
        from_xml ? "\"\"" + task[2].substr(1, task[2].size() - 2) + "\"\" " + task[3] : task[1];
    say("\"KELTA-BENCH\",\"\\" + task[0] + "\",\"" + next +
        "\",\"Ready\",\"Interactive/Background\"," + "\"N/A\",\"" + not_run_yet +
        "\",\"KELTA-BENCH\\Administrator\",\"" + action + "\"\r\n");
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
        const std::wstring definition = value_after(argc, argv, L"/XML");
        std::optional<Record> task;
        if (!definition.empty())
            task = record_from_definition(name, definition);
        else if (!value_after(argc, argv, L"/TR").empty())
            task = Record{name,
                          utf8(value_after(argc, argv, L"/TR")),
                          utf8(value_after(argc, argv, L"/SC")),
                          utf8(value_after(argc, argv, L"/ST")),
                          utf8(value_after(argc, argv, L"/RU")),
                          utf8(value_after(argc, argv, L"/RL"))};
        if (name.empty() || !task) {
            say(definition.empty() ? "ERROR: Invalid syntax.\r\n"
                                   : "ERROR: The task XML is malformed.\r\n");
            return 1;
        }
        if (found != tasks.end() && !has(argc, argv, L"/F")) {
            say("ERROR: Cannot create a file when that file already exists.\r\n");
            return 1;
        }
        if (found != tasks.end()) tasks.erase(found);
        tasks.push_back(*task);
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
        if (iequals(value_after(argc, argv, L"/FO"), L"CSV") && has(argc, argv, L"/V")) {
            say_verbose_csv(*found);
            return 0;
        }
        say("TaskName: " + found->at(0) + "\r\nTask To Run: " + found->at(1) + "\r\n");
        return 0;
    }
    say("ERROR: Invalid argument/option.\r\n");
    return 1;
}
