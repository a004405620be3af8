// A module file on a POSIX system: code only from files that no one but the administrator
// and the program's owner can write, as sudo takes its plugins and ld.so the libraries of
// a privileged program. The folders from the root the layout gives down to the file are
// opened one within the other, never through a link; the file is opened without blocking
// (a FIFO would hold the open for ever) and refused unless regular; its owner and mode
// are taken from that open file, its bytes read and checked from it, and the loader maps
// that same open file (through /proc/self/fd where there is one).
#include "modules/modulefile.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

namespace tapecalc {

namespace {

// Far beyond any module of this program; a larger file is none of them.
constexpr off_t maxModuleBytes = off_t{64} << 20;

// Closes a descriptor at the end of its scope unless released.
class Descriptor {
  public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    ~Descriptor() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    void reset(int fd) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }
    int get() const { return m_fd; }
    int release() { return std::exchange(m_fd, -1); }

  private:
    int m_fd;
};

const char *kindOf(mode_t mode) {
    switch (mode & S_IFMT) {
    case S_IFIFO:
        return "a FIFO";
    case S_IFCHR:
    case S_IFBLK:
        return "a device";
    case S_IFSOCK:
        return "a socket";
    case S_IFDIR:
        return "a folder";
    case S_IFLNK:
        return "a link";
    default:
        return "not a file";
    }
}

// Why `path` (described by `status`) could be changed by someone other than the
// administrator and `owner`; empty when it cannot.
std::string writableByOthers(const std::string &path, const struct stat &status, uid_t owner) {
    if (status.st_uid != 0 && status.st_uid != owner)
        return path + " belongs to user " + std::to_string(status.st_uid) +
               ", neither the administrator nor the program's owner";
    // The group bits also carry an access list's widest grant.
    if ((status.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return path + " can be written by others than its owner";
    return {};
}

ModuleLoad refused(ModuleFault fault, std::string why) {
    return {fault, std::move(why), nullptr};
}

ModuleLoad missingOr(const std::string &path) {
    if (errno == ENOENT || errno == ENOTDIR)
        return refused(ModuleFault::missing, {});
    return refused(ModuleFault::notLoadable, path + ": " + std::strerror(errno));
}

} // namespace

ModuleLoad loadModuleFile(const std::filesystem::path &program, const std::filesystem::path &root,
                          const std::filesystem::path &relative, const char *entrySymbol) {
    struct stat status {};
    const uid_t owner = ::stat(program.c_str(), &status) == 0 ? status.st_uid : 0;

    // The root as the layout names it (above it nothing is looked at), then each folder
    // within the one before.
    std::string path = root.string();
    Descriptor folder(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() < 0)
        return missingOr(path);
    const std::vector<std::filesystem::path> parts(relative.begin(), relative.end());
    if (parts.empty())
        return refused(ModuleFault::missing, {});
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (::fstat(folder.get(), &status) != 0)
            return missingOr(path);
        if (std::string why = writableByOthers(path, status, owner); !why.empty())
            return refused(ModuleFault::notOurs, why);
        const std::string name = parts[i].string();
        path += '/' + name;
        if (name.empty() || name == "." || name == ".." ||
            ::fstatat(folder.get(), name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0)
            return missingOr(path);
        if (i + 1 < parts.size()) {
            if (S_ISLNK(status.st_mode))
                return refused(ModuleFault::notOurs, path + " is a link, which may lead anywhere");
            folder.reset(::openat(folder.get(), name.c_str(),
                                  O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (folder.get() < 0)
                return missingOr(path);
        }
    }

    // The file: refused by its kind before it is opened at all (opening a device may do
    // something), then opened without blocking and asked again, of the open file.
    if (!S_ISREG(status.st_mode))
        return refused(ModuleFault::notRegular, kindOf(status.st_mode));
    const std::string name = parts.back().string();
    Descriptor file(::openat(folder.get(), name.c_str(),
                             O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
    const dev_t device = status.st_dev;
    const ino_t inode = status.st_ino;
    if (file.get() < 0 || ::fstat(file.get(), &status) != 0)
        return errno == ELOOP ? refused(ModuleFault::notRegular, "a link") : missingOr(path);
    if (!S_ISREG(status.st_mode) || status.st_dev != device || status.st_ino != inode)
        return refused(ModuleFault::notRegular, "replaced while it was looked at");
    if (std::string why = writableByOthers(path, status, owner); !why.empty())
        return refused(ModuleFault::notOurs, why);
    if (status.st_size > maxModuleBytes)
        return refused(ModuleFault::damaged, "larger than any module");

    std::vector<unsigned char> bytes(static_cast<std::size_t>(status.st_size));
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t got =
            ::pread(file.get(), bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return refused(ModuleFault::damaged, "it could not be read whole");
        done += static_cast<std::size_t>(got);
    }
    const FormatCheck check = checkModuleFormat(bytes.data(), bytes.size(), entrySymbol);
    if (check.fault != ModuleFault::none)
        return refused(check.fault, check.why);

    // The loader opens the name it is given: /proc/self/fd/N opens the file checked, however
    // its folders change meanwhile. The descriptor stays open for the life of the program:
    // the loader knows the module by that name, and were the number given to another file
    // later, a load by the same name would be handed this module.
    const std::string own = "/proc/self/fd/" + std::to_string(file.get());
    struct stat same {};
    const bool byDescriptor = ::stat(own.c_str(), &same) == 0 && same.st_dev == status.st_dev &&
                              same.st_ino == status.st_ino;
    void *library = ::dlopen(byDescriptor ? own.c_str() : path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char *error = ::dlerror();
        return refused(ModuleFault::notLoadable, error ? error : "the system's loader refused it");
    }
    if (byDescriptor)
        file.release();
    // One without the entry stays loaded, unused, as on Windows: what it loaded in turn has
    // set itself up, and unloading that again crashed the program under wine.
    const auto entry = reinterpret_cast<void (*)()>(::dlsym(library, entrySymbol));
    if (!entry)
        return refused(ModuleFault::otherBuild, {});
    return {ModuleFault::none, {}, entry};
}

} // namespace tapecalc
