// The exit status is a verdict, as with diff and grep: what a script needs to know of a run.
#pragma once

/// 0: the run did its work and found nothing that needs attention (ordinary changes included).
/// 1: it found something that needs attention (damage in Scan, a difference in Compare).
/// 2: trouble: a refused command line, a missing or refused data file or start path, an entry
///    that could not be read, a report or catalogue that could not be written.
enum ExitStatus : int { kExitClean = 0, kExitFinding = 1, kExitTrouble = 2 };

/// Two verdicts of one run as one: trouble wins over a finding, a finding over a clean run.
inline int WorstStatus(int a, int b) { return a > b ? a : b; }

/// An entry left out or left unread anywhere in the run: warned about where it happens, and the
/// run ends with kExitTrouble whatever its mode found.
void NoteTrouble();
bool TroubleNoted();
