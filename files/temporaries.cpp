#include "temporaries.h"

#include "file_error.h"
#include "signals.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <memory>
#include <random>

namespace ns_audio_files {

namespace {

// Between NAME and mkstemp's six random letters and digits.
const std::string k_marker = ".zq-";
constexpr std::size_t k_random_length = 6;

bool is_letter_or_digit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Whether create_temporary_file could have made `name`: a dot, a visible NAME, the marker, then
// the random part.
bool is_temporary_name(const std::string& name) {
    const std::size_t tail = k_marker.size() + k_random_length;
    return name.size() > 1 + tail && name[0] == '.' && name[1] != '.' &&
           name.compare(name.size() - tail, k_marker.size(), k_marker) == 0 &&
           std::all_of(name.end() - k_random_length, name.end(), is_letter_or_digit);
}

// Takes the writer's lock on a file it just created; false when a clean-up removed the file
// before the lock was taken, so that the writer makes another. Where the file system has no
// locks the clean-up cannot lock either, and keeps the file.
bool lock_while_linked(int descriptor) {
    while (::flock(descriptor, LOCK_EX) != 0 && errno == EINTR) {
    }
    struct stat status {};
    return ::fstat(descriptor, &status) != 0 || status.st_nlink > 0;
}

// Removes `name` from the open `directory` when it is a regular file whose lock can be taken,
// and still the file under that name: its writer may have renamed it to OUTPUT meanwhile.
bool remove_if_unlocked(int directory, const std::string& name) {
    // Read-write where it may: NFS grants an exclusive lock only to a writer.
    const int flags = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    int descriptor = ::openat(directory, name.c_str(), O_RDWR | flags);
    if (descriptor < 0 && errno == EACCES)
        descriptor = ::openat(directory, name.c_str(), O_RDONLY | flags);
    if (descriptor < 0) return false;
    struct stat opened {};
    struct stat named {};
    const bool removed = ::fstat(descriptor, &opened) == 0 && S_ISREG(opened.st_mode) &&
                         ::flock(descriptor, LOCK_EX | LOCK_NB) == 0 &&
                         ::fstatat(directory, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
                         named.st_dev == opened.st_dev && named.st_ino == opened.st_ino &&
                         ::unlinkat(directory, name.c_str(), 0) == 0;
    ::close(descriptor);
    return removed;
}

// The name of a temporary file for `file_name` in `directory`, its random part still "XXXXXX".
std::string temporary_template(const std::filesystem::path& directory,
                               const std::string& file_name) {
    const std::size_t room = name_limit(directory) - 1 - k_marker.size() - k_random_length;
    return (directory /
            ("." + file_name.substr(0, room) + k_marker + std::string(k_random_length, 'X')))
        .string();
}

void fill_random_part(std::string& path) {
    static constexpr char k_letters[] =
        "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    static thread_local std::mt19937 generator{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, sizeof k_letters - 2);
    for (auto letter = path.end() - k_random_length; letter != path.end(); ++letter)
        *letter = k_letters[pick(generator)];
}

// Links the open unnamed file to `path`: through /proc, which needs no privilege, or by the
// descriptor itself where /proc is not mounted.
int link_descriptor(int descriptor, const std::string& path) {
    const std::string proc = "/proc/self/fd/" + std::to_string(descriptor);
    if (::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0) return 0;
    if (errno != ENOENT) return -1;
    return ::linkat(descriptor, "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH);
}

} // namespace

std::size_t name_limit(const std::filesystem::path& directory) {
    const long limit = ::pathconf(directory.c_str(), _PC_NAME_MAX);
    return limit > 0 ? static_cast<std::size_t>(limit) : NAME_MAX;
}

int create_temporary_file(const std::filesystem::path& directory, const std::string& file_name,
                          std::string& path) {
    for (;;) {
        path = temporary_template(directory, file_name);
        int descriptor = -1;
        {
            const signals_held held; // no signal between creating the file and registering it
            descriptor = ::mkstemp(path.data());
            if (descriptor >= 0) remove_on_signal(path);
        }
        if (descriptor < 0 || lock_while_linked(descriptor)) return descriptor;
        ::close(descriptor);
    }
}

int open_unnamed_temporary(const std::filesystem::path& directory) {
    const int descriptor = ::open(directory.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    // The lock keeps a clean-up off the file once it has a name.
    if (descriptor >= 0) lock_while_linked(descriptor);
    return descriptor;
}

bool name_temporary_file(int descriptor, const std::filesystem::path& directory,
                         const std::string& file_name, std::string& path) {
    for (;;) {
        path = temporary_template(directory, file_name);
        fill_random_part(path);
        const signals_held held; // no signal between naming the file and registering it
        if (link_descriptor(descriptor, path) == 0) {
            remove_on_signal(path);
            return true;
        }
        if (errno != EEXIST) return false;
    }
}

std::vector<std::string> remove_stale_temporaries(const std::string& directory) {
    const std::unique_ptr<DIR, int (*)(DIR*)> listing(::opendir(directory.c_str()), ::closedir);
    if (!listing)
        throw system_failure(failure::output, "cannot read the folder \"" + directory + "\"");
    std::vector<std::string> candidates;
    while (const dirent* entry = ::readdir(listing.get()))
        if (is_temporary_name(entry->d_name)) candidates.emplace_back(entry->d_name);
    std::vector<std::string> removed;
    for (const std::string& name : candidates)
        if (remove_if_unlocked(::dirfd(listing.get()), name)) removed.push_back(name);
    std::sort(removed.begin(), removed.end());
    return removed;
}

} // namespace ns_audio_files
