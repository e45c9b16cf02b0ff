#include "pathvar/VariableLock.h"

#include "common/Console.h"
#include "common/ProgramState.h"
#include "pathvar/SecurityDescriptor.h"
#include "platform/Platform.h"

#include <string>

namespace {

constexpr os::u32 kWaitMilliseconds = 10000;
constexpr os::u32 kSynchronize = 0x100000, kReadControl = 0x20000, kMutexModifyState = 0x1;
// Waiting, releasing, and reading the owner: all a run asks of the mutex.
constexpr os::u32 kMutexAccess = kSynchronize | kMutexModifyState | kReadControl;

os::Handle mutex = 0;

// The lock's name and descriptor for the Path this run writes. Only SYSTEM,
// the administrators and, for a user's Path, that user may open it: no one
// else can hold it. Its owner is set, so that a run can tell it from an
// object someone else made under the same name.
void LockFor(const std::string& user, std::u16string& name, std::string& sddl) {
    const std::string allowed = "(A;;GA;;;SY)(A;;GA;;;BA)";
    if (MachineScope) {
        name = u"Global\\wayFOLD-Path-Machine";
        sddl = "O:BAD:P" + allowed;
    } else {
        name = u"Global\\wayFOLD-Path-" + std::u16string(user.begin(), user.end());
        sddl = "O:" + user + "D:P" + allowed + "(A;;GA;;;" + user + ")";
    }
}

// Made or opened by a run of this Path: owned by SYSTEM, the administrators
// or this user. Anything else under the name (another kind of object, one
// that refuses this run, one that another user made) is no run's lock.
os::Handle OpenLock(const std::string& user) {
    if (!MachineScope && user.empty()) return 0;
    std::u16string name;
    std::string sddl;
    LockFor(user, name, sddl);
    void* descriptor = nullptr;
    os::ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), os::SddlRevision1,
                                                             &descriptor, nullptr);
    os::SecurityAttributes security{descriptor};
    const os::Handle lock =
        os::CreateMutexExW(descriptor ? &security : nullptr, name.c_str(), kMutexAccess);
    if (descriptor) os::LocalFree(descriptor);
    if (!lock) return 0;
    Descriptor found;
    if (ReadObjectDescriptor(lock, found) &&
        (IsSystemOrAdministrators(found.owner) || (!user.empty() && found.owner == user)))
        return lock;
    os::CloseHandle(lock);
    return 0;
}

}  // namespace

bool LockVariable() {
    std::string user;
    ReadCurrentUserSid(user);
    // The lock only keeps runs of this command from losing each other's
    // entries; writing the value needs the registry's own rights anyway.
    mutex = OpenLock(user);
    if (!mutex) return true;
    const os::u32 waited = os::WaitForSingleObject(mutex, kWaitMilliseconds);
    if (waited == os::WaitObject0 || waited == os::WaitAbandoned) return true;
    os::CloseHandle(mutex);
    mutex = 0;
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
