#include "driver/CPathName.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <vector>

namespace CPathName {

namespace {
// Links followed at most, as the system does.
constexpr int kMaxLinks = 40;
}  // namespace

std::string folderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string baseName(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string join(const std::string& folder, const std::string& name)
{
    if (folder.empty()) {
        return name;
    }
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

std::string followLinks(const std::string& path)
{
    std::string current = path;
    char target[PATH_MAX];
    for (int hop = 0; hop < kMaxLinks; ++hop) {
        const ssize_t length = ::readlink(current.c_str(), target, sizeof target);
        if (length < 0 || static_cast<std::size_t>(length) >= sizeof target) {
            break;
        }
        const std::string next(target, static_cast<std::size_t>(length));
        current = next.front() == '/' || current.find('/') == std::string::npos ? next : join(folderOf(current), next);
    }
    return current;
}

bool sameFile(const std::string& a, const std::string& b)
{
    struct stat first {};
    struct stat second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

std::string absoluteFolderOf(const std::string& programPath)
{
    const std::size_t slash = programPath.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : programPath.substr(0, slash);
    if (!folder.empty() && folder.front() == '/') {
        return folder;
    }
    if (slash == 0) {
        return "/";
    }
    char start[PATH_MAX];
    if (::getcwd(start, sizeof start) == nullptr) {
        return {};
    }
    std::string absolute = start;
    for (std::size_t begin = 0; begin <= folder.size();) {
        std::size_t end = folder.find('/', begin);
        end = end == std::string::npos ? folder.size() : end;
        const std::string element = folder.substr(begin, end - begin);
        begin = end + 1;
        if (element == "..") {
            if (absolute == "/") {
                return {};
            }
            absolute = folderOf(absolute);
        } else if (!element.empty() && element != ".") {
            absolute = join(absolute, element);
        }
    }
    return absolute;
}

}  // namespace CPathName
