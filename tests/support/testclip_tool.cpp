// testclip: numbered clips for the script tests.
//   testclip make <path.avi> <frames> <width> <height> <fps>   MJPEG in AVI
//   testclip frame <file.tif>...                          the frame each file shows
//   testclip colour <RRGGBB>...                           the frame each colour stands for
#include "clips.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: testclip make <path> <frames> <width> <height> <fps> | testclip frame <file.tif>... | "
                 "testclip colour <RRGGBB>...\n");
    return 2;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 3) return usage();
    std::string verb = argv[1];
    if (verb == "make" && argc == 7) {
        testclips::ClipSpec spec;
        spec.frames = std::atoi(argv[3]);
        spec.width = std::atoi(argv[4]);
        spec.height = std::atoi(argv[5]);
        spec.fpsN = std::atoi(argv[6]);
        std::string why;
        if (!testclips::makeClip(argv[2], spec, &why)) {
            std::fprintf(stderr, "testclip: %s\n", why.c_str());
            return 1;
        }
        return 0;
    }
    if (verb == "frame") {
        for (int i = 2; i < argc; ++i) std::printf("%d\n", testclips::frameInTiff(argv[i]));
        return 0;
    }
    if (verb == "colour") {
        for (int i = 2; i < argc; ++i)
            std::printf("%d\n", testclips::frameNumber(uint32_t(std::strtoul(argv[i], nullptr, 16))));
        return 0;
    }
    return usage();
}
