// Clips the tests make themselves with GStreamer: numbered frames, each one
// solid colour that stands for its number, encoded as MJPEG in AVI or as DV.
#pragma once

#include <cstdint>
#include <string>

namespace testclips {

enum class Codec { Mjpeg, Dv };

struct ClipSpec {
    Codec codec = Codec::Mjpeg;
    int frames = 30;  // at most kMaxFrames
    int width = 160, height = 120;
    int fpsN = 30, fpsD = 1;
};

// DV as the format has it: 720x480 at 30000/1001 frames a second.
ClipSpec dvSpec(int frames);

// Frames are numbered 0 to kNumbers - 1 and then again from 0: a longer
// clip (for a capture that runs many seconds in real time) repeats them.
constexpr int kNumbers = 125, kMaxFrames = 1200;

// The colour of frame n (0x00RRGGBB), and the frame number a colour stands
// for (n modulo kNumbers; -1 when none is near it). Each channel takes one
// of five levels 44 apart, so a lossy codec may move it by up to 21 either
// way.
uint32_t frameColour(int n);
int frameNumber(uint32_t rgb);
// The frame shown in the middle of ARGB bytes `argb` (width x height).
int frameGrabbedNow(const uint8_t *argb, int width, int height);
// The frame shown in the middle of a saved TIFF file, or -1 (clip_tiff.cpp).
int frameInTiff(const std::string &path);

// Whether GStreamer here has the codec's encoder and muxer.
bool encoderAvailable(Codec codec);

// Writes the clip to `path`; false (with the reason in `why`) when an element
// is missing or the encoding fails.
bool makeClip(const std::string &path, const ClipSpec &spec, std::string *why);

}  // namespace testclips
