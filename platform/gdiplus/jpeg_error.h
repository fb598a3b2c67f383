#pragma once

// libjpeg reports an error by calling error_exit, which must not return. Ours jumps back
// to the setjmp of the code that started the work, so the object that holds the manager
// (and everything the jump skips) must have no destructor that matters.

#include <cstdio> // jpeglib.h needs FILE
#include <jerror.h>
#include <jpeglib.h>

#include <csetjmp>

namespace gp::codec {

struct JpegErrorManager {
    jpeg_error_mgr base;
    jmp_buf jump;
};

[[noreturn]] inline void jpegErrorExit(j_common_ptr info) {
    longjmp(reinterpret_cast<JpegErrorManager*>(info->err)->jump, 1);
}

inline void jpegSilentMessage(j_common_ptr, int) {}

// Warnings are silent, except running out of data: a truncated file is a failure, not an
// image padded with grey.
inline void jpegFailOnTruncation(j_common_ptr info, int level) {
    if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF)
        jpegErrorExit(info);
}

// Makes `manager` the error manager to hand to a libjpeg object, with `emit` for its
// messages.
inline jpeg_error_mgr* useJpegErrorManager(JpegErrorManager& manager,
                                           void (*emit)(j_common_ptr, int)) {
    jpeg_error_mgr* e = jpeg_std_error(&manager.base);
    e->error_exit = jpegErrorExit;
    e->emit_message = emit;
    return e;
}

} // namespace gp::codec
