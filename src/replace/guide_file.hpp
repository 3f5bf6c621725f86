// Where a new guide is written. A guide path that is (or will be) a regular
// file is replaced whole or not at all: the guide goes to a temporary file
// beside it (temporary_files.hpp), which is synced and renamed over the path
// only once complete, so that whoever opens the path sees the old guide or
// the new one. Anything else (/dev/null, a FIFO, a terminal, a descriptor
// named through /proc or /dev/fd) is written in place. A regular guide whose
// folder takes no new file, while the guide itself may be written, is
// written whole elsewhere first, then copied over (in_place_copy.hpp). No
// other failure to make the temporary file touches the guide.
//
// The temporary file is made when the guide_file is, so that a run can find
// out that its guide cannot be written before it reads anything; a guide
// written in place is opened only by open(), since opening a FIFO waits for
// its reader.
#pragma once

#include "replace/output_file.hpp"
#include "replace/signal_cleanup.hpp"

#include <optional>
#include <string>

class guide_file {
public:
    // Makes the place of the guide ready: the temporary file, or the staged
    // copy; ready() says whether that worked.
    explicit guide_file(const std::string& path);
    // A guide never committed is abandoned: the temporary file is removed
    // and the old guide stays as it was.
    ~guide_file();
    guide_file(const guide_file&) = delete;
    guide_file& operator=(const guide_file&) = delete;

    // Whether the guide can be written: ready for open(), or open.
    bool ready() const { return in_place_pending_ || is_open(); }
    // Opens a guide written in place; true when out() takes the guide.
    bool open();
    bool is_open() const { return out_.is_open(); }
    output_file& out() { return out_; }

    // Makes the written bytes the guide. False when any write, the sync, the
    // close, the rename or the copy failed; the old guide is then left as it
    // was.
    bool commit();

    // Why the guide could not be opened or committed ("temporary file in
    // /srv: Too many open files", "g.prg: Too many levels of symbolic
    // links"); empty otherwise.
    const std::string& failure() const { return failure_; }

private:
    enum class way { in_place, replacement, staged };

    int open_guide(const std::string& path);
    int open_staged();
    bool commit_replacement();
    bool commit_staged();
    void abandon();

    way way_ = way::in_place;
    bool in_place_pending_ = false; // a guide written in place, not yet opened
    std::string path_;
    std::string target_;    // the file the guide path leads to
    std::string temporary_; // the replacement's name, or the staged copy's folder
    std::string failure_;
    output_file out_{-1};
    std::optional<remove_on_signal> cleanup_; // while the temporary file exists
};
