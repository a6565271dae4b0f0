#pragma once

namespace velune {

// The formats the converter writes (and whose tags it knows how to write).
enum class TargetFormat { Wav, Mp3, Ogg, Flac, Opus, M4a, Alac };

} // namespace velune
