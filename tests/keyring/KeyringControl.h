#pragma once
// What a person or a login does to the private keyring of with-keyring.sh, for the tests that watch the
// program wait for it: lock it, unlock it with its password (as logging in does, without a prompt), and
// stop and start gnome-keyring itself on the session bus.
#include <memory>

namespace folioport::testing {

class ChildProcess;

/// Locks every collection of the Secret Service; false when it could not.
bool lockKeyring();
/// Unlocks the login collection with the password with-keyring.sh gave it; false when it could not.
bool unlockKeyring();

/// A gnome-keyring this test started on the session bus, its data in $XDG_DATA_HOME (so a token stored
/// in one survives into the next), ended (SIGKILL) with the object.
class KeyringDaemon {
public:
    /// Starts it and waits until it owns its name: `unlocked` gives the login keyring its password at once,
    /// otherwise it starts locked. Check running().
    explicit KeyringDaemon(bool unlocked);
    ~KeyringDaemon();

    bool running() const { return running_; }

private:
    std::unique_ptr<ChildProcess> process_;
    bool running_ = false;
};

}  // namespace folioport::testing
