// SPDX-License-Identifier: GPL-3.0-or-later
// args.cpp - moviestick-cli's command line: the commands, their options, and the parse.
#include "cli/args.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

const std::vector<CommandDef>& Commands() {
    static const std::vector<CommandDef> commands = {
        {"tree", "moviestick-cli tree FILE...", "print each movie's atom tree", {}, nullptr},
        {"title",
         "moviestick-cli title [--json] FILE...\n"
         "       moviestick-cli title --set TEXT FILE...\n"
         "       moviestick-cli title --from-name FILE...",
         "print each movie's title, or set it",
         {{"--set", 0, "TEXT", "set every movie's title to TEXT"},
          {"--from-name", 0, nullptr, "set each title from its file name, without the ending"},
          {"--json", 0, nullptr, "print one JSON array of {file, title, kind, error}"}},
         nullptr},
        {"type",
         "moviestick-cli type [--json] FILE...",
         "print the video coding the PSP plays (mp4v, avc1), or why it cannot play the movie",
         {{"--json", 0, nullptr, "print one JSON array of {file, title, kind, error}"}},
         nullptr},
        {"check",
         "moviestick-cli check [--json] FILE...",
         "tell whether each movie can go to a PSP as it is, and into which folder",
         {{"--json", 0, nullptr, "print one JSON array of {file, title, kind, folder, error}"}},
         nullptr},
        {"thumb",
         "moviestick-cli thumb [--at SECONDS] [-o OUT] FILE...",
         "write each movie's .THM thumbnail beside it (or to OUT, for one movie)",
         {{"--at", 0, "SECONDS", "the frame shown at SECONDS (default: 10 % into the movie)"},
          {"--output", 'o', "OUT", "write the thumbnail to OUT; only with one FILE"}},
         kThumbHelper},
        {"convert",
         "moviestick-cli convert [-o OUT] FILE...",
         "write a PSP-ready copy \"NAME (PSP).mp4\" beside each video, never over a file",
         {{"--output", 'o', "OUT", "write the copy to OUT instead; only with one FILE"}},
         kMediaHelper},
        {"send",
         "moviestick-cli send [--device MOUNTPOINT] [--no-thumbnails] [--unmount] FILE...",
         "copy the movies to the PSP memory stick under its own names, with their thumbnails",
         {{"--device", 0, "MOUNTPOINT", "the memory stick mounted there (needed when several are)"},
          {"--no-thumbnails", 0, nullptr, "leave the .THM thumbnails behind"},
          {"--unmount", 0, nullptr, "unmount the memory stick when every movie went"}},
         kMediaHelper},
    };
    return commands;
}

const CommandDef* FindCommand(const std::string& name) {
    for (const CommandDef& def : Commands())
        if (name == def.name) return &def;
    return nullptr;
}

bool ParsedCommand::has(const char* name) const {
    for (const auto& [given, ignored] : options)
        if (given == name) return true;
    return false;
}

std::string ParsedCommand::value(const char* name) const {
    std::string found;
    for (const auto& [given, text] : options)
        if (given == name) found = text;
    return found;
}

static const OptionDef* findOption(const CommandDef& def, const std::string& name) {
    for (const OptionDef& option : def.options) {
        if (name == option.name) return &option;
        if (option.shortName && name.size() == 2 && name[0] == '-' && name[1] == option.shortName)
            return &option;
    }
    return nullptr;
}

bool ParseCommand(const CommandDef& def, const std::vector<std::string>& args,
                  ParsedCommand* parsed, std::string* error) {
    *parsed = ParsedCommand{};
    parsed->def = &def;
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        // A lone "-" is a file name like any other.
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            parsed->files.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            parsed->help = true;
            continue;
        }
        const size_t equals = arg.rfind("--", 0) == 0 ? arg.find('=') : std::string::npos;
        const std::string name = arg.substr(0, equals);
        const OptionDef* option = findOption(def, name);
        if (!option) {
            *error = "unknown option '" + name + "' for '" + def.name + "'";
            return false;
        }
        if (!option->value) {
            if (equals != std::string::npos) {
                *error = std::string(option->name) + " takes no value";
                return false;
            }
            parsed->options.emplace_back(option->name, "");
            continue;
        }
        if (equals != std::string::npos) {
            parsed->options.emplace_back(option->name, arg.substr(equals + 1));
            continue;
        }
        // The value is the next argument whatever it looks like, so that a title may be
        // "--help" or begin with a dash.
        if (i + 1 == args.size()) {
            *error = std::string(option->name) + " needs a value (" + option->value + ")";
            return false;
        }
        parsed->options.emplace_back(option->name, args[++i]);
    }
    return true;
}

static const char kExitStatusText[] =
    "Exit status: 0 when every file was done, 1 when some file failed (each one named on\n"
    "stderr with the reason), 2 on wrong usage.\n";

std::string FullHelp() {
    std::string text;
    const char* lead = "usage: ";
    for (const CommandDef& def : Commands()) {
        text += lead;
        text += def.synopsis;
        text += '\n';
        lead = "       ";
    }
    text +=
        "       moviestick-cli COMMAND --help\n"
        "       moviestick-cli --help | --version\n"
        "\nCommands:\n";
    for (const CommandDef& def : Commands()) {
        std::string name = def.name;
        name.resize(10, ' ');
        text += "  " + name + def.summary + "\n";
    }
    text += "\nOptions end at \"--\"; every argument after it is a file.\n";
    text += kExitStatusText;
    return text;
}

std::string CommandHelp(const CommandDef& def) {
    std::string summary = def.summary;
    summary[0] = static_cast<char>(toupper(static_cast<unsigned char>(summary[0])));
    std::string text = std::string("usage: ") + def.synopsis + "\n" + summary + ".\n";
    if (!def.options.empty()) text += "\nOptions:\n";
    for (const OptionDef& option : def.options) {
        std::string names = option.shortName ? std::string("-") + option.shortName + ", " : "    ";
        names += option.name;
        if (option.value) names += std::string(" ") + option.value;
        names.resize(std::max<size_t>(names.size() + 2, 22), ' ');
        text += "  " + names + option.summary + "\n";
    }
    text += "\nOptions end at \"--\"; every argument after it is a file.\n";
    text += kExitStatusText;
    return text;
}

std::string UsageHint(const CommandDef* def) {
    if (def)
        return std::string("usage: ") + def->synopsis + "\n(moviestick-cli " + def->name +
               " --help for more)\n";
    return "usage: moviestick-cli COMMAND [OPTION...] FILE...\n"
           "(moviestick-cli --help for the commands)\n";
}

int UsageError(const CommandDef* def, const std::string& why) {
    fprintf(stderr, "moviestick-cli: %s\n%s", why.c_str(), UsageHint(def).c_str());
    return kExitUsage;
}

bool PrepareCommand(const CommandDef& def, int argc, char** argv, ParsedCommand* parsed,
                    int* exitStatus) {
    std::string why;
    if (!ParseCommand(def, std::vector<std::string>(argv + 2, argv + argc), parsed, &why)) {
        *exitStatus = UsageError(&def, why);
        return false;
    }
    if (parsed->help) {
        fputs(CommandHelp(def).c_str(), stdout);
        *exitStatus = kExitOk;
        return false;
    }
    if (!CheckCommand(*parsed, &why)) {
        *exitStatus = UsageError(&def, why);
        return false;
    }
    return true;
}

bool ParseSeconds(const std::string& text, double* seconds) {
    char* end = nullptr;
    *seconds = strtod(text.c_str(), &end);
    return end != text.c_str() && *end == '\0' && std::isfinite(*seconds) && *seconds >= 0;
}

bool CheckCommand(const ParsedCommand& parsed, std::string* error) {
    const std::string name = parsed.def->name;
    if (parsed.files.empty()) {
        *error = "no file given";
        return false;
    }
    if (name == "title") {
        const bool setting = parsed.has("--set") || parsed.has("--from-name");
        if (parsed.has("--set") && parsed.has("--from-name")) {
            *error = "--set and --from-name cannot go together";
            return false;
        }
        if (setting && parsed.has("--json")) {
            *error = "--json is for reading titles, not setting them";
            return false;
        }
    }
    if (parsed.has("--output") && parsed.files.size() > 1) {
        *error = "-o takes one FILE only";
        return false;
    }
    if (parsed.has("--output") && parsed.value("--output").empty()) {
        *error = "-o needs a file name";
        return false;
    }
    if (parsed.has("--device") && parsed.value("--device").empty()) {
        *error = "--device needs a mount point";
        return false;
    }
    double seconds = 0;
    if (parsed.has("--at") && !ParseSeconds(parsed.value("--at"), &seconds)) {
        *error = "'" + parsed.value("--at") + "' is not a number of seconds";
        return false;
    }
    return true;
}
