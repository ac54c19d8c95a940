// A stand-in for the user's pre- and post-synchronisation programs:
//   probe <milliseconds> <exit code> <output file> [arguments...]
// sleeps, writes each argument on a line of its own to the output file, and
// ends with the exit code.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc < 4) return 2;
  Sleep(static_cast<DWORD>(std::atoi(argv[1])));
  if (FILE* out = std::fopen(argv[3], "wb")) {
    for (int i = 4; i < argc; ++i) std::fprintf(out, "[%s]\n", argv[i]);
    std::fclose(out);
  }
  return std::atoi(argv[2]);
}
