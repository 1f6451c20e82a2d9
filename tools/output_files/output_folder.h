// The folder a tool writes its files into (frames, pages), made with its parents where missing.
#pragma once

#include <string>

namespace output_files {

// True when `path` is a folder afterwards. Otherwise false, and `error` says why in one line; a file in
// the way is named as such, where the system would say only "File exists" or "Not a directory".
bool makeOutputFolder(const std::string& path, std::string* error);

} // namespace output_files
