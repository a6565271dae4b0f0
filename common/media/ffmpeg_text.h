#pragma once

// What FFmpeg's codes and paths are in the engine's two FFmpeg adapters.

#include <QByteArray>
#include <QString>

#include "system_names.h"

extern "C" {
#include <libavutil/error.h>
}

namespace velune {

// FFmpeg's words for an error code.
inline QString FfmpegErrorText(int error) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    return QString::fromLocal8Bit(text);
}

// A local path for FFmpeg's file protocol, whatever characters the name holds.
inline QByteArray FfmpegFileUrl(const QString& path) {
    return QByteArrayLiteral("file:") + SystemName(path);
}

} // namespace velune
