// A private temporary folder for one test, removed with everything in it afterwards.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

namespace zemtest {

inline std::string readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeFile(const std::filesystem::path& path, const std::string& contents)
{
    std::ofstream out(path, std::ios::binary);
    out << contents;
    if (!out.flush()) throw std::runtime_error("cannot write " + path.string());
}

class TempDir {
public:
    explicit TempDir(const std::string& prefix = "zem-test")
    {
        std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot create a folder like " + pattern);
        path_ = pattern;
    }
    ~TempDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

    // Writes `contents` to `name` in the folder (parent folders included); its full path.
    std::string write(const std::string& name, const std::string& contents) const
    {
        std::filesystem::create_directories((path_ / name).parent_path());
        writeFile(path_ / name, contents);
        return file(name);
    }
    std::string read(const std::string& name) const { return readFile(path_ / name); }

private:
    std::filesystem::path path_;
};

}  // namespace zemtest
