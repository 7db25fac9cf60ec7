// Internal: the open-file-description locks behind share modes and
// LockFile.
#pragma once

namespace kvp::detail {

// Takes the share-mode lock of a new open on `fd`: a read lock on the
// reserved byte for a shared open, a write lock for an unshared one. A
// descriptor opened read-only can only take the read lock. Returns 0 or the
// errno of the refusal (EAGAIN when another open conflicts).
int TakeShareLock(int fd, bool shared, bool descriptorWritable);

// True when some open of the file behind `fd` (in any process, this one
// included, other than `fd`'s own) holds a share-mode lock, that is, when a
// handle has the file open. Sets `*error` to the errno when the probe itself
// fails.
bool FileIsOpenElsewhere(int fd, int* error);

}  // namespace kvp::detail
