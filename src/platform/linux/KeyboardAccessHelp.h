#pragma once

namespace platform {

// X11 has no trust prompt and no settings page for keyboard access: what a user
// can do is run an X11 session. Shows one non-modal message box saying so; calling
// again while it is open raises it instead of opening a second one.
void showKeyboardAccessHelp();

} // namespace platform
