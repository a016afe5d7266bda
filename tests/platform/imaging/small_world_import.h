// An importer over bytes in memory, with a 16x16 world to draw each page
// into, as the plug-in draws what it is handed; all of it let go at the end.
#pragma once

#include "imaging/imaging.h"
#include "imaging/importer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace imaging {

struct SmallWorldImport {
    Handle data = nullptr;
    ComponentInstance ci = 0;
    Rect bounds{0, 0, 16, 16};
    GWorldRef world = 0;

    explicit SmallWorldImport(const std::vector<uint8_t> &bytes) {
        EXPECT_EQ(PtrToHand(bytes.data(), &data, bytes.size()), noErr);
        EXPECT_EQ(OpenADefaultComponent(GraphicsImporterComponentType, 0, &ci), noErr);
        EXPECT_EQ(GraphicsImportSetDataHandle(ci, data), noErr);
        EXPECT_EQ(NewGWorld(&world, 32, &bounds, 0), noErr);
    }
    ~SmallWorldImport() {
        CloseComponent(ci);
        DisposeGWorld(world);
        DisposeHandle(data);
    }
    SmallWorldImport(const SmallWorldImport &) = delete;
    SmallWorldImport &operator=(const SmallWorldImport &) = delete;

    // Draws the current page into the world.
    ComponentResult draw() {
        GraphicsImportSetGWorld(ci, world);
        GraphicsImportSetBoundsRect(ci, &bounds);
        return GraphicsImportDraw(ci);
    }
};

}  // namespace imaging
