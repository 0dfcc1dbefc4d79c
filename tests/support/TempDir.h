#pragma once

#include <string>

namespace zlv::test {

// A fresh folder under the system's temporary folder, removed with everything in it when
// the object goes.
class TempDir
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    // `name` joined to the folder with the platform separator.
    std::string operator/(const std::string& name) const;

private:
    std::string m_path;
};

std::string ReadAll(const std::string& path);
void WriteAll(const std::string& path, const std::string& bytes);

} // namespace zlv::test
