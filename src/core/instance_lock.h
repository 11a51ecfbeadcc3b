// One process per installation folder: a lock file in the base folder that the kernel releases
// when the holder ends, however it ends.
#pragma once
#include <cstdint>
#include <string_view>

namespace korva {

struct InstanceLock {
  int fd = -1;  // open lock file while held
};

constexpr const char* kInstanceLockName = ".korva.lock";
constexpr int32_t kInstanceLooks = 11;         // a second process looks this many times
constexpr int32_t kInstanceLookIntervalMs = 500;  // and sleeps this long after each look

// Takes the lock of the folder (which ends in "/"). While another process holds it, sleeps and
// looks again; after the given number of failed looks gives up and returns false. A folder where
// no lock file can be made (read-only) does not stop the start: that returns true without a lock.
bool instance_lock_acquire(InstanceLock& lock, std::string_view folder,
                           int32_t looks = kInstanceLooks,
                           int32_t interval_ms = kInstanceLookIntervalMs);
void instance_lock_release(InstanceLock& lock);

}  // namespace korva
