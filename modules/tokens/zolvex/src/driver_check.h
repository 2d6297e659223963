#pragma once

namespace kelvo::plugin::module::drivers {

// The vendor drivers count as registered when their registry key has a sub-key in either
// registry view.
bool registered();

// Whether the user refused the installation before (the marker file of the path registry).
bool refused();
// Remembers a refusal; a failure to write the marker is ignored.
void rememberRefusal();

}  // namespace kelvo::plugin::module::drivers
