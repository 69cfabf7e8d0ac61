// The two writers of the report: the classic text and JSON Lines.
#include "modes/report_writer.h"

#include <atomic>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "core/tell.h"
#include "modes/columns.h"
#include "modes/listing.h"
#include "modes/report.h"
#include "store/format.h"
#include "store/json.h"

namespace {

class TextReport : public ReportWriter {
 public:
  void Heading(const char* text) override { fputs(text, stdout); }

  void Listing(const Table& t, const ListingShape& s) override {
    PrintTable(t, s.format, s.lists, s.emptyFolders, s.withNoMatch, s.debug);
  }

  void Changed(const EntryChange& c) override { PrintChangeBlock(c); }

  void Marked(const Table& t, unsigned idx, bool added) override {
    char shown[2 * MAX_PATH];
    ShownPath(t, static_cast<long>(idx), shown);
    printf(t.records[idx].IsDir() ? "%s Dir:  %s\n" : "%s File: %s\n", added ? "+" : "-", shown);
  }

  void Moved(const Table& t, const Move& m) override { PrintMove(t, m); }
  void Kept(const Table&, unsigned, const char*) override {}

  void Group(const DuplicateGroup& g) override {
    const DuplicateMember& first = g.members[0];
    std::string name = first.table->records[first.idx].LongName();
    CharToOemA(&name[0], &name[0]);
    printf("\nFile: %-30s    CRC32:%08X  Size:%" PRId64 " byte(s)\n", name.c_str(), g.crc,
           static_cast<int64_t>(g.size));
    char path[2 * MAX_PATH];
    for (size_t m = 0; m < g.members.size(); ++m)
      printf(m == 0 ? "\n      %s\n" : "      %s\n",
             ShownPath(*g.members[m].table, static_cast<long>(g.members[m].idx), path));
  }

  void DuplicateSummary(uint32_t files, int64_t lost) override {
    if (files == 0) return;
    printf("\nWas found %u diplicate file(s).\n", files);
    printf("Loss %" PRId64 " byte(s) in duplicate file(s).\n", lost);
  }

  void ScanSummary(const ChangeTotals& s, bool moves, bool) override {
    printf("Files: %3d changed, %3d deleted, %3d new\n", s.filesChanged, s.filesDeleted,
           s.filesNew);
    printf("Dirs : %3d changed, %3d deleted, %3d new\n", s.dirsChanged, s.dirsDeleted, s.dirsNew);
    if (moves) printf("Moved: %3d files, %3d dirs\n", s.filesMoved, s.dirsMoved);
    if (s.damaged != 0) printf("Damaged: %3d files\n", s.damaged);
  }

  void CompareSummary(const ChangeTotals&, bool) override {}
  void End(const char*, int) override {}
};

const char* Kind(uint32_t attr) {
  if (attr & FILE_ATTRIBUTE_DIRECTORY) return "dir";
  if (attr & 0x400) return "link";
  if (attr & 0x40) return "special";
  return "file";
}

// The columns format names that the JSON entry holds, in the table's order whatever the order
// named: a script finds its keys in one order always.
std::vector<const Column*> JsonColumns(const char* format) {
  std::vector<bool> named(kColumnCount, false);
  std::string copy = format;
  for (char* piece = strtok(&copy[0], " "); piece; piece = strtok(nullptr, " "))
    if (const Column* c = FindColumn(piece)) named[static_cast<size_t>(c - kColumns)] = true;
  std::vector<const Column*> columns;
  for (size_t k = 0; k < kColumnCount; ++k)
    if (named[k] && kColumns[k].value != nullptr) columns.push_back(&kColumns[k]);
  return columns;
}

class JsonWriter : public ReportWriter {
 public:
  explicit JsonWriter(bool quiet) : quiet_(quiet) {}
  void Heading(const char*) override {}

  void Listing(const Table& t, const ListingShape& s) override {
    listed_ = true;
    std::vector<const Column*> columns = JsonColumns(s.format);
    for (unsigned i = 0; i < t.records.size(); ++i) {
      const Record& r = t.records[i];
      if (!s.withNoMatch && (r.dwAttr & atNOMATCH)) continue;
      Entry(t, i, columns);
      if (r.IsDir()) {
        ++dirs_;
      } else {
        ++files_;
        size_ += r.qwSize;
      }
    }
  }

  void Changed(const EntryChange& c) override {
    line_.Begin("changed");
    Name("path", c.exactPath != nullptr ? c.exactPath : c.path);
    line_.Text("kind", Kind(c.attributes | (c.isDir ? FILE_ATTRIBUTE_DIRECTORY : 0)));
    ChangedFields(c);
    line_.Bool("damaged", c.damaged);
    Pair(
        c.name[0] != '\0', "name",
        [&](const EntryChange::Fields& f, const char* key) {
          JsonName(line_, key, f.name, strnlen(f.name, kShortNameLen));
        },
        c);
    Pair(
        c.create[0] != '\0', "create",
        [&](const EntryChange::Fields& f, const char* key) { line_.Time(key, f.create); }, c);
    Pair(
        c.write[0] != '\0', "write",
        [&](const EntryChange::Fields& f, const char* key) { line_.Time(key, f.write); }, c);
    Pair(
        c.attr[0] != '\0', "attributes",
        [&](const EntryChange::Fields& f, const char* key) {
          char text[kAttrTextSize];
          FormatAttributes(f.attr, text);
          line_.Text(key, text);
        },
        c);
    Pair(
        c.size[0] != '\0', "size",
        [&](const EntryChange::Fields& f, const char* key) { JsonSize(line_, key, f.size); }, c);
    Pair(
        c.crc[0] != '\0', "crc",
        [&](const EntryChange::Fields& f, const char* key) { line_.Crc(key, f.crc); }, c);
    Put();
  }

  void Marked(const Table& t, unsigned idx, bool added) override {
    line_.Begin(added ? "new" : "missing");
    Path("path", t, idx);
    line_.Text("kind", Kind(t.records[idx].dwAttr));
    Put();
  }

  void Moved(const Table& t, const Move& m) override {
    line_.Begin("moved");
    Path("from", t, m.from);
    Path("to", t, m.to);
    line_.Text("kind", Kind(t.records[m.to].dwAttr));
    Put();
  }

  void Kept(const Table& t, unsigned idx, const char* reason) override {
    line_.Begin("kept");
    Path("path", t, idx);
    line_.Text("kind", Kind(t.records[idx].dwAttr));
    line_.Text("reason", reason);
    for (const Column* c : JsonColumns("SZ TW CC")) c->value(line_, t, idx);
    Put();
  }

  void Group(const DuplicateGroup& g) override {
    line_.Begin("group");
    JsonSize(line_, "size", g.size);
    line_.Crc("crc", g.crc);
    line_.OpenArray("files");
    for (const DuplicateMember& m : g.members) {
      line_.Open(nullptr);
      Path("path", *m.table, m.idx);
      line_.Close();
    }
    line_.CloseArray();
    Put();
    ++groups_;
  }

  void DuplicateSummary(uint32_t files, int64_t lost) override {
    counts_ = {{"files", files}, {"groups", groups_}, {"lost", lost}};
  }

  void ScanSummary(const ChangeTotals& s, bool moves, bool archive) override {
    Changes(s, moves);
    if (archive) counts_.push_back({"archive_missing", s.archiveMissing});
  }
  void CompareSummary(const ChangeTotals& s, bool moves) override { Changes(s, moves); }

  void End(const char* mode, int status) override {
    FlushMessage();
    // Under --quiet a run with nothing to say says nothing, as the text report does.
    if (quiet_ && lines_ == 0 && status == 0) return;
    line_.Begin("summary");
    if (mode != nullptr) {
      line_.Text("mode", mode);
    } else {
      line_.Null("mode");
    }
    if (listed_) {
      JsonSize(line_, "files", files_);
      JsonSize(line_, "dirs", dirs_);
      JsonSize(line_, "size", size_);
    }
    for (const auto& kv : counts_) line_.Int(kv.first, kv.second);
    line_.Int("status", status);
    Put();
  }

  // A line of a warning or error: " *** Warning: " and " *** Error: " begin a message; the lines
  // after one that begin with " *** " (the reason, a hint) belong to it.
  void TellLine(const char* text, size_t len) {
    std::lock_guard<std::mutex> hold(messageLock_);
    std::string line(text, len);
    const char* kinds[][2] = {{" *** Warning: ", "warning"}, {" *** Error: ", "error"},
                              {" ** Error: ", "error"},      {"** Error: ", "error"},
                              {"*** Error: ", "error"},      {" *** Internal Error: ", "error"}};
    for (const auto& k : kinds) {
      if (line.compare(0, strlen(k[0]), k[0]) != 0) continue;
      FlushLocked();
      messageType_ = k[1];
      message_ = line.substr(strlen(k[0]));
      return;
    }
    if (!messageType_.empty() && line.compare(0, 5, " *** ") == 0) {
      detail_ += detail_.empty() ? "" : "\n";
      detail_ += line.substr(5);
      return;
    }
    FlushLocked();
  }

 private:
  // The entry's path and kind, then the values of the columns the listing shows.
  void Entry(const Table& t, unsigned idx, const std::vector<const Column*>& columns) {
    line_.Begin("entry");
    Path("path", t, idx);
    line_.Text("kind", Kind(t.records[idx].dwAttr));
    for (const Column* c : columns) c->value(line_, t, idx);
    Put();
  }

  void Path(const char* key, const Table& t, unsigned idx) {
    size_t base = strlen(t.cStartPath);
    memcpy(path_, t.cStartPath, base + 1);
    t.ComposeLongPath(idx, path_ + base, sizeof path_ - base);
    Name(key, path_);
  }

  void Name(const char* key, const char* text) { JsonName(line_, key, text, strlen(text)); }

  // The fields that changed, in the order of the text report's change block.
  void ChangedFields(const EntryChange& c) {
    const std::pair<const char*, const char*> fields[] = {
        {c.name, "name"}, {c.create, "create"},   {c.write, "write"},
        {c.crc, "crc"},   {c.attr, "attributes"}, {c.size, "size"}};
    line_.OpenArray("fields");
    for (const auto& f : fields)
      if (f.first[0] != '\0') line_.Text(nullptr, f.second);
    line_.CloseArray();
  }

  template <typename Show>
  void Pair(bool changed, const char* key, Show show, const EntryChange& c) {
    if (!changed) {
      line_.Null(key);
      return;
    }
    line_.Open(key);
    show(c.was, "from");
    show(c.now, "to");
    line_.Close();
  }

  void Changes(const ChangeTotals& s, bool moves) {
    counts_ = {{"files_changed", s.filesChanged}, {"files_missing", s.filesDeleted},
               {"files_new", s.filesNew},         {"dirs_changed", s.dirsChanged},
               {"dirs_missing", s.dirsDeleted},   {"dirs_new", s.dirsNew}};
    if (moves) {
      counts_.push_back({"files_moved", s.filesMoved});
      counts_.push_back({"dirs_moved", s.dirsMoved});
    }
    counts_.push_back({"damaged", s.damaged});
  }

  void FlushMessage() {
    std::lock_guard<std::mutex> hold(messageLock_);
    FlushLocked();
  }

  void FlushLocked() {
    if (messageType_.empty()) return;
    JsonLine j;
    j.Begin(messageType_.c_str());
    j.Bytes("message", message_);
    if (detail_.empty()) {
      j.Null("detail");
    } else {
      j.Bytes("detail", detail_);
    }
    j.Write(stdout);
    ++lines_;
    messageType_.clear();
    detail_.clear();
  }

  // A message waiting for its detail lines goes out before the next item, in the order seen.
  void Put() {
    FlushMessage();
    line_.Write(stdout);
    ++lines_;
  }

  JsonLine line_;
  std::atomic<uint64_t> lines_{0};  // objects written so far
  bool quiet_ = false;
  char path_[2 * MAX_PATH + 2];
  uint64_t files_ = 0, dirs_ = 0, size_ = 0;
  bool listed_ = false;
  int64_t groups_ = 0;
  std::vector<std::pair<const char*, int64_t>> counts_;
  std::mutex messageLock_;  // readers' threads warn while the main thread reports
  std::string messageType_, message_, detail_;
};

TextReport textReport;
JsonWriter* jsonReport = nullptr;

void TellLine(const char* line, size_t len) {
  jsonReport->TellLine(line, len);
}

}  // namespace

ReportWriter& Report() {
  if (jsonReport != nullptr) return *jsonReport;
  return textReport;
}

void UseJsonReport(bool quiet) {
  // Never destroyed: standard error may still be written while the program ends.
  if (jsonReport == nullptr) jsonReport = new JsonWriter(quiet);
  SetTellListener(TellLine);
}

bool JsonReport() {
  return jsonReport != nullptr;
}
