// prefix_tool.exe, a console program built for each architecture and run in
// the test prefixes:
//   prefix_tool mirror   after regsvr32 of a tuner DLL of this architecture
//                        (see class_mirror.h)
//   prefix_tool arch     prints x86 or x64: whether this machine runs the
//                        programs of this architecture at all
#include <cstdio>
#include <cstring>

#include "class_mirror.h"

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "mirror") == 0) return MirrorTunerClass() ? 0 : 1;
    if (argc == 2 && std::strcmp(argv[1], "arch") == 0) {
        std::puts(sizeof(void*) == 4 ? "x86" : "x64");
        return 0;
    }
    std::fputs("usage: prefix_tool mirror|arch\n", stderr);
    return 2;
}
