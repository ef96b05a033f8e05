// What every program prints for --version: its own name, the product, the project's version
// from the build, and the commit the build was made from when there was a checkout to ask.
// The one place a program's version comes from.
#pragma once

#include <string>

namespace qvlink {

// "qvlink-cli (Quorvane Link) 1.1 (commit 79e2aa6f01)", or without the commit part when the
// build had none.
std::string VersionLine(const std::string& program);

// The version alone, as a record names it: "1.1", or "1.1+79e2aa6f01" when the commit is known.
std::string ProgramVersion();

// When one of the arguments after the program's name is "--version", prints VersionLine to
// stdout and returns true; the program then ends with status 0 and does nothing else.
bool PrintVersionIfAsked(int argc, char** argv, const std::string& program);

}  // namespace qvlink
