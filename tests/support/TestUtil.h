// Helpers shared by the test suites.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace kutest {

// Runs body in a forked child with its standard output and error captured.
struct ChildResult {
    int exitStatus = -1; // exit status, or -1 when killed by a signal
    int signal = 0;
    std::string out;
    std::string err;
};
ChildResult runInChild(const std::function<void()> &body);

// Whether walking n items by index costs about n steps rather than n*n:
// walk(i) for every i, timed against n calls of walk(0) in the same run, so a
// loaded or emulated machine slows both alike.
bool walkIsLinear(uint32_t n, const std::function<void(uint32_t)> &walk);

// Sets the log level to at least 2 and sends the records to a fresh file for
// the life of the object; lines() reads what was written so far.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    std::vector<std::string> lines() const;
    std::string text() const;
    const std::string &path() const { return path_; }

private:
    std::string path_;
    std::string savedFile_;
    bool hadFile_;
    unsigned savedLevel_;
};

// A new empty directory under the build tree (or /tmp), removed with its
// contents when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::string &path() const { return path_; }
    std::string file(const std::string &name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

std::string readFile(const std::string &path);
void writeFile(const std::string &path, const std::string &content);

// The path of a file in tests/data.
std::string dataFile(const std::string &name);

} // namespace kutest
