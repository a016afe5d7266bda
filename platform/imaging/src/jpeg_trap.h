// The one error trap for libjpeg: its errors jump back to the caller's
// setjmp instead of exiting, and its messages are not printed. Internal to
// the imaging library.
//
//     JpegTrap trap;
//     cinfo.err = trap.install();
//     if (setjmp(trap.jump)) { ...destroy cinfo, return a status... }
//
// The function that calls setjmp keeps nothing the jump would skip over
// that owns resources.
#pragma once

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace imaging::jpeg {

struct JpegTrap {
    jpeg_error_mgr mgr;
    jmp_buf jump;
    jpeg_error_mgr *install();
};

}  // namespace imaging::jpeg
