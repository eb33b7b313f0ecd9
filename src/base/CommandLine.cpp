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

// The spec an argument names, and the value joined to it ("--x=y", "-xy").
struct Named {
    const OptionSpec* spec = nullptr;
    std::string spelt;  // "--jobs", "-j"
    std::optional<std::string> joined;
};

Named Find(const std::string& argument, const std::vector<OptionSpec>& specs) {
    Named named;
    if (argument.rfind("--", 0) == 0) {
        const std::size_t equals = argument.find('=');
        named.spelt = argument.substr(0, equals);
        if (equals != std::string::npos) {
            named.joined = argument.substr(equals + 1);
        }
        for (const OptionSpec& spec : specs) {
            if (named.spelt.substr(2) == spec.name) {
                named.spec = &spec;
            }
        }
        return named;
    }
    named.spelt = argument.substr(0, 2);
    for (const OptionSpec& spec : specs) {
        if (spec.letter != '\0' && argument[1] == spec.letter) {
            named.spec = &spec;
        }
    }
    if (argument.size() > 2) {
        // "-xVALUE", or "-x=VALUE"; a flag can't have one.
        if (named.spec == nullptr || !named.spec->takesValue) {
            named.spec = nullptr;
            named.spelt = argument;
        } else {
            named.joined = argument.substr(argument[2] == '=' ? 3 : 2);
        }
    }
    return named;
}

}  // namespace

Expected<CommandLine> ParseCommandLine(const std::vector<std::string>& arguments,
                                       const std::vector<OptionSpec>& specs) {
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
            Named named = Find(argument, specs);
            if (named.spec == nullptr) {
                return UsageError("unknown option '" + named.spelt + "'");
            }
            const OptionSpec& spec = *named.spec;
            if (!spec.repeatable && line.Has(spec.name)) {
                return UsageError(named.spelt + " is given twice");
            }
            std::string value;
            if (!spec.takesValue) {
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
            line.options.push_back(GivenOption{spec.name, std::move(value)});
        }
    }
    return line;
}

}  // namespace gridport
