// Warnings and errors of the run: their lines go to standard error, and each is also handed to
// the one listener the report installs (the JSON report carries them as objects).
#pragma once

#include <cstddef>

/// Writes the formatted text to standard error as fprintf would, then hands each finished line
/// (without its line feed) to the listener, if one is set. Safe from the readers' threads.
void Tell(const char* format, ...) __attribute__((format(printf, 1, 2)));

/// The same for a message the text report shows among its own lines, on standard output. While
/// a listener is set, standard output holds the listener's report, and the text goes to
/// standard error instead.
void TellInReport(const char* format, ...) __attribute__((format(printf, 1, 2)));

/// From now on listener sees each line Tell and TellInReport write.
void SetTellListener(void (*listener)(const char* line, size_t len));
