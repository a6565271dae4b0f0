#pragma once

#include "player_window.h"

namespace velune {

// The player's state between runs, in the user's config folder
// ($XDG_CONFIG_HOME/Velune/VelunePlayer.conf). A file that cannot be read, or
// values out of range, give the defaults.
PlayerWindow::Remembered LoadRemembered();
void SaveRemembered(const PlayerWindow::Remembered& state);

} // namespace velune
