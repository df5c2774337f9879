// The one way engine code writes a log line: nothing without a sink, and every line starts
// with the class and operation that wrote it ("CCamera::Stop: stopping snap").
//
//   KAVRIN_LOG(GetLog(), 1, "CCamera::Stop", "grabbed %llu images", count);
//
// A few fixed texts carry no such prefix ("UpdateThread started!"); they go through
// KAVRIN_LOG_PLAIN, which writes `format` as it stands.
//
// `where` and `format` must be string literals: they are joined at compile time, so the
// compiler checks the arguments against the whole format and no caller's text is ever used
// as a format.
#pragma once

#include "external/DebugSink.h"

#define KAVRIN_LOG(sink, level, where, format, ...)                                                \
    do {                                                                                           \
        if (CDebugSink* kavrinLogSink_ = (sink))                                                   \
            kavrinLogSink_->Log((level), where ": " format __VA_OPT__(, ) __VA_ARGS__);            \
    } while (0)

#define KAVRIN_LOG_PLAIN(sink, level, format, ...)                                                 \
    do {                                                                                           \
        if (CDebugSink* kavrinLogSink_ = (sink))                                                   \
            kavrinLogSink_->Log((level), "" format __VA_OPT__(, ) __VA_ARGS__);                    \
    } while (0)
