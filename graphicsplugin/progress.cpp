#include "progress.h"

using namespace imaging;

namespace gp {

ProgressHandlers progressHandlersOf(REALobject obj, const REALclassDefinition &cls) {
    auto handler = [&](uint32_t i) {
        return i < cls.eventCount ? eventInstance(obj, cls.events[i].forSystemUse) : nullptr;
    };
    return {handler(0), handler(1), handler(2)};
}

OSErr raiseProgress(REALobject obj, int32_t mode, const ProgressHandlers &handlers, int16_t message, Fixed completeness,
                    OSErr cancelled) {
    using OpenOrClose = void (*)(REALobject);
    using UpdatePercent = RBBoolean (*)(REALobject, double);
    GWorldRef savedPort = GetGWorld();
    if (mode == 3) yieldToHost();
    OSErr result = noErr;
    switch (message) {
        case codecProgressOpen:
            if (handlers.open) reinterpret_cast<OpenOrClose>(handlers.open)(obj);
            break;
        case codecProgressUpdatePercent:
            if (handlers.updatePercent &&
                (reinterpret_cast<UpdatePercent>(handlers.updatePercent)(obj, completeness / 65536.0) & 1))
                result = cancelled;
            break;
        case codecProgressClose:
            if (handlers.close) reinterpret_cast<OpenOrClose>(handlers.close)(obj);
            break;
        default:
            break;
    }
    SetGWorld(savedPort);
    return result;
}

}  // namespace gp
