// --exclude: the entries a walk leaves out, and the stored records the patterns cover.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

class Table;

/// Patterns in the program's own wildcard rules. One without a separator is matched against an
/// entry's name; one with a separator ('/', on Win32 also '\') against its path below the start
/// path ("*" crosses separators; a leading one is dropped). A trailing separator keeps a
/// pattern to directories.
class Exclusions {
 public:
  Exclusions() = default;
  explicit Exclusions(const std::vector<std::string>& patterns);
  /// No pattern: nothing is left out.
  static const Exclusions& None();

  bool Empty() const { return names_.empty() && paths_.empty(); }
  /// Whether Covers needs the path as well as the name.
  bool ByPath() const { return !paths_.empty(); }
  /// Each pattern is matched once; relPath is looked at only when ByPath().
  bool Covers(const char* name, const char* relPath, bool dir) const;

 private:
  struct Pattern {
    std::string text;
    // Folded literal text every match starts with, and ends with ('?': any byte): most names
    // are turned away by these before the full match.
    std::string head;
    std::string tail;
    bool dirOnly;
  };
  static Pattern Compile(std::string text, bool dirOnly);
  static bool Matches(const Pattern& p, const char* s);
  std::vector<Pattern> names_;
  std::vector<Pattern> paths_;
};

/// Whether a value of --exclude is a pattern: something besides separators.
bool IsExcludePattern(const char* value);

/// Which of the first `end` records of t the patterns cover, themselves or through a directory
/// above them: one entry per record; empty when no pattern is given.
std::vector<char> CoveredRecords(const Table& t, size_t end, const Exclusions& x);

/// Removes the records the patterns cover (a table read from a data file).
void DropCovered(Table& t, const Exclusions& x);
