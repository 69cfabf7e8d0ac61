// Loading a task's table from its data file, one rule and one set of words for every mode.
#pragma once

#include "core/progress.h"
#include "core/table.h"

/// Reads the task's data file into its table: 0 loaded; 1 refused (another user's file in a
/// shared directory, or it could not be opened or read completely and exactly, or is no data
/// file of this version). A refused table is empty
/// and stands for nothing: no mode compares a tree with it or saves it. The reader has said
/// why on standard error.
int LoadCatalogue(Table& t, Progress shown);

/// Whether name is another user's file (or link) in a directory everyone may write; says so.
/// Whoever planted it could read what a run saves there, or feed it a catalogue of their own.
bool RefusedAsPlanted(const char* name);

/// What Scan and Compare say when a task's data file is none of this program's, and when
/// TestFile gives a value outside its range.
void PrintNotDataFile(const char* name);
void PrintUndefinedTestResult(int code);
