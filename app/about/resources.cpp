#include "about/resources.h"

#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>

namespace tavrin {

namespace {

std::string resourceFolder() {
    if (const char *dir = std::getenv("TAVRIN_RESOURCES"); dir && *dir) return dir;
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return "../share/tavrin";
    std::string exe(buf, size_t(n));
    return exe.substr(0, exe.rfind('/') + 1) + "../share/tavrin";
}

// The next header number of a PPM, skipping blanks and comments; -1 when
// there is none.
long headerNumber(const std::string &b, size_t &at) {
    for (;;) {
        while (at < b.size() && std::isspace(static_cast<unsigned char>(b[at]))) ++at;
        if (at < b.size() && b[at] == '#') {
            while (at < b.size() && b[at] != '\n') ++at;
            continue;
        }
        break;
    }
    long v = 0;
    size_t start = at;
    while (at < b.size() && std::isdigit(static_cast<unsigned char>(b[at])) && v < 100000) v = v * 10 + (b[at++] - '0');
    return at == start ? -1 : v;
}

}  // namespace

std::shared_ptr<const rb::Image> decodePPM(const std::string &b) {
    if (b.size() < 2 || b[0] != 'P' || b[1] != '6') return nullptr;
    size_t at = 2;
    long w = headerNumber(b, at), h = headerNumber(b, at), max = headerNumber(b, at);
    if (w < 1 || h < 1 || w > 4096 || h > 4096 || max != 255 || at >= b.size() ||
        !std::isspace(static_cast<unsigned char>(b[at])))
        return nullptr;
    ++at;
    size_t count = size_t(w) * size_t(h);
    if (b.size() - at < count * 3) return nullptr;
    auto img = std::make_shared<rb::Image>();
    img->width = int(w);
    img->height = int(h);
    img->pixels.resize(count);
    const auto *p = reinterpret_cast<const unsigned char *>(b.data() + at);
    for (size_t i = 0; i < count; ++i, p += 3) img->pixels[i] = uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
    return img;
}

std::shared_ptr<const rb::Image> pictureResource(const std::string &name) {
    static std::map<std::string, std::shared_ptr<const rb::Image>> kept;
    auto it = kept.find(name);
    if (it != kept.end()) return it->second;
    std::ifstream in(resourceFolder() + "/" + name + ".ppm", std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto img = decodePPM(bytes);
    if (img) kept[name] = img;  // a missing one is looked for again next time
    return img;
}

}  // namespace tavrin
