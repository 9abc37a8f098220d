// Whether the user's D-Bus session bus can be found without starting one.
//
// A desktop session publishes its bus in DBUS_SESSION_BUS_ADDRESS or as the socket
// $XDG_RUNTIME_DIR/bus. Where neither exists (a script, a bare X server, a service) the
// player uses no bus at all: asking for one would make libdbus try to autolaunch a daemon
// and Qt keep a failed connection for the life of the process.
// Pure, any thread.
#pragma once

namespace kv::desktop {

bool SessionBusAvailable();

}  // namespace kv::desktop
