#pragma once
// The lock of an entry point the host calls on its own thread, and the interrupt. It holds the
// global lock like CoreLock; on the way out it takes the chip's interrupt rises and, with the
// lock released, calls the host's registered callback once for each. So the callback runs on
// the host's thread inside the entry point that made the interrupt (SPUasync, a register write,
// a transfer), and a rise made on the streaming thread (the chip on the device's clock) reaches
// the host at its next call: the streaming thread never calls into the host.
#include "plugin_state.h"

namespace plugin {

class HostCall {
public:
    HostCall() = default;
    ~HostCall();
    HostCall(const HostCall&) = delete;
    HostCall& operator=(const HostCall&) = delete;

    Chip* core() const { return lock_.core(); }

private:
    CoreLock lock_;
};

}  // namespace plugin
