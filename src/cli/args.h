// SPDX-License-Identifier: GPL-3.0-or-later
// args.h - moviestick-cli's command line: the commands, their options, and the parse that both
// the lean program and its media helper make of the same arguments.
#pragma once

#include <string>
#include <vector>

struct OptionDef {
    const char* name;     // "--set"
    char shortName;       // 'o', or 0
    const char* value;    // the value's placeholder ("TEXT"), or null for a flag
    const char* summary;  // one line for the command's help
};

struct CommandDef {
    const char* name;
    const char* synopsis;  // the usage lines, without "usage: "
    const char* summary;   // what the command does, for the help text
    std::vector<OptionDef> options;
    // The helper program in libexec/moviestick that runs the command, for those that need
    // FFmpeg or Qt; null for those moviestick-cli runs itself.
    const char* helper;
};

inline constexpr char kThumbHelper[] = "moviestick-cli-thumb";
inline constexpr char kMediaHelper[] = "moviestick-cli-media";

// Every command, in the order the help shows them.
const std::vector<CommandDef>& Commands();
[[nodiscard]] const CommandDef* FindCommand(const std::string& name);

struct ParsedCommand {
    const CommandDef* def = nullptr;
    bool help = false;                                         // COMMAND --help
    std::vector<std::pair<std::string, std::string>> options;  // long name, value ("" for a flag)
    std::vector<std::string> files;

    [[nodiscard]] bool has(const char* name) const;
    // The value of the option's last occurrence ("" when absent).
    [[nodiscard]] std::string value(const char* name) const;
};

// Parses the arguments after the command name: options wherever they stand (long ones also as
// --name=VALUE), until "--", after which everything is a file. False with the reason in *error
// on an unknown option or a missing value.
[[nodiscard]] bool ParseCommand(const CommandDef& def, const std::vector<std::string>& args,
                                ParsedCommand* parsed, std::string* error);

// The whole help text, and one command's.
[[nodiscard]] std::string FullHelp();
[[nodiscard]] std::string CommandHelp(const CommandDef& def);
// The lines a usage error ends with: the command's synopsis (or the general one) and where the
// whole text is.
[[nodiscard]] std::string UsageHint(const CommandDef* def);

// Prints the usage error and the usage lines on stderr; returns kExitUsage.
int UsageError(const CommandDef* def, const std::string& why);

// Reads the arguments after the command name argv[1] for def: prints the command's help, or the
// usage error, and gives the status to end with in *exitStatus then. True when the command is to
// run with *parsed.
[[nodiscard]] bool PrepareCommand(const CommandDef& def, int argc, char** argv,
                                  ParsedCommand* parsed, int* exitStatus);

// A number of seconds: finite, not negative, nothing after it.
[[nodiscard]] bool ParseSeconds(const std::string& text, double* seconds);

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // some file failed
inline constexpr int kExitUsage = 2;    // wrong usage

// The rules between a command's options and files that the parse alone does not see ("--set"
// with "--from-name", "-o" with several files, a time that is not a number). False with the
// reason in *error.
[[nodiscard]] bool CheckCommand(const ParsedCommand& parsed, std::string* error);
