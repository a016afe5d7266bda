#include "application/largeblocks.h"

#include <malloc.h>

namespace tavrin {

namespace {

constexpr int kMappedFrom = 256 * 1024;     // blocks from this size on are mapped
constexpr int kTrimDefault = 128 * 1024;    // the allocator's own trim threshold
constexpr int kHeapFor = 64 * 1024 * 1024;  // while saving: every frame-sized block

int gSaving = 0;  // scopes open (a save inside a save leaves the policy to the outer one)

}  // namespace

void largeBlocksFromTheSystem() { mallopt(M_MMAP_THRESHOLD, kMappedFrom); }

LargeBlocksReused::LargeBlocksReused() {
    if (gSaving++) return;
    mallopt(M_MMAP_THRESHOLD, kHeapFor);
    mallopt(M_TRIM_THRESHOLD, kHeapFor);
}

LargeBlocksReused::~LargeBlocksReused() {
    if (--gSaving) return;
    mallopt(M_TRIM_THRESHOLD, kTrimDefault);
    mallopt(M_MMAP_THRESHOLD, kMappedFrom);
}

}  // namespace tavrin
