#include "pathvar/VariableLock.h"

#include "common/Console.h"
#include "platform/Platform.h"

namespace {

constexpr os::u32 kWaitMilliseconds = 10000;
const char16_t kMutexName[] = u"Global\\wayFOLD-Path";
// Any user may wait for it and release it, whoever made it: a user's run and
// an administrator's /K run then take turns too, instead of failing at once.
const char kMutexSddl[] = "D:(A;;0x1F0001;;;SY)(A;;0x1F0001;;;BA)(A;;0x100001;;;AU)";
// Waiting and releasing (SYNCHRONIZE | MUTEX_MODIFY_STATE) are all a run asks:
// asking for more, a standard user could not open the mutex of another run.
constexpr os::u32 kMutexAccess = 0x100001;

os::Handle mutex = 0;

}  // namespace

bool LockVariable() {
    void* descriptor = nullptr;
    os::ConvertStringSecurityDescriptorToSecurityDescriptorA(kMutexSddl, os::SddlRevision1,
                                                             &descriptor, nullptr);
    os::SecurityAttributes security{descriptor};
    mutex = os::CreateMutexExW(descriptor ? &security : nullptr, kMutexName, kMutexAccess);
    if (descriptor) os::LocalFree(descriptor);
    if (mutex) {
        const os::u32 waited = os::WaitForSingleObject(mutex, kWaitMilliseconds);
        if (waited == os::WaitObject0 || waited == os::WaitAbandoned) return true;
        os::CloseHandle(mutex);
        mutex = 0;
    }
    PrintConverted("La variable Path est en cours de modification par un autre programme.");
    return false;
}

void UnlockVariable() {
    if (!mutex) return;
    // Only the owner's release can fail, and this run owns the mutex since its
    // wait succeeded. Were it to fail all the same, closing the handle and
    // ending the process leaves the mutex abandoned, which the next run's wait
    // takes over: no run is kept waiting.
    os::ReleaseMutex(mutex);
    os::CloseHandle(mutex);
    mutex = 0;
}
