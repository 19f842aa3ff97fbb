// Which lines of a story this reader has already seen, kept between runs in the player's state
// folder ($XDG_STATE_HOME/zv_rk, ~/.local/state/zv_rk), one file per story, never in the story.
//
// Keys are chosen so that what was seen outlives copying and editing:
// - a story is known by a digest of its labels (the "@name" lines), in order: a copy in another
//   folder or an archive has the same labels, and so do edits of its text; adding, removing or
//   renaming a label starts a new record. Stories without labels share one record, which is
//   harmless, as their lines' keys still differ by their text;
// - a line is known by a digest of its own text, the label of its section, and how many lines of
//   the same text come before it in that section: editing a line forgets that line alone, and a
//   line moved within its section is still known.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_set>

namespace SeenLines {

// The script's table as the engine holds it: the line at an index from 0 to total - 1.
using TLineAt = std::function<const std::string&(int64_t line)>;

uint64_t StoryKey(const TLineAt& lineAt, int64_t total);
uint64_t LineKey(const TLineAt& lineAt, int64_t line);

// The record of one story, `<story key in hex>.seen` in `folder`; "" when there is no folder.
std::string RecordPath(const std::string& folder, uint64_t storyKey);

// What was seen of one story. The file is the reader's own but is read as untrusted: one that is
// too large or not a record is ignored (said once on stderr) and started afresh.
class TSeenRecord {
public:
    // More lines than any story has: a record that would grow past it keeps what it has.
    static constexpr size_t MaxLines = 200000;

    // Reads the record at `path` ("" for one kept nowhere).
    explicit TSeenRecord(std::string path);

    bool Contains(uint64_t key) const { return Keys.count(key) != 0; }
    // Marks a line seen; true when it had not been.
    bool Add(uint64_t key);
    // Whether lines were seen since the record was last written.
    bool Unsaved() const { return Changed; }
    // Writes the record through a new file renamed over the old one, making the folder if need
    // be. False with `problem` set when it cannot.
    bool Save(std::string& problem);

private:
    bool Read();

    std::string Path;
    std::unordered_set<uint64_t> Keys;
    bool Changed = false;
};

}  // namespace SeenLines
