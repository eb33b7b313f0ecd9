#include "base/CommandLine.h"

#include <algorithm>
#include <optional>

namespace gridport {

bool CommandLine::Has(std::string_view name) const {
    return std::any_of(options.begin(), options.end(), [name](const GivenOption& given) { return given.name == name; });
}

Error UsageError(std::string message) {
    return Error(ErrorKind::Usage, {}, std::move(message));
}

int ExitStatus(const Error& error) {
    return error.Kind() == ErrorKind::Usage ? 2 : 1;
}

namespace {

// The option an argument names, and the value joined to it ("--x=y", "-xy").
struct Named {
    const DeclaredOption* option = nullptr;
    std::string spelt;  // "--jobs", "-j"
    std::optional<std::string> joined;
};

Named Find(const std::string& argument, const std::vector<DeclaredOption>& declared) {
    Named named;
    if (argument.rfind("--", 0) == 0) {
        const std::size_t equals = argument.find('=');
        named.spelt = argument.substr(0, equals);
        if (equals != std::string::npos) {
            named.joined = argument.substr(equals + 1);
        }
        for (const DeclaredOption& option : declared) {
            if (named.spelt.substr(2) == option.name) {
                named.option = &option;
            }
        }
        return named;
    }
    named.spelt = argument.substr(0, 2);
    for (const DeclaredOption& option : declared) {
        if (option.letter != '\0' && argument[1] == option.letter) {
            named.option = &option;
        }
    }
    if (argument.size() > 2) {
        // "-xVALUE", or "-x=VALUE"; a flag can't have one.
        if (named.option == nullptr || !named.option->takesValue) {
            named.option = nullptr;
            named.spelt = argument;
        } else {
            named.joined = argument.substr(argument[2] == '=' ? 3 : 2);
        }
    }
    return named;
}

}  // namespace

Expected<CommandLine> ParseCommandLine(const std::vector<std::string>& arguments,
                                       const std::vector<DeclaredOption>& declared) {
    CommandLine line;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            line.operands.push_back(argument);  // "-" too
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "-h" || argument == "--help") {
            line.help = true;
        } else if (argument == "-v" || argument == "-V" || argument == "--version") {
            line.version = true;
        } else {
            Named named = Find(argument, declared);
            if (named.option == nullptr) {
                return UsageError("unknown option '" + named.spelt + "'");
            }
            const DeclaredOption& option = *named.option;
            if (!option.repeatable && line.Has(option.name)) {
                return UsageError(named.spelt + " is given twice");
            }
            std::string value;
            if (!option.takesValue) {
                if (named.joined) {
                    return UsageError(named.spelt + " takes no value");
                }
            } else if (named.joined) {
                value = std::move(*named.joined);
            } else if (i + 1 < arguments.size()) {
                value = arguments[++i];
            } else {
                return UsageError(named.spelt + " needs a value");
            }
            line.options.push_back(GivenOption{option.name, std::move(value)});
        }
    }
    return line;
}

}  // namespace gridport
