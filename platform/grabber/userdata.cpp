// QTUserDataPlyx: the holder of image user data that the graphics plug-in
// creates by name for metadata results and recognises by the tag 'QTUD' in
// its first data word. It has no members the application binds.
#include "members.h"

#include "imaging/imaging.h"

#include <cstddef>

namespace grab {

namespace {

struct UserDataHolder {
    uint32_t tag;   // 'QTUD'
    uint32_t owns;  // the holder disposes the user data when it goes
    uint32_t unused;
    imaging::UserData userData;
};

constexpr uint32_t kUserDataTag = 0x51545544;

void construct(REALobject o) {
    if (auto *d = static_cast<UserDataHolder *>(instanceData(o, "QTUserDataPlyx"))) d->tag = kUserDataTag;
}

void destroy(REALobject o) {
    auto *d = static_cast<UserDataHolder *>(instanceData(o, "QTUserDataPlyx"));
    if (!d) return;
    if (d->owns && d->userData) imaging::DisposeUserData(d->userData);
    d->userData = nullptr;
}

}  // namespace

#define MEMBERS_DEF "grabber/outside_members.def"
#define PLUGIN_SECTION OUTSIDE_USERDATA
#define CLASS_RECORD gUserDataClass
#define CLASS_DATA UserDataHolder
#include "class_records.inc"

}  // namespace grab
