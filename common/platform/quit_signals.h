#pragma once

namespace velune {

// SIGTERM and SIGHUP (a logout, a shutdown, `kill`) end the application's event
// loop as closing the window would, so that what runs after it (the remembered
// state saved) still runs. Call once, after the application object exists.
void QuitOnTerminationSignals();

} // namespace velune
