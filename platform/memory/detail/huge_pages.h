// Whether the large blocks of global memory should be made of huge pages on this machine.
//
// A block of tens of megabytes in 2 MiB pages costs a few dozen page faults instead of thousands,
// which pays wherever fresh memory is at hand. Not so on a virtual machine whose balloon reports
// free memory to its host: the kernel reports only whole free blocks of 2 MiB and more, the host
// takes them back, and a huge page is always such a block, so each one first faults in the host,
// a few milliseconds per huge page. Small pages come from the kernel's smaller free blocks, which
// are never reported. Measured on such a guest, a 48 MiB block first written a few seconds after
// the process before it ended: 163 ms in huge pages, 63 ms in small ones; back to back, with the
// freed memory not yet reported, 48 against 56 ms.
#pragma once

namespace orvel::platform::detail {

/// True unless the kernel reports free pages to a hypervisor (a virtio balloon offering free page
/// reporting). ORVEL_HUGE_PAGES=1 or 0 decides instead. Worked out once, at the first call.
bool HugePagesPay() noexcept;

} // namespace orvel::platform::detail
