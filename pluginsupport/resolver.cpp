#include "resolver.h"

REALResolver gResolver = nullptr;
std::atomic<uint32_t> gResolverGeneration{0};
