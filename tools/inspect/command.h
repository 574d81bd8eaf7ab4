// zelk4-inspect is one program with a subcommand per kind of file (image, module, scene). Each
// subcommand lives in its own inspect_*.cpp; main.cpp lists them in its command table.
#pragma once

namespace zelk4::inspect {

// argv[0] is the subcommand's name; each returns the program's exit status.
int RunImage(int argc, char** argv);
int RunModule(int argc, char** argv);
int RunScene(int argc, char** argv);

}  // namespace zelk4::inspect
