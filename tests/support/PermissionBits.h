#pragma once
// Makes file permission bits bind the calling thread even when it runs as root (as in CI): while
// an object lives, CAP_DAC_OVERRIDE and CAP_DAC_READ_SEARCH are out of the thread's effective set.

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace lunaveil::test {

class PermissionBitsBind {
public:
    PermissionBitsBind()
    {
        if (::syscall(SYS_capget, &header_, saved_) != 0)
            return;
        __user_cap_data_struct lowered[2] = {saved_[0], saved_[1]};
        lowered[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        lowered_ = ::syscall(SYS_capset, &header_, lowered) == 0;
    }
    ~PermissionBitsBind()
    {
        if (lowered_)
            ::syscall(SYS_capset, &header_, saved_);
    }
    PermissionBitsBind(const PermissionBitsBind&) = delete;
    PermissionBitsBind& operator=(const PermissionBitsBind&) = delete;

private:
    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[2]{};
    bool lowered_ = false;
};

}  // namespace lunaveil::test
