// A file that Ghostscript makes beside the output (the PDF, the preview). Its name follows the
// output's rules: no link followed, no other file written through it, and the lock of a
// conversion. It is made without a name and takes its own only when it is complete, so no
// half-made file ever stands there, and none of a run that failed or was killed stays behind.
#pragma once

#include <string>
#include <string_view>

#include "file_at.h"
#include "output_file.h"
#include "zarn/descriptor.h"

namespace zarn {

class RenderedFile {
public:
    // Refuses a name that is a symbolic link or not a regular file, and one that another
    // conversion holds; holds the file of that name, if any, for this one. `role` names it in
    // messages ("PDF"). Throws ConversionError.
    RenderedFile(const FileAt& file, const char* role);
    RenderedFile(const RenderedFile&) = delete;
    RenderedFile& operator=(const RenderedFile&) = delete;
    ~RenderedFile();

    // Where the maker writes; the file has no name yet.
    int descriptor() const { return made_.get(); }
    // Up to `n` bytes from `offset` of what was made; the count read.
    std::size_t read(std::uint64_t offset, char* to, std::size_t n) const;
    std::uint64_t size() const;
    // Gives what was made its name, in place of the file there (whose other names, a hard link
    // to the input among them, keep their content). Throws ConversionError.
    void publish();
    // Removes the older file of the name, so that none is left that does not belong to the
    // output: for a rendering that failed.
    void discardOlder();

private:
    std::string freeName(const std::string& stem) const;

    FileAt file_;
    std::string role_;
    Descriptor older_;  // the file of the name when this one started, locked
    Descriptor made_;
    std::string temporary_;  // the name it was made under where files cannot be made without
    bool published_ = false;
};

}  // namespace zarn
