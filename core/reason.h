// The system's reason for a failed file operation, printed as its own line right under the
// message that names the file (" *** No space left on device").
#pragma once

/// A reason of this program's own, beyond the system's error numbers: the file held fewer bytes
/// than its size when it was read, so its contents are unknown (not unreadable).
constexpr int kReasonShrank = 0xFF01;

/// The text of err: the system's (strerror), or this program's own.
const char* ReasonText(int err);

/// Prints " *** <text of err>\n" to standard error.
void PrintReason(int err);
