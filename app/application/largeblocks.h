// Where the application's large blocks (frames, pictures, encoded frame
// files) come from.
//
// Between saves they go straight back to the system when freed, so the
// temporaries of a grab do not stay resident (set once at start-up). While a
// frame is being saved they come from the heap and stay there for the next
// save: a frame-sized block taken anew from the system costs a page fault per
// page, which on its own takes longer than writing the frame to disk.
#pragma once

namespace tavrin {

// Large blocks are mapped from the system and unmapped when freed.
void largeBlocksFromTheSystem();

// For its lifetime, large blocks come from the heap and freed ones stay
// there; afterwards the start-up policy holds again.
class LargeBlocksReused {
public:
    LargeBlocksReused();
    ~LargeBlocksReused();
    LargeBlocksReused(const LargeBlocksReused &) = delete;
    LargeBlocksReused &operator=(const LargeBlocksReused &) = delete;
};

}  // namespace tavrin
