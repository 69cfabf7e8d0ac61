// Faults on purpose for the tests of the save, and the file owners they check. On POSIX the
// C library's write, fsync, fchmod, fchown, rename, renameat2 and close are interposed; calls
// on the standard streams are never counted, nor the close of a descriptor that no counted call
// used. The Win32 build has none of it.
#pragma once

#include <string>
#include <vector>

// Whether this build can inject faults and read or set owners.
bool CanInjectFaults();

// From now on, counted call number k (1-based) fails with error number err; or, when sig is
// not 0, raises sig instead of failing.
void ArmFault(int k, int err, int sig = 0);
// Stops injecting. Returns the name of the call that was hit, or "" when fewer than k calls
// were made.
std::string DisarmFault();
// The permission bits of the file written by the first counted write since ArmFault, or -1.
int FirstWriteMode();

// The signals that must remove a temporary file before they end the process.
std::vector<int> CleanupSignals();

// Console events (Win32): PrepareConsoleEvent gives this process a console of its own and a
// handler that keeps it alive, called after every handler installed later; SendConsoleEvent
// sends it Ctrl-C and returns once the handlers ran. False where there are none (POSIX).
bool PrepareConsoleEvent();
bool SendConsoleEvent();

struct Owner {
  long uid = -1;
  long gid = -1;
  int mode = 0;
};
bool GetOwner(const std::string& path, Owner* owner);
// Sets mode, and uid and gid unless they are -1. False when the system refuses.
bool SetOwner(const std::string& path, const Owner& owner);
// Whether this process may give files away (to the owner nobody, 65534).
bool MayGiveAway();
