#include <chrono>
#include "support/TestUtil.h"

#include <kuLog/Log.h>

#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace kutest {

namespace {
std::string drain(int fd)
{
    std::string text;
    char buffer[4096];
    ssize_t n;
    while ((n = read(fd, buffer, sizeof buffer)) > 0)
        text.append(buffer, (size_t)n);
    return text;
}

std::string tempRoot()
{
    const char *dir = getenv("KU_TEST_TMPDIR");
    return dir != nullptr && *dir != '\0' ? dir : "/tmp";
}
} // namespace

ChildResult runInChild(const std::function<void()> &body)
{
    ChildResult result;
    // Files rather than pipes: a chatty child cannot block on a full pipe.
    FILE *out = tmpfile();
    FILE *err = tmpfile();
    fflush(stdout);
    fflush(stderr);
    pid_t pid = fork();
    if (pid == 0) {
        dup2(fileno(out), STDOUT_FILENO);
        dup2(fileno(err), STDERR_FILENO);
        body();
        fflush(stdout);
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status))
        result.exitStatus = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        result.signal = WTERMSIG(status);
    for (auto [file, text] : {std::make_pair(out, &result.out), {err, &result.err}}) {
        lseek(fileno(file), 0, SEEK_SET);
        *text = drain(fileno(file));
        fclose(file);
    }
    return result;
}

LogCapture::LogCapture()
{
    static int counter = 0;
    path_ = tempRoot() + "/log-" + std::to_string(getpid()) + "-" + std::to_string(counter++) +
            ".txt";
    unlink(path_.c_str());
    const char *old = getenv("KUOS_LOG_FILE");
    hadFile_ = old != nullptr;
    savedFile_ = hadFile_ ? old : "";
    setenv("KUOS_LOG_FILE", path_.c_str(), 1);
    savedLevel_ = _kuLog_Level.level;
    _kuLog_Level.level = std::max<uint16_t>(_kuLog_Level.level, 2);
}

LogCapture::~LogCapture()
{
    _kuLog_Level.level = (uint16_t)savedLevel_;
    hadFile_ ? setenv("KUOS_LOG_FILE", savedFile_.c_str(), 1) : unsetenv("KUOS_LOG_FILE");
    unlink(path_.c_str());
}

std::string LogCapture::text() const
{
    return readFile(path_);
}

std::vector<std::string> LogCapture::lines() const
{
    std::vector<std::string> result;
    std::istringstream in(text());
    for (std::string line; std::getline(in, line);)
        result.push_back(line);
    return result;
}

TempDir::TempDir() : path_(tempRoot() + "/ku-XXXXXX")
{
    if (mkdtemp(&path_[0]) == nullptr) {
        perror("mkdtemp");
        abort();
    }
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const std::string &path, const std::string &content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

std::string dataFile(const std::string &name)
{
    return std::string(KU_TEST_DATA_DIR) + "/" + name;
}

bool walkIsLinear(uint32_t n, const std::function<void(uint32_t)> &walk)
{
    auto timed = [&](bool byIndex) {
        auto start = std::chrono::steady_clock::now();
        for (uint32_t i = 0; i < n; i++)
            walk(byIndex ? i : 0);
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    double first = timed(false);
    double all = timed(true);
    // A quadratic walk costs n/2 times the first item's; linear about once.
    return all < 20 * first + 0.05;
}

} // namespace kutest
