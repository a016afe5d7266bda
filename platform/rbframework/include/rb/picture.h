// Pictures of the host runtime: the framework class "Picture", an offscreen
// world of the image services (32-bit ARGB pixels) with the depth it claims,
// or a 24-bit picture over packed R G B rows that someone else holds.
// Plug-ins reach pictures through the services lockPictureDescription /
// unlockPictureDescription (kind 4: the world's reference number) and
// REALBuildPictureFromPicHandle.
#pragma once

#include <rb/object.h>

#include <cstdint>
#include <memory>

namespace rb {

ClassInfo *pictureClass();

// A new picture of width x height claiming `depth` bits (24: colour, no
// alpha), filled white; nil for a size the image services refuse.
ObjRef newPicture(int32_t width, int32_t height, int16_t depth);

// A 24-bit picture over packed R G B rows, `rowBytes` apart, without a copy:
// `rows` keeps them alive as long as the picture lives. The picture is read
// (exported, drawn from) but never drawn into. Nil for a size the image
// services refuse.
ObjRef newPictureOverRows(std::shared_ptr<const uint8_t[]> rows, int32_t width, int32_t height, int32_t rowBytes);

bool isPicture(REALobject obj);
int32_t pictureWidth(REALobject pic);  // 0 for nil or not a picture
int32_t pictureHeight(REALobject pic);
int16_t pictureDepth(REALobject pic);
// The image services' world of a picture, 0 for nil or not a picture.
uint32_t pictureWorld(REALobject pic);

// Draws `src` into `dst` with its top-left corner at (x, y), at src's own
// size, clipped; false when either is not a picture.
bool drawPicture(REALobject dst, REALobject src, int32_t x, int32_t y);

// One pixel as 0x00RRGGBB (0 outside the picture).
uint32_t pixel(REALobject pic, int32_t x, int32_t y);

}  // namespace rb
