// zelk4-archive is one program with a command per job (l, t, p, x). Each command lives in its own
// command_*.cpp and registers itself here at start-up through a static initialiser.
#pragma once

#include <string>

#include <CLI/CLI.hpp>

namespace zelk4::archive_tool {

struct Command {
  const char* name;     // the word after zelk4-archive
  const char* summary;  // one line for --help
  int (*run)(int argc, char** argv);  // argv[0] is the command's name; returns the exit status
};

// Called from a static initialiser in each command's file; returns true.
bool RegisterCommand(const Command& command);

// Exit statuses of every command.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// Parses a command's arguments with CLI11. Returns -1 when the command should go on, otherwise the
// exit status to return (0 after --help, 2 after a usage error, with the message printed).
int ParseCommandLine(CLI::App& app, int argc, char** argv);

// The archive must be a readable file: says so on stderr and returns false otherwise.
bool CheckArchiveReadable(const std::string& archive);

}  // namespace zelk4::archive_tool
