// Bench stand-in for netsh: "advfirewall firewall add|delete|show rule name=..." with the real
// tool's exit codes (0 done, 1 no rule matches or bad usage), rules kept across calls.
#include "standin.h"

using namespace standin;

namespace {

std::wstring value_of(int argc, wchar_t** argv, const wchar_t* key) {
    size_t n = wcslen(key);
    for (int i = 1; i < argc; ++i)
        if (_wcsnicmp(argv[i], key, n) == 0) return argv[i] + n;
    return {};
}

int no_match() {
    say("\r\nNo rules match the specified criteria.\r\n\r\n");
    return 1;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    ensure_folders();
    log_call(L"netsh", argc, argv);
    std::wstring verb = argc > 3 ? argv[3] : L"";
    delay_if_asked(L"netsh", verb);
    if (auto code = forced_exit(L"netsh", verb)) return *code;
    if (argc < 6 || !iequals(argv[1], L"advfirewall") || !iequals(argv[2], L"firewall") ||
        !iequals(argv[4], L"rule")) {
        say("The following command was not found: advfirewall firewall.\r\n");
        return 1;
    }
    std::string name = utf8(value_of(argc, argv, L"name="));
    auto rules = load_state(L"netsh");
    if (iequals(verb, L"add")) {
        // Like the real tool, adding never replaces: two adds give two rules of one name.
        rules.push_back({name, utf8(value_of(argc, argv, L"dir=")),
                         utf8(value_of(argc, argv, L"action=")),
                         utf8(value_of(argc, argv, L"protocol=")),
                         utf8(value_of(argc, argv, L"localport=")),
                         utf8(value_of(argc, argv, L"profile="))});
        save_state(L"netsh", rules);
        say("Ok.\r\n\r\n");
        return 0;
    }
    std::vector<Record> kept, matched;
    for (auto& rule : rules) (rule[0] == name ? matched : kept).push_back(rule);
    if (matched.empty()) return no_match();
    if (iequals(verb, L"delete")) {
        save_state(L"netsh", kept);
        say("\r\nDeleted " + std::to_string(matched.size()) + " rule(s).\r\nOk.\r\n\r\n");
        return 0;
    }
    if (iequals(verb, L"show")) {
        for (const auto& rule : matched)
            say("\r\nRule Name:                            " + rule[0] +
                "\r\n----------------------------------------------------------------------" +
                "\r\nEnabled:                              Yes\r\nDirection:                            " +
                rule[1] + "\r\nProfiles:                             " + rule[5] +
                "\r\nProtocol:                             " + rule[3] +
                "\r\nLocalPort:                            " + rule[4] +
                "\r\nAction:                               " + rule[2] + "\r\n");
        say("Ok.\r\n\r\n");
        return 0;
    }
    say("The following command was not found: advfirewall firewall " + utf8(verb) + ".\r\n");
    return 1;
}
