#include "tools/output_files/png_file.h"

#include "tools/output_files/safe_file.h"

#include <stb/stb_image_write.h>

namespace output_files {

bool writePng(const std::string& path, int width, int height, const uint8_t* rgb, std::string* error,
              bool* outOfMemory) {
    SafeFile file;
    if (!file.open(path, error)) return false;
    const auto append = [](void* context, void* data, int size) {
        static_cast<SafeFile*>(context)->write(data, size_t(size));
    };
    // The encoder fails only when its buffers (the filtered rows, the compressed stream) cannot be had.
    if (!stbi_write_png_to_func(append, &file, width, height, 3, rgb, width * 3)) {
        *error = "cannot write " + path + ": out of memory for the encoded image";
        if (outOfMemory) *outOfMemory = true;
        return false;
    }
    return file.commit(error);
}

} // namespace output_files
