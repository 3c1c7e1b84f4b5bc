#include "platform/Files.h"

#include <system_error>
#include <filesystem>

std::string ExecutableFolder()
{
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return "./";
    return WithTrailingSlash(exe.parent_path().string());
}

std::string WithTrailingSlash(std::string path)
{
    if (path.empty())
        return path;
    if (path.back() == '\\')
        path.back() = '/';
    else if (path.back() != '/')
        path += '/';
    return path;
}
