// What the progress lines need to know about standard error; console-posix.cpp and
// console-win32.cpp implement it.
#pragma once

// Whether standard error is a console, asked anew each time (tests redirect it in-process).
bool StderrIsConsole();

// The width of the console that standard error writes to, in columns, asked anew each time (the
// window may be resized while a run goes on); 80 when it cannot be told.
int StderrConsoleColumns();

// The progress lines' mark, byte \376 of the OEM code page, as the console can show it: the
// same character in UTF-8 on a POSIX system whose locale uses UTF-8, otherwise the byte.
const char* ProgressMark();
