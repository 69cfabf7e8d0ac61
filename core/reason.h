// The system's reason for a failed file operation, printed as its own line right under the
// message that names the file (" *** No space left on device").
#pragma once

/// Prints " *** <text of err>\n" to standard error.
void PrintReason(int err);
