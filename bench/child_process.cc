#include "child_process.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>

namespace quenby {

ChildResult RunChild(const std::vector<std::string>& argv,
                     const std::string& folder, std::string* output) {
  std::vector<char*> args;
  for (const std::string& arg : argv)
    args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);

  ChildResult result;
  auto start = std::chrono::steady_clock::now();
  int pipe_ends[2] = {-1, -1};
  if (output && pipe2(pipe_ends, O_CLOEXEC) != 0) return result;
  pid_t pid = fork();
  if (pid < 0) return result;
  if (pid == 0) {
    if (output && dup2(pipe_ends[1], STDOUT_FILENO) < 0) _exit(127);
    if (!folder.empty() && chdir(folder.c_str()) != 0) _exit(127);
    execvp(args[0], args.data());
    _exit(127);
  }
  if (output) {
    close(pipe_ends[1]);
    char buffer[4096];
    ssize_t count;
    while ((count = read(pipe_ends[0], buffer, sizeof buffer)) > 0)
      output->append(buffer, static_cast<size_t>(count));
    close(pipe_ends[0]);
  }
  int status = 0;
  struct rusage usage = {};
  if (wait4(pid, &status, 0, &usage) != pid) return result;
  result.cost.wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start)
          .count();
  auto seconds = [](const struct timeval& time) {
    return static_cast<double>(time.tv_sec) + time.tv_usec * 1e-6;
  };
  result.cost.cpu = seconds(usage.ru_utime) + seconds(usage.ru_stime);
  result.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return result;
}

long OwnPeakResidentKib() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return -1;
}

std::string OwnProgramPath() {
  char path[4096];
  ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return std::string();
  return std::string(path, static_cast<size_t>(length));
}

}  // namespace quenby
