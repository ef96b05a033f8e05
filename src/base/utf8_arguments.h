// The program's command line as UTF-8, read once at the start of main. On Windows the `argv`
// main is given is in the ANSI code page, which loses any character it lacks ("产线3" in a
// Western European one); the command line is read again as the system keeps it, in UTF-16
// (GetCommandLineW), and turned into UTF-8. On POSIX the arguments are taken as they are.
// The object owns the strings its Argv() points into: it must outlive every use of them.
#pragma once

#include <string>
#include <vector>

namespace qvlink {

class Utf8Arguments {
  public:
    Utf8Arguments(int argc, char** argv);
    Utf8Arguments(const Utf8Arguments&) = delete;
    Utf8Arguments& operator=(const Utf8Arguments&) = delete;

    int Argc() const { return static_cast<int>(texts_.size()); }
    // argv-shaped: Argc() pointers to the texts, then a null pointer.
    char** Argv() { return pointers_.data(); }
    const std::vector<std::string>& Texts() const { return texts_; }

  private:
    std::vector<std::string> texts_;
    std::vector<char*> pointers_;
};

}  // namespace qvlink
