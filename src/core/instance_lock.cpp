// Single-instance lock through flock(2) on a file in the base folder.
#include "core/instance_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/platform.h"

namespace korva {

bool instance_lock_acquire(InstanceLock& lock, std::string_view folder, int32_t looks,
                           int32_t interval_ms) {
  instance_lock_release(lock);
  std::string path(folder);
  path += kInstanceLockName;
  // Close-on-exec, so that programs started by brains do not keep the folder locked.
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return true;
  bool busy = false;
  for (int32_t look = 0; look < looks; ++look) {
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
      lock.fd = fd;
      return true;
    }
    busy = errno == EWOULDBLOCK || errno == EINTR;
    if (!busy) break;  // the file system cannot lock: start without the lock
    platform::sleep_ms(interval_ms);
  }
  close(fd);
  return !busy;
}

void instance_lock_release(InstanceLock& lock) {
  if (lock.fd >= 0) close(lock.fd);  // closing the file drops the lock
  lock.fd = -1;
}

}  // namespace korva
