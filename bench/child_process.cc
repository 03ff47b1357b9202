#include "child_process.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

namespace quenby {

ChildResult RunChild(const std::vector<std::string>& argv,
                     const std::string& folder) {
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);

  ChildResult result;
  auto start = std::chrono::steady_clock::now();
  pid_t pid = fork();
  if (pid < 0) return result;
  if (pid == 0) {
    if (!folder.empty() && chdir(folder.c_str()) != 0) _exit(127);
    execvp(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  struct rusage usage = {};
  if (wait4(pid, &status, 0, &usage) != pid) return result;
  result.seconds = std::chrono::duration<double>(
                       std::chrono::steady_clock::now() - start)
                       .count();
  result.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  result.peak_rss_kib = usage.ru_maxrss;
  return result;
}

std::string OwnProgramPath() {
  char path[4096];
  ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return std::string();
  return std::string(path, static_cast<size_t>(length));
}

}  // namespace quenby
