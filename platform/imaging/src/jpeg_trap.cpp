#include "jpeg_trap.h"

namespace imaging::jpeg {

namespace {
void jumpBack(j_common_ptr c) { longjmp(reinterpret_cast<JpegTrap *>(c->err)->jump, 1); }
void noMessage(j_common_ptr) {}
void noLevelledMessage(j_common_ptr, int) {}
}  // namespace

jpeg_error_mgr *JpegTrap::install() {
    jpeg_std_error(&mgr);
    mgr.error_exit = jumpBack;
    mgr.output_message = noMessage;
    mgr.emit_message = noLevelledMessage;
    return &mgr;
}

}  // namespace imaging::jpeg
