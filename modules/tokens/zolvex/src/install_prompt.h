#pragma once

namespace kelvo::plugin::module::drivers {

// Asks the user, on the GUI thread, whether to install the missing drivers and runs the
// installer after a "yes". True when the user answered "yes" (whatever the installer did).
// Rethrows on the calling thread what the dialog or the installer launch raised.
bool askToInstall();

}  // namespace kelvo::plugin::module::drivers
