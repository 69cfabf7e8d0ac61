// Storage of the records' long names.
#pragma once

/// A copy of name, packed end to end with the other names in large blocks: a name costs its
/// length and one byte, where a heap block of its own costs at least 32 bytes (a million
/// records feel the difference). Null for null or empty.
char* NewName(const char* name);
/// Gives back a name from NewName (null is ignored). A block is released when its last name is.
void DeleteName(char* name);
