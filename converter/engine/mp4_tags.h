#pragma once

#include "tags.h"

#include <QString>
#include <utility>
#include <vector>

namespace velune {

// Sets iTunes' free-form fields ("----:com.apple.iTunes:NAME") of an MP4 file, each
// replacing its earlier values, and leaves every other atom as it is: the loudness
// fields of a copy, an encoding's iTunSMPB.
bool WriteMp4Fields(const QString& path, const std::vector<std::pair<QString, QString>>& fields,
                    QString& error);

// The iTunSMPB field that tells players an AAC stream's encoder delay, its padding
// and the samples between them.
std::pair<QString, QString> GaplessField(qint64 delay, qint64 padding, qint64 samples);

} // namespace velune
