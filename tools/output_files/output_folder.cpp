#include "tools/output_files/output_folder.h"

#include <filesystem>

namespace output_files {

bool makeOutputFolder(const std::string& path, std::string* error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::create_directories(path, ec);
    if (!ec && fs::is_directory(path, ec)) return true;
    // The first part of the path that exists but is no folder is what stands in the way.
    fs::path part;
    for (const fs::path& name : fs::path(path)) {
        part /= name;
        std::error_code statError;
        const fs::file_status status = fs::status(part, statError);
        if (fs::exists(status) && !fs::is_directory(status)) {
            *error = "cannot create the folder " + path + ": " + part.string() + " is a file, not a folder";
            return false;
        }
    }
    *error = "cannot create the folder " + path + ": " + (ec ? ec.message() : "it is not a folder");
    return false;
}

} // namespace output_files
