// zelk4-archive is one program with a command per job: a (add), l (list), p (print), t (test) and
// x (extract). Each command lives in its own command_*.cpp; main.cpp holds the table of them.
#pragma once

#include <string>

#include <CLI/CLI.hpp>

namespace zelk4::archive_tool {

// Each takes its arguments with argv[0] the command's name and returns the exit status.
int RunAdd(int argc, char** argv);
int RunList(int argc, char** argv);
int RunPrint(int argc, char** argv);
int RunTest(int argc, char** argv);
int RunExtract(int argc, char** argv);

// Exit statuses of every command.
constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// Parses a command's arguments with CLI11. Returns -1 when the command should go on, otherwise the
// exit status to return (0 after --help, 2 after a usage error, with the message printed).
int ParseCommandLine(CLI::App& app, int argc, char** argv);

// Says on stderr why ARCHIVE could not be read at all: there is no such file, or it is not a
// RAR 2.0 archive.
void ReportUnreadableArchive(const std::string& archive);

}  // namespace zelk4::archive_tool
