#pragma once

#include "converter_window.h"

namespace velune {

// The converter's choices between runs, in $XDG_CONFIG_HOME/Velune/VeluneConverter.conf;
// the defaults where the file is missing or cannot be read.
ConverterWindow::Remembered LoadConverterChoices();
void SaveConverterChoices(const ConverterWindow::Remembered& state);

} // namespace velune
