#pragma once

#include <string>

// File names as the driver needs them, with plain system calls: the folder
// of a name, the file a chain of links ends at, whether two names are one
// file.
namespace CPathName {

// The folder part of a name: "." for a name without one, "/" for the root.
std::string folderOf(const std::string& path);
// The last element of a name.
std::string baseName(const std::string& path);
// The name with `name` appended as a new element.
std::string join(const std::string& folder, const std::string& name);
// The file a name stands for: links followed to their final target, which
// need not exist yet. A loop of links is left to fail when it is used.
std::string followLinks(const std::string& path);
// Whether both names exist and are one file.
bool sameFile(const std::string& a, const std::string& b);
// The folder of a program started as `programPath`, made absolute against
// the current one ("." and ".." elements resolved); empty when it has no
// absolute form.
std::string absoluteFolderOf(const std::string& programPath);

}  // namespace CPathName
