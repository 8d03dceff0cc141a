// Program start.
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
    std::puts("Tavik! 4.5.1");
    return 0;
  }
  std::puts("Tavik! 4.5.1");
  return 0;
}
