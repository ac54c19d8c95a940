#include "host/image_lock.h"

#include <filesystem>

#include "os/temp_names.h"

namespace bolvarin::host {

ImageLock::ImageLock(const std::string& image, const std::string& command)
    : lock_(LockFileOf(image), command) {
  const std::filesystem::path path(image);
  RemoveLeftoverTemporaries(path.parent_path().string(), {path.filename().string()}, false);
}

}  // namespace bolvarin::host
