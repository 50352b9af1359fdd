// The hidden temporary files outputs are written through, ".NAME.zq-XXXXXX" beside OUTPUT:
// creating one, and clearing away those a killed writer left behind. A writer holds an
// exclusive flock(2) on its temporary file for as long as it lives, so a file whose lock can
// be taken has no writer left; the naming keeps the clean-up off anybody else's hidden files.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace ns_audio_files {

// The longest file name `directory` takes.
std::size_t name_limit(const std::filesystem::path& directory);

// Creates and locks a new temporary file for `file_name` in `directory` (NAME shortened as far
// as the directory's name limit asks), registered for removal on a terminating signal. Returns
// its descriptor and sets `path`, or returns -1 with errno set.
int create_temporary_file(const std::filesystem::path& directory, const std::string& file_name,
                          std::string& path);

// An unnamed, locked temporary file in `directory` (O_TMPFILE): a crash before it is named
// leaves nothing behind. Returns -1 with errno set, EOPNOTSUPP, EISDIR or EINVAL where the
// file system has no such files.
int open_unnamed_temporary(const std::filesystem::path& directory);

// Gives the unnamed temporary file `descriptor` a temporary file's name for `file_name` in
// `directory`, registered for removal on a terminating signal. Returns false with errno set.
bool name_temporary_file(int descriptor, const std::filesystem::path& directory,
                         const std::string& file_name, std::string& path);

// Removes the temporary files in `directory` whose writer is gone and returns their names,
// sorted. Files another process still writes, and every other file, are left alone. Throws
// file_error(output) when the directory cannot be read.
std::vector<std::string> remove_stale_temporaries(const std::string& directory);

} // namespace ns_audio_files
