// Where a new guide is written. A guide path that is (or will be) a regular
// file is replaced whole or not at all: the guide goes to a temporary file
// beside it, ".NAME.XXXXXX", which is synced and renamed over the path only
// once complete, so that whoever opens the path sees the old guide or the
// new one. Anything else (/dev/null, a FIFO, a terminal, a descriptor named
// through /proc or /dev/fd) is written in place, as is a guide whose folder
// takes no new file.
#pragma once

#include "guide/output_file.hpp"
#include "guide/signal_cleanup.hpp"

#include <optional>
#include <string>

class guide_file {
public:
    // Opens the guide for writing; is_open() says whether that worked.
    explicit guide_file(const std::string& path);
    // A guide never committed is abandoned: the temporary file is removed
    // and the old guide stays as it was.
    ~guide_file();
    guide_file(const guide_file&) = delete;
    guide_file& operator=(const guide_file&) = delete;

    bool is_open() const { return out_.is_open(); }
    output_file& out() { return out_; }

    // Makes the written bytes the guide. False when any write, the sync, the
    // close or the rename failed; the old guide is then left as it was (when
    // written in place, an incomplete regular file is removed instead).
    bool commit();

private:
    bool commit_replacement();
    bool commit_in_place();
    void abandon();

    std::string target_;    // the file the guide path leads to
    std::string temporary_; // empty when written in place
    bool in_place_regular_ = false;
    output_file out_{-1};
    std::optional<remove_on_signal> cleanup_; // while the temporary file exists
};
