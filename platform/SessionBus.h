#pragma once

namespace folioport::platform {

/// When DBUS_SESSION_BUS_ADDRESS is not set (a client that passes a minimal environment), points it
/// at the user's session bus where desktop sessions put it, /run/user/<uid>/bus, provided that is a
/// socket owned by this user. Changes the environment: call it before any other thread starts.
void adoptUserSessionBus();

}  // namespace folioport::platform
