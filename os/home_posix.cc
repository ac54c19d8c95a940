#include "os/home_posix.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace bolvarin {

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return home;
  const passwd* pw = getpwuid(getuid());
  if (pw != nullptr && pw->pw_dir != nullptr && pw->pw_dir[0] == '/') return pw->pw_dir;
  return {};
}

}  // namespace bolvarin
