// zelk4-inspect is one program with a subcommand per kind of file (image, module, scene). Each
// subcommand lives in its own inspect_*.cpp and registers itself here at start-up.
#pragma once

namespace zelk4::inspect {

struct Command {
  const char* name;     // the word after zelk4-inspect
  const char* summary;  // one line for --help
  int (*run)(int argc, char** argv);  // argv[0] is the subcommand's name; returns the exit status
};

// Called from a static initialiser in each subcommand's file; returns true.
bool RegisterCommand(const Command& command);

}  // namespace zelk4::inspect
