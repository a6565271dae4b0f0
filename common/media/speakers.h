#pragma once

#include <vector>

namespace velune {

// Where a channel of decoded audio is meant to sound, in the order of the samples.
enum class Speaker {
    FrontLeft,
    FrontRight,
    FrontCenter,
    LowFrequency,
    BackLeft,
    BackRight,
    FrontLeftOfCenter,
    FrontRightOfCenter,
    BackCenter,
    SideLeft,
    SideRight,
    TopCenter,
    TopFrontLeft,
    TopFrontCenter,
    TopFrontRight,
    TopBackLeft,
    TopBackCenter,
    TopBackRight,
    Unknown, // a channel that names no place: the sound server places it
};

using SpeakerLayout = std::vector<Speaker>;

} // namespace velune
