// Paths as the programs hold them, UTF-8 strings (from the command line, the settings, a chooser),
// and as the standard library opens them, std::filesystem::path. On Windows a path made straight
// from a std::string reads it in the system's ANSI code page and path::string() writes it back
// in that code page (or throws when a character has no place there), so a folder named
// "Prüfstand" or "产线3" would be lost on the way: every path made from our strings, and every
// path shown in a message, goes through these two. On POSIX both keep the bytes as they are.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

namespace qvlink {

std::filesystem::path PathFromUtf8(const std::string& utf8);
std::string Utf8FromPath(const std::filesystem::path& path);
// std::fopen of a UTF-8 path; null with errno set when it cannot be opened.
std::FILE* OpenFile(const std::string& utf8, const char* mode);

}  // namespace qvlink
